#include "core/catalogue.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

using namespace kestrow;

namespace {

const std::string kFive(5, '*');
const std::string k35(35, '*');
const std::string k36(36, '*');
const std::string k53(53, '*');

// Every text operation, one row per rendered text.
enum class Op { channel, eventType, fixedParameter, unnamedValue };

struct TextCase {
    Op op;
    int a; ///< event type, or the value for unnamedValueText
    int b; ///< channel or fixed parameter
    std::string expected;
    int notesRangeLow;
};

TextCase channel(int code, int ch, std::string text) { return { Op::channel, code, ch, text, 0 }; }
TextCase event(int code, std::string text) { return { Op::eventType, code, 0, text, 0 }; }
TextCase fixed(int eventType, int value, std::string text, int notes = 0)
{
    return { Op::fixedParameter, eventType, value, text, notes };
}
TextCase unnamed(int value, std::string text) { return { Op::unnamedValue, value, 0, text, 0 }; }

const std::vector<TextCase> kTexts = {
    // channelText hides the channel exactly for codes 12, 13, 82..93, 100 and 125..127.
    channel(0, 0, "Master"), channel(0, 7, " 7"), channel(0, 12, "12"), channel(80, 5, " 5"),
    channel(81, 16, "16"), channel(100, 5, kFive), channel(100, 99, kFive), channel(0, -1, ""),
    channel(0, 17, ""), channel(0, INT_MIN, ""), channel(11, 3, " 3"), channel(12, 3, kFive),
    channel(13, 3, kFive), channel(14, 3, " 3"), channel(82, 3, kFive), channel(93, 3, kFive),
    channel(94, 3, " 3"), channel(99, 3, " 3"), channel(101, 3, " 3"), channel(124, 3, " 3"),
    channel(125, 3, kFive), channel(127, 3, kFive),
    // eventTypeText: "NRPN8_LSB" stands before "NRPN8_MSB"
    event(13, k53), event(94, "Relatice Ctrl Bin.Complement"), event(127, "No-Event"),
    event(20, "NRPN8_LSB"), event(21, "NRPN8_MSB"),
    event(47, "NRPN31_LSB (XG Drum Instr. Variation/Delay Send)"), event(124, "NRPN2_IncDec"),
    event(-1, k35), event(128, k35), event(INT_MIN, k35),
    // unnamedValueText
    unnamed(5, "***   5           (0x05) ***"), unnamed(27, "***  27           (0x1B) ***"),
    unnamed(100, "*** 100           (0x64) ***"), unnamed(256, "*** 256 (0x100) ***"),
    unnamed(INT_MIN, "*** -2147483648 (0x80000000) ***"),
    // fixedParameterText, R1 decimal
    fixed(1, 5, "5"), fixed(124, 127, "127"), fixed(1, 300, "300"),
    // R2 controller names; rows 32..63 are the LSB block
    fixed(0, 0, "  0:Bank Select MSB"), fixed(0, 3, "  3:Controller 3"),
    fixed(0, 31, " 31:Controller 31"), fixed(0, 32, " 32:Controller 0 LSB"),
    fixed(0, 35, " 35:Controller 3 LSB"), fixed(0, 63, " 63:Controller 31 LSB"),
    fixed(0, 64, " 64:Sustain (on/off)"), fixed(0, 121, "121:Controller 121"),
    fixed(0, 127, "127:Controller 127"),
    // R3 notes in both conventions
    fixed(5, 60, " 60:  C  4"), fixed(5, 60, " 60:  C  3", 1), fixed(4, 0, "  0:  C -1"),
    fixed(6, 127, "127:  G  8", 1), fixed(5, 23, " 23:  B -1", 1), fixed(5, 24, " 24:  C  0", 1),
    fixed(5, 68, " 68:  Ab 4"), fixed(5, 70, " 70:  Bb 4"), fixed(5, 0, "  0:  C -2", 1),
    // R4 prefixed decimal
    fixed(7, 64, "Parameter: 64"), fixed(99, 64, "Controller: 64"), fixed(94, 5, "Controller: 5"),
    // R5 drum note: note name, a blank, the drum name (possibly empty)
    fixed(26, 5, "  5:  F -1 "), fixed(64, 36, " 36:  C  2 Kick"),
    fixed(79, 38, " 38:  D  1 Snare", 1), fixed(47, 84, " 84:  C  6 Bell Tree"),
    // R6 NRPN1 names: the correct spelling at 51
    fixed(18, 51, "EQ MID-TREBLE"), fixed(19, 102, "EG Release"),
    fixed(18, 11, "***  11           (0x0B) ***"),
    // R7 AWE names, a suffix only on a name
    fixed(61, 0, "LFO 1 - Delay (fine)"), fixed(60, 21, "Filter Cutoff (coarse)"),
    fixed(60, 27, "***  27           (0x1B) ***"), fixed(58, 21, "Filter Cutoff"),
    // R8 named lists, at the ends of their numbered runs
    fixed(80, 10, "***  10           (0x0A) ***"), fixed(80, 127, "EQ TREBLE Shape"),
    fixed(81, 57, "Volume"), fixed(82, 21, "Reverb Parameter 16"),
    fixed(82, 22, "***  22           (0x16) ***"), fixed(82, 85, "Variation Parameter 10 LSB"),
    fixed(82, 117, "Variation Parameter 16"), fixed(83, 84, "Variation Parameter 10 MSB"),
    fixed(83, 85, "***  85           (0x55) ***"), fixed(87, 20, "EQ shape5"),
    fixed(88, 48, "Insertion Effect Parameter1 MSB"),
    fixed(88, 67, "Insertion Effect Parameter10 LSB"),
    fixed(89, 37, "Insertion Effect Parameter16"),
    // R9 reset strings
    fixed(100, 2, "XG-Reset"), fixed(100, 3, "***   3           (0x03) ***"),
    // R10 no fixed parameter
    fixed(3, 64, k36), fixed(127, 0, k36), fixed(12, 0, k36),
    // damaged values never index out of a list
    fixed(0, 128, "*** 128           (0x80) ***"), fixed(5, -1, "*** -1 (0xFFFFFFFF) ***"),
    fixed(64, 200, "*** 200           (0xC8) ***"), fixed(80, 1000, "*** 1000 (0x3E8) ***"),
    fixed(100, -3, "*** -3 (0xFFFFFFFD) ***"), fixed(128, 5, "***   5           (0x05) ***"),
    fixed(-1, 5, "***   5           (0x05) ***")
};
TEST(Catalogue, TextsAndCellTexts)
{
    for (const TextCase& c : kTexts) {
        Catalogue catalogue;
        catalogue.notesRangeLow = c.notesRangeLow;
        const std::string text = c.op == Op::channel ? catalogue.channelText(c.a, c.b)
            : c.op == Op::eventType                  ? catalogue.eventTypeText(c.a)
            : c.op == Op::fixedParameter             ? catalogue.fixedParameterText(c.a, c.b)
                                                     : Catalogue::unnamedValueText(c.a);
        EXPECT_EQ(text, c.expected)
            << int(c.op) << ": " << c.a << ", " << c.b << ", notes from " << c.notesRangeLow;
    }
    // The knob table's cells.
    const Catalogue catalogue;
    Preset p = PresetBank().presets[0];
    const std::string newKnob[] = { "", kFive, "No-Event", k36, "0" };
    for (int field = 0; field < 5; ++field)
        EXPECT_EQ(catalogue.cellText(p, 0, field), newKnob[field]) << field;
    p.initValue[15] = 99;
    EXPECT_EQ(catalogue.cellText(p, 15, kFieldInitValue), "99");
    for (const auto& [knob, field] : { std::pair { 3, 5 }, { 3, -1 }, { 16, 0 }, { -1, 2 } })
        EXPECT_EQ(catalogue.cellText(p, knob, field), "") << knob << ", " << field;
}

TEST(Catalogue, CodesEachVariantLacksAndTheUnnamedOnes)
{
    const Catalogue catalogue;
    std::set<int> unnamed, control, fader, dial;
    for (int code = -1; code <= 128; ++code) {
        if (catalogue.eventTypeText(code) == k53)
            unnamed.insert(code);
        for (auto [variant, lacking] : { std::pair { DeviceVariant::zembraControl, &control },
                 { DeviceVariant::zembraFader, &fader }, { DeviceVariant::zembraDial, &dial } })
            if (!eventFitsVariant(variant, code))
                lacking->insert(code);
    }
    EXPECT_EQ(unnamed, (std::set<int> { 12, 13, 92, 93, 125, 126 }));
    EXPECT_EQ(dial, (std::set<int> { -1, 12, 13, 92, 93, 125, 126, 128 }));
    std::set<int> controlLacks { -1, 7, 12, 13, 62, 63, 92, 93, 94, 95, 99, 128 };
    for (int code = 101; code <= 126; ++code)
        controlLacks.insert(code);
    EXPECT_EQ(control, controlLacks);
    EXPECT_EQ(fader, controlLacks);
    EXPECT_FALSE(eventFitsVariant(DeviceVariant::zembraDial, INT_MAX));
    EXPECT_FALSE(eventFitsVariant(static_cast<DeviceVariant>(3), 0));
}

// The knob-table tests open a picker for one code of most kinds; these are the others and edges.
TEST(Catalogue, FixedParameterPickersAndTheirFullLists)
{
    const std::pair<int, ParameterList> lists[] = { { 47, ParameterList::xgDrum },
        { 81, ParameterList::xgAdPart }, { 82, ParameterList::xgEffect },
        { 83, ParameterList::xgEffect2Byte }, { 89, ParameterList::xgInsertion },
        { 18, ParameterList::nrpn1Grid }, { 26, ParameterList::xgDrum },
        { 66, ParameterList::xgDrum }, { 59, ParameterList::aweEmu }, { 60, ParameterList::aweAwe },
        { 80, ParameterList::xgMultiPart }, { 87, ParameterList::xgEq },
        { 100, ParameterList::resetGrid } };
    for (const auto& [code, list] : lists) {
        const FixedParameterPicker picker = fixedParameterPickerFor(code);
        EXPECT_EQ(std::pair(picker.kind, picker.list), std::pair(PickerKind::parameter, list))
            << code;
    }
    const std::pair<PickerKind, std::vector<int>> others[] = { { PickerKind::none, { 91, 3, 84 } },
        { PickerKind::note, { 4, 5 } }, { PickerKind::value, { 1, 7, 127, 92, 101 } } };
    for (const auto& [kind, codes] : others)
        for (const int code : codes)
            EXPECT_EQ(fixedParameterPickerFor(code).kind, kind) << code;
    const Catalogue catalogue; // every list fills the picker's grid
    for (int list = 0; list <= static_cast<int>(ParameterList::resetGrid); ++list)
        EXPECT_EQ(catalogue.parameterGrid(static_cast<ParameterList>(list)).size(), 128u) << list;
}

} // namespace
