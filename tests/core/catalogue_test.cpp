#include "catalogue.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

using namespace kestrow;

namespace {

const std::string kFive(5, '*');
const std::string k35(35, '*');
const std::string k36(36, '*');
const std::string k53(53, '*');

class CatalogueTest : public ::testing::Test {
protected:
    Catalogue catalogue;
};

// ---- fixed parameter text, one row per rule and edge ----

struct FixedCase {
    int eventType;
    int value;
    int notesRangeLow;
    const char* expected;
};

class FixedParameterTextTest : public ::testing::TestWithParam<FixedCase> {
protected:
    Catalogue catalogue;
};

TEST_P(FixedParameterTextTest, Renders)
{
    const FixedCase& c = GetParam();
    catalogue.notesRangeLow = c.notesRangeLow;
    EXPECT_EQ(catalogue.fixedParameterText(c.eventType, c.value), c.expected)
        << "event " << c.eventType << " value " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FixedParameterTextTest,
    ::testing::Values(
        // R1 decimal
        FixedCase { 1, 5, 0, "5" }, FixedCase { 14, 127, 0, "127" }, FixedCase { 57, 0, 0, "0" },
        FixedCase { 62, 9, 0, "9" }, FixedCase { 98, 33, 0, "33" },
        FixedCase { 124, 77, 0, "77" },
        // R2 controller names, including the LSB block
        FixedCase { 0, 121, 0, "121:Controller 121" }, FixedCase { 0, 35, 0, " 35:Controller 3 LSB" },
        FixedCase { 0, 7, 0, "  7:Volume" },
        // R3 note names, both conventions
        FixedCase { 5, 60, 0, " 60:  C  4" }, FixedCase { 5, 60, 1, " 60:  C  3" },
        FixedCase { 4, 0, 0, "  0:  C -1" }, FixedCase { 6, 127, 1, "127:  G  8" },
        // R4 prefixed decimal
        FixedCase { 7, 64, 0, "Parameter: 64" }, FixedCase { 94, 5, 0, "Controller: 5" },
        FixedCase { 95, 0, 0, "Controller: 0" }, FixedCase { 99, 64, 0, "Controller: 64" },
        // R5 drum note: note name, a space, the drum name (possibly empty)
        FixedCase { 26, 5, 0, "  5:  F -1 " }, FixedCase { 64, 36, 0, " 36:  C  2 Kick" },
        FixedCase { 47, 38, 0, " 38:  D  2 Snare" }, FixedCase { 79, 38, 1, " 38:  D  1 Snare" },
        // R6 NRPN1 names; the catalogue keeps the correct spelling at 51
        FixedCase { 18, 51, 0, "EQ MID-TREBLE" }, FixedCase { 19, 102, 0, "EG Release" },
        FixedCase { 18, 11, 0, "***  11           (0x0B) ***" },
        // R7 AWE names with and without suffix
        FixedCase { 61, 0, 0, "LFO 1 - Delay (fine)" }, FixedCase { 60, 21, 0, "Filter Cutoff (coarse)" },
        FixedCase { 60, 27, 0, "***  27           (0x1B) ***" },
        FixedCase { 58, 21, 0, "Filter Cutoff" }, FixedCase { 59, 26, 0, "Reverb Effect Send" },
        // R8 named lists
        FixedCase { 80, 10, 0, "***  10           (0x0A) ***" },
        FixedCase { 80, 127, 0, "EQ TREBLE Shape" }, FixedCase { 81, 57, 0, "Volume" },
        FixedCase { 82, 85, 0, "Variation Parameter 10 LSB" },
        FixedCase { 82, 66, 0, "Variation Parameter 1 MSB" },
        FixedCase { 83, 84, 0, "Variation Parameter 10 MSB" },
        FixedCase { 83, 85, 0, "***  85           (0x55) ***" }, FixedCase { 87, 20, 0, "EQ shape5" },
        FixedCase { 88, 48, 0, "Insertion Effect Parameter1 MSB" },
        FixedCase { 88, 67, 0, "Insertion Effect Parameter10 LSB" },
        FixedCase { 89, 11, 0, "Insertion Effect Parameter10" },
        // R9 reset strings
        FixedCase { 100, 2, 0, "XG-Reset" }, FixedCase { 100, 0, 0, "GM-Reset" },
        FixedCase { 100, 3, 0, "***   3           (0x03) ***" },
        // R10 unused parameter
        FixedCase { 3, 64, 0, "************************************" },
        FixedCase { 127, 0, 0, "************************************" },
        FixedCase { 12, 0, 0, "************************************" },
        FixedCase { 91, 100, 0, "************************************" },
        // damaged values never index out of bounds
        FixedCase { 0, 128, 0, "*** 128           (0x80) ***" },
        FixedCase { 5, -1, 0, "*** -1 (0xFFFFFFFF) ***" },
        FixedCase { 64, 200, 0, "*** 200           (0xC8) ***" },
        FixedCase { 80, 1000, 0, "*** 1000 (0x3E8) ***" },
        FixedCase { 100, -3, 0, "*** -3 (0xFFFFFFFD) ***" },
        FixedCase { 1, 300, 0, "300" },
        FixedCase { 128, 5, 0, "***   5           (0x05) ***" },
        FixedCase { -1, 5, 0, "***   5           (0x05) ***" }));

// ---- channel and event type texts ----

TEST_F(CatalogueTest, ChannelTextShowsChannelOnlyForChannelEvents)
{
    EXPECT_EQ(catalogue.channelText(0, 0), "Master");
    EXPECT_EQ(catalogue.channelText(0, 7), " 7");
    EXPECT_EQ(catalogue.channelText(0, 12), "12");
    EXPECT_EQ(catalogue.channelText(80, 5), " 5");
    EXPECT_EQ(catalogue.channelText(81, 16), "16");
    for (int code : { 12, 13, 82, 83, 84, 87, 90, 93, 100, 125, 126, 127 })
        EXPECT_EQ(catalogue.channelText(code, 5), kFive) << code;
    for (int code = 0; code < 128; ++code) {
        const bool hidden = code == 12 || code == 13 || (code >= 82 && code <= 93) || code == 100
            || code >= 125;
        EXPECT_EQ(catalogue.channelText(code, 3) == kFive, hidden) << code;
    }
}

TEST_F(CatalogueTest, ChannelOutsideRangeIsEmpty)
{
    for (int channel : { -1, 17, 1000, INT_MIN, INT_MAX })
        EXPECT_EQ(catalogue.channelText(0, channel), "") << channel;
    // a hidden channel stays hidden whatever the stored number
    EXPECT_EQ(catalogue.channelText(100, 99), kFive);
}

TEST_F(CatalogueTest, EventTypeTextAsterisks)
{
    EXPECT_EQ(catalogue.eventTypeText(13), k53);
    EXPECT_EQ(catalogue.eventTypeText(94), "Relatice Ctrl Bin.Complement");
    EXPECT_EQ(catalogue.eventTypeText(127), "No-Event");
    for (int code : { -1, 128, INT_MIN, INT_MAX })
        EXPECT_EQ(catalogue.eventTypeText(code), k35) << code;
}

TEST_F(CatalogueTest, SixCodesAreUnnamed)
{
    ASSERT_EQ(catalogue.eventTypeNames.size(), 128u);
    std::set<int> unnamed;
    for (int code = 0; code < 128; ++code) {
        if (catalogue.eventTypeNames[static_cast<std::size_t>(code)].empty()) {
            unnamed.insert(code);
            EXPECT_EQ(catalogue.eventTypeText(code), k53);
        }
    }
    EXPECT_EQ(unnamed, (std::set<int> { 12, 13, 92, 93, 125, 126 }));
}

TEST_F(CatalogueTest, EventNamesStayInDeviceOrder)
{
    // The one pair the device numbers LSB first, and neighbours that pin the offsets.
    EXPECT_EQ(catalogue.eventTypeText(20), "NRPN8_LSB");
    EXPECT_EQ(catalogue.eventTypeText(21), "NRPN8_MSB");
    EXPECT_EQ(catalogue.eventTypeText(22), "NRPN9_MSB");
    EXPECT_EQ(catalogue.eventTypeText(47), "NRPN31_LSB (XG Drum Instr. Variation/Delay Send)");
    EXPECT_EQ(catalogue.eventTypeText(63), "NRPN2_LSB");
    EXPECT_EQ(catalogue.eventTypeText(79), "XG-DRUM (SetupNr=Chn) EG Decay2 Rate");
    EXPECT_EQ(catalogue.eventTypeText(99), "Relative Ctrl Bin.Offset (Reaktor)");
    EXPECT_EQ(catalogue.eventTypeText(101), "NRPN0_IncDec");
    EXPECT_EQ(catalogue.eventTypeText(124), "NRPN2_IncDec");
}

// ---- lists ----

TEST_F(CatalogueTest, ListSizes)
{
    EXPECT_EQ(catalogue.channelNames.size(), 17u);
    for (const NameList* list :
         { &catalogue.controllerNames, &catalogue.parameterNumbers,
           &catalogue.noteNamesOctaveMinus1, &catalogue.noteNamesOctaveMinus2,
           &catalogue.xgDrumNames, &catalogue.aweParameterNamesEmu, &catalogue.aweParameterNamesAwe,
           &catalogue.xgMultiPartNames, &catalogue.xgAdPartNames, &catalogue.xgEffectNames,
           &catalogue.xgEffect2ByteNames, &catalogue.xgEqNames, &catalogue.xgInsertionNames,
           &catalogue.nrpn1ParameterNames })
        EXPECT_EQ(list->size(), 128u);
    EXPECT_EQ(catalogue.resetStringNames.size(), 3u);
}

TEST_F(CatalogueTest, ControllerRows)
{
    EXPECT_EQ(catalogue.controllerNames[0], "  0:Bank Select MSB");
    EXPECT_EQ(catalogue.controllerNames[3], "  3:Controller 3");
    EXPECT_EQ(catalogue.controllerNames[12], " 12:Controller 12");
    EXPECT_EQ(catalogue.controllerNames[31], " 31:Controller 31");
    EXPECT_EQ(catalogue.controllerNames[32], " 32:Controller 0 LSB");
    EXPECT_EQ(catalogue.controllerNames[63], " 63:Controller 31 LSB");
    EXPECT_EQ(catalogue.controllerNames[64], " 64:Sustain (on/off)");
    EXPECT_EQ(catalogue.controllerNames[68], " 68:Controller 68");
    EXPECT_EQ(catalogue.controllerNames[101], "101:RPN MSB");
    EXPECT_EQ(catalogue.controllerNames[127], "127:Controller 127");
    for (int n = 32; n <= 63; ++n)
        EXPECT_NE(catalogue.controllerNames[static_cast<std::size_t>(n)].find(" LSB"),
                  std::string::npos);
    for (std::size_t n = 0; n < 128; ++n)
        EXPECT_EQ(catalogue.controllerNames[n].substr(3, 1), ":") << n;
}

TEST_F(CatalogueTest, NoteNamesInBothConventions)
{
    const char* pitch[] = { "C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "Ab", "A ", "Bb", "B " };
    for (int n = 0; n < 128; ++n) {
        const auto& minus1 = catalogue.noteNamesOctaveMinus1[static_cast<std::size_t>(n)];
        const auto& minus2 = catalogue.noteNamesOctaveMinus2[static_cast<std::size_t>(n)];
        ASSERT_EQ(minus1.size(), 10u) << n;
        EXPECT_EQ(minus1.substr(4, 4), std::string("  ") + pitch[n % 12]) << n;
        EXPECT_EQ(std::stoi(minus1.substr(8)), n / 12 - 1) << n;
        EXPECT_EQ(std::stoi(minus2.substr(8)), n / 12 - 2) << n;
        EXPECT_EQ(std::stoi(minus1.substr(0, 3)), n);
    }
    EXPECT_EQ(catalogue.noteNamesOctaveMinus1[127], "127:  G  9");
    EXPECT_EQ(catalogue.noteNamesOctaveMinus2[0], "  0:  C -2");
    EXPECT_EQ(catalogue.noteNamesOctaveMinus1[70], " 70:  Bb 4");
}

TEST_F(CatalogueTest, NoteNameFollowsSettingAtEveryCall)
{
    EXPECT_EQ(catalogue.noteName(61), " 61:  C# 4");
    catalogue.notesRangeLow = 1;
    EXPECT_EQ(catalogue.noteName(61), " 61:  C# 3");
    EXPECT_EQ(catalogue.drumNoteText(36), " 36:  C  1 Kick");
    EXPECT_EQ(catalogue.noteName(128), "");
    EXPECT_EQ(catalogue.noteName(-5), "");
}

TEST_F(CatalogueTest, PatternedListsRunToTheirEnds)
{
    EXPECT_EQ(catalogue.xgEffectNames[2], "Reverb Parameter 1");
    EXPECT_EQ(catalogue.xgEffectNames[21], "Reverb Parameter 16");
    EXPECT_EQ(catalogue.xgEffectNames[22], "");
    EXPECT_EQ(catalogue.xgEffectNames[53], "Chorus Parameter 16");
    EXPECT_EQ(catalogue.xgEffectNames[67], "Variation Parameter 1 LSB");
    EXPECT_EQ(catalogue.xgEffectNames[117], "Variation Parameter 16");
    EXPECT_EQ(catalogue.xgEffectNames[118], "");
    EXPECT_EQ(catalogue.xgInsertionNames[2], "Insertion Effect Parameter1");
    EXPECT_EQ(catalogue.xgInsertionNames[37], "Insertion Effect Parameter16");
    EXPECT_EQ(catalogue.xgInsertionNames[68], "");
    EXPECT_EQ(catalogue.xgDrumNames[12], "");
    EXPECT_EQ(catalogue.xgDrumNames[13], "Surdo Mute");
    EXPECT_EQ(catalogue.xgDrumNames[84], "Bell Tree");
    EXPECT_EQ(catalogue.xgDrumNames[85], "");
    EXPECT_EQ(catalogue.aweParameterNamesEmu, catalogue.aweParameterNamesAwe);
    EXPECT_EQ(catalogue.aweParameterNamesAwe[26], "Reverb Effect Send");
    EXPECT_EQ(catalogue.xgMultiPartNames[111], "");
    EXPECT_EQ(catalogue.xgMultiPartNames[112], "Bend Pitch Low Control");
    EXPECT_EQ(catalogue.channelNames[9], " 9");
    EXPECT_EQ(catalogue.channelNames[10], "10");
    int named = 0;
    for (const auto& name : catalogue.nrpn1ParameterNames)
        named += name.empty() ? 0 : 1;
    EXPECT_EQ(named, 18);
}

// ---- cells ----

TEST_F(CatalogueTest, NewKnobCells)
{
    PresetBank bank;
    const Preset& p = bank.presets[0];
    for (int k : { 0, 15 }) {
        EXPECT_EQ(catalogue.cellText(p, k, kFieldChannel), kFive);
        EXPECT_EQ(catalogue.cellText(p, k, kFieldEventType), "No-Event");
        EXPECT_EQ(catalogue.cellText(p, k, kFieldFixedParameter), k36);
        EXPECT_EQ(catalogue.cellText(p, k, kFieldInitValue), "0");
        EXPECT_EQ(catalogue.cellText(p, k, kFieldKnobName), "");
    }
}

TEST_F(CatalogueTest, CellTextFields)
{
    Preset p;
    p.knobName[3] = "Cutoff";
    p.channel[3] = 10;
    p.eventType[3] = 0;
    p.fixedParameter[3] = 74;
    p.initValue[3] = 64;
    EXPECT_EQ(catalogue.cellText(p, 3, 0), "Cutoff");
    EXPECT_EQ(catalogue.cellText(p, 3, 1), "10");
    EXPECT_EQ(catalogue.cellText(p, 3, 2), "Controller");
    EXPECT_EQ(catalogue.cellText(p, 3, 3), " 74:Controller 74");
    EXPECT_EQ(catalogue.cellText(p, 3, 4), "64");
    EXPECT_EQ(catalogue.cellText(p, 3, 5), "");
    EXPECT_EQ(catalogue.cellText(p, 3, -1), "");
    EXPECT_EQ(catalogue.cellText(p, 16, 0), "");
    EXPECT_EQ(catalogue.cellText(p, -1, 2), "");
}

TEST_F(CatalogueTest, UnnamedValueText)
{
    EXPECT_EQ(Catalogue::unnamedValueText(5), "***   5           (0x05) ***");
    EXPECT_EQ(Catalogue::unnamedValueText(27), "***  27           (0x1B) ***");
    EXPECT_EQ(Catalogue::unnamedValueText(100), "*** 100           (0x64) ***");
    EXPECT_EQ(Catalogue::unnamedValueText(0), "***   0           (0x00) ***");
    EXPECT_EQ(Catalogue::unnamedValueText(255), "*** 255           (0xFF) ***");
    EXPECT_EQ(Catalogue::unnamedValueText(256), "*** 256 (0x100) ***");
    EXPECT_EQ(Catalogue::unnamedValueText(INT_MIN), "*** -2147483648 (0x80000000) ***");
}

// ---- variants and pickers ----

TEST(EventFitsVariant, Table)
{
    EXPECT_TRUE(eventFitsVariant(DeviceVariant::zembraFader, 127));
    EXPECT_FALSE(eventFitsVariant(DeviceVariant::zembraControl, 62));
    EXPECT_TRUE(eventFitsVariant(DeviceVariant::zembraDial, 62));
    EXPECT_FALSE(eventFitsVariant(DeviceVariant::zembraDial, 126));
    int control = 0;
    int dial = 0;
    for (int code = 0; code < 128; ++code) {
        const bool c = eventFitsVariant(DeviceVariant::zembraControl, code);
        EXPECT_EQ(c, eventFitsVariant(DeviceVariant::zembraFader, code)) << code;
        // Dial offers everything the other two do.
        if (c) {
            EXPECT_TRUE(eventFitsVariant(DeviceVariant::zembraDial, code)) << code;
        }
        control += c ? 1 : 0;
        dial += eventFitsVariant(DeviceVariant::zembraDial, code) ? 1 : 0;
    }
    EXPECT_EQ(control, 128 - 36);
    EXPECT_EQ(dial, 128 - 6);
    for (int code : { -1, 128, INT_MAX })
        EXPECT_FALSE(eventFitsVariant(DeviceVariant::zembraDial, code));
    EXPECT_FALSE(eventFitsVariant(static_cast<DeviceVariant>(3), 0));
}

TEST(EventFitsVariant, AgreesWithFactoryPresetRule)
{
    for (int code = 0; code < 128; ++code) {
        Preset p;
        p.eventType.fill(127);
        p.eventType[7] = code;
        for (auto v : { DeviceVariant::zembraControl, DeviceVariant::zembraDial })
            EXPECT_EQ(fitsVariant(p, v), eventFitsVariant(v, code)) << code;
    }
}

TEST(FixedParameterPicker, ByEventType)
{
    EXPECT_EQ(fixedParameterPickerFor(0).kind, PickerKind::controller);
    for (int code : { 2, 3, 84, 85, 86, 90, 91 })
        EXPECT_EQ(fixedParameterPickerFor(code).kind, PickerKind::none) << code;
    for (int code : { 4, 5, 6 })
        EXPECT_EQ(fixedParameterPickerFor(code).kind, PickerKind::note);
    const std::pair<int, ParameterList> lists[] = {
        { 18, ParameterList::nrpn1Grid }, { 19, ParameterList::nrpn1Grid },
        { 26, ParameterList::xgDrum },    { 47, ParameterList::xgDrum },
        { 64, ParameterList::xgDrum },    { 79, ParameterList::xgDrum },
        { 58, ParameterList::aweEmu },    { 59, ParameterList::aweEmu },
        { 60, ParameterList::aweAwe },    { 61, ParameterList::aweAwe },
        { 80, ParameterList::xgMultiPart }, { 81, ParameterList::xgAdPart },
        { 82, ParameterList::xgEffect },  { 83, ParameterList::xgEffect2Byte },
        { 87, ParameterList::xgEq },      { 88, ParameterList::xgInsertion },
        { 89, ParameterList::xgInsertion }, { 100, ParameterList::resetGrid },
    };
    for (const auto& [code, list] : lists) {
        EXPECT_EQ(fixedParameterPickerFor(code).kind, PickerKind::parameter) << code;
        EXPECT_EQ(fixedParameterPickerFor(code).list, list) << code;
    }
    for (int code : { 1, 7, 17, 20, 25, 48, 57, 62, 63, 92, 99, 101, 127 })
        EXPECT_EQ(fixedParameterPickerFor(code).kind, PickerKind::value) << code;
}

TEST_F(CatalogueTest, ComposedParameterGrids)
{
    const NameList nrpn = catalogue.parameterGrid(ParameterList::nrpn1Grid);
    ASSERT_EQ(nrpn.size(), 128u);
    EXPECT_EQ(nrpn[8], "Vibrato Rate");      // cell (0, 8)
    EXPECT_EQ(nrpn[102], "EG Release");      // cell (3, 6)
    EXPECT_EQ(nrpn[51], "EQ NID-TREBLE");
    EXPECT_EQ(nrpn[50], "EQ MID-BASS");
    EXPECT_EQ(nrpn[11], "11");
    EXPECT_EQ(nrpn[127], "127");
    const NameList reset = catalogue.parameterGrid(ParameterList::resetGrid);
    EXPECT_EQ(reset[0], "GM-Reset");
    EXPECT_EQ(reset[2], "XG-Reset");
    EXPECT_EQ(reset[3], "3");
    EXPECT_EQ(catalogue.parameterGrid(ParameterList::xgEq), catalogue.xgEqNames);
    EXPECT_EQ(catalogue.parameterGrid(ParameterList::aweAwe)[0], "LFO 1 - Delay");
}

} // namespace
