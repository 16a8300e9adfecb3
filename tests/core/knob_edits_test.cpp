#include "core/knob_edits.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kestrow;

TEST(KnobEdits, ChannelFixedByEventAndInitValueAccess)
{
    for (int code : { 84, 85, 86, 90, 91, 127 })
        EXPECT_TRUE(channelIsFixedByEvent(code)) << code;
    for (int code : { 0, 3, 83, 87, 89, 92, 126 })
        EXPECT_FALSE(channelIsFixedByEvent(code)) << code;

    using A = InitValueAccess;
    EXPECT_EQ(initValueAccess(DeviceVariant::zembraControl, 0), A::none);
    EXPECT_EQ(initValueAccess(DeviceVariant::zembraFader, 127), A::none);
    EXPECT_EQ(initValueAccess(DeviceVariant::zembraDial, 126), A::available);
    EXPECT_EQ(initValueAccess(DeviceVariant::zembraDial, 127), A::notForLast);
}

TEST(KnobEdits, IncAndDecValuesStopAtTheValueRange)
{
    Preset p;
    p.fixedParameter[0] = 120;
    incValues(p);
    EXPECT_EQ(p.fixedParameter,
        (std::array<std::int32_t, kKnobCount> {
            120, 121, 122, 123, 124, 125, 126, 127, 127, 127, 127, 127, 127, 127, 127, 127 }));
    p.fixedParameter[0] = 5;
    decValues(p);
    EXPECT_EQ(p.fixedParameter,
        (std::array<std::int32_t, kKnobCount> { 5, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }));
}

TEST(KnobEdits, PasteCellsWithinOneColumn)
{
    struct Case {
        const char* name;
        CellPos copy;
        CellPos paste;
        std::string fields; // what the pasted knobs take: Name Ch Event Fixed Init
        int fromKnob; // the source knob; -1: each knob its own
    };
    const Case cases[] = {
        { "before any copy", { -1, -1 }, { 0, 0 }, "", -1 },
        { "event onto another column", { 3, 4 }, { 4, 9 }, "", -1 },
        { "event onto its heading", { 3, 4 }, { 3, 0 }, "E", 3 },
        { "knob row to knob row", { 4, 2 }, { 4, 12 }, "F", 1 },
        { "whole preset", { 0, 0 }, { 0, 0 }, "NCEFI", -1 },
        { "whole preset onto a row", { 0, 0 }, { 0, 5 }, "", -1 },
        { "init values heading", { 5, 0 }, { 5, 0 }, "I", -1 },
        { "name onto a knob", { 1, 7 }, { 1, 2 }, "N", 6 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PresetBank bank;
        for (int k = 0; k < kKnobCount; ++k) {
            bank.presets[0].channel[k] = 16 - k;
            bank.presets[0].eventType[k] = k;
            bank.presets[0].fixedParameter[k] = 100 + k;
            bank.presets[0].initValue[k] = k * 2;
            bank.presets[0].knobName[k] = "N" + std::to_string(k);
        }
        bank.presets[0].name = "Source";
        bank.presets[3].description = "target text";
        bank.copyPresetToClipboard(0);
        bank.selectedPreset = 3;
        PresetBank want = bank;
        for (int k = 0; k < kKnobCount; ++k) {
            if (c.paste.row != 0 && k != c.paste.row - 1)
                continue;
            const int from = c.fromKnob < 0 ? k : c.fromKnob;
            if (c.fields.find('N') != std::string::npos)
                want.presets[3].knobName[k] = want.presets[0].knobName[from];
            for (int field = 1; field <= 4; ++field) {
                if (c.fields.find("NCEFI"[field]) != std::string::npos)
                    want.setKnobField(3, k, field, want.getKnobField(0, from, field));
            }
        }
        EXPECT_EQ(pasteCells(bank, c.copy, c.paste), !c.fields.empty());
        EXPECT_EQ(bank.presets[3], want.presets[3]);
        EXPECT_EQ(bank.presets[0], want.presets[0]);
    }
}

TEST(KnobEdits, TypedNumbersInTheirColumnsRange)
{
    struct Case {
        const char* name;
        CellPos cell;
        std::optional<std::int32_t> typed; // nullopt: cancelled or not a number
        bool stored;
    };
    const Case cases[] = {
        { "channel 17", { 2, 3 }, 17, false },
        { "channel 16", { 2, 3 }, 16, true },
        { "channel Master", { 2, 3 }, 0, true },
        { "event 128", { 3, 3 }, 128, false },
        { "event -1", { 3, 3 }, -1, false },
        { "init value 127", { 5, 3 }, 127, true },
        { "heading 300", { 4, 0 }, 300, false },
        { "heading 127", { 4, 0 }, 127, true },
        { "heading cancelled", { 4, 0 }, std::nullopt, false },
        { "description", { 1, 3 }, 1, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PresetBank bank;
        const PresetBank before = bank;
        classifyGesture(bank, c.cell);
        EXPECT_EQ(enterNumber(bank, c.cell.column, c.typed), c.stored);
        EXPECT_FALSE(bank.allKnobsPending);
        for (int k = 0; k < kKnobCount; ++k) {
            const bool hit = c.stored && (c.cell.row == 0 || k == c.cell.row - 1);
            const int field = c.cell.column - 1;
            EXPECT_EQ(
                bank.getKnobField(0, k, field), hit ? *c.typed : before.getKnobField(0, k, field))
                << "knob " << k;
        }
    }
}
