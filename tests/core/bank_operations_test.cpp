#include "core/bank_operations.h"
#include "core/preset_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrow;

TEST(BankOperations, PresetDrops)
{
    using D = DragOperation;
    struct Case {
        const char* name;
        int source;
        int target;
        DragOperation operation;
        std::vector<int> order; // presets found in places 0..5 afterwards
        std::vector<int> selections; // in order
    };
    const Case cases[] = {
        { "move up", 4, 1, D::move, { 0, 4, 1, 2, 3, 5 }, { 4, 3, 2, 1, 4, 1 } },
        { "move down", 1, 4, D::move, { 0, 2, 3, 4, 1, 5 }, { 1, 2, 3, 4, 4, 1, 4 } },
        { "copy", 4, 1, D::copy, { 0, 4, 2, 3, 4, 5 }, { 1, 4, 1 } },
        { "swap", 4, 1, D::swap, { 0, 4, 2, 3, 1, 5 }, { 1, 4, 1 } },
        { "Shift+Ctrl", 4, 1, D::none, { 0, 1, 2, 3, 4, 5 }, {} },
        { "no item", 4, -1, D::copy, { 0, 1, 2, 3, 4, 5 }, {} },
        { "beyond the last", 127, 128, D::move, { 0, 1, 2, 3, 4, 5 }, {} },
        { "onto itself", 4, 4, D::move, { 0, 1, 2, 3, 4, 5 }, { 4, 4, 4 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PresetBank bank;
        for (int p = 0; p < kPresetCount; ++p)
            bank.presets[p].name = std::to_string(p);
        const PresetBank before = bank;
        EXPECT_EQ(applyPresetDrop(bank, c.source, c.target, c.operation), c.selections);
        for (std::size_t place = 0; place < c.order.size(); ++place)
            EXPECT_EQ(bank.presets[place], before.presets[c.order[place]]) << place;
    }
}

TEST(BankOperations, BankGroupShading)
{
    struct Case {
        const char* name;
        BankGroupOptions options;
        int selected;
        int first;
        std::string expected; // from preset `first` on: H highlight, S silver, W white
    };
    const std::string plain = "HWWWWWWWWWWWWWWWWWWW";
    const auto control = DeviceVariant::zembraControl;
    const auto fader = DeviceVariant::zembraFader;
    const auto dial = DeviceVariant::zembraDial;
    const Case cases[] = {
        { "control ignores groups", { control, true, false }, 0, 0, plain },
        { "fader ignores groups", { fader, true, true }, 0, 0, plain },
        { "dial fixed", { dial, true, false }, 0, 0, "HWWWSSSSWWWWSSSSWWWW" },
        { "dial variable at 10", { dial, true, true }, 9, 0, "SWWWWSSSSHWWWSSSSWWW" },
        { "dial variable wraps", { dial, true, true }, 126, 124, "SSHWWWSS" },
        { "dial, groups off", { dial, false, true }, 9, 0, "WWWWWWWWWHWWWWWWWWWW" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string shades;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const int index = (c.first + static_cast<int>(i)) % kPresetCount;
            shades += "HBSW"[static_cast<int>(presetItemShade(index, c.selected, true, c.options))];
        }
        EXPECT_EQ(shades, c.expected);
        EXPECT_EQ(presetItemShade(c.selected, c.selected, false, c.options), TreeShade::background);
    }
}

TEST(BankOperations, SwitchClicksToggleOneBit)
{
    // selected index, switch, index afterwards
    const int cases[][3] = { { 5, 3, 1 }, { 1, 3, 5 }, { 5, 7, 69 }, { 69, 2, 71 }, { 127, 1, 126 },
        { 69, 8, 69 }, { 69, 0, 69 } };
    for (const auto& c : cases)
        EXPECT_EQ(presetAfterSwitchClick(c[0], c[1]), c[2]) << c[0] << " switch " << c[1];
}

TEST(BankOperations, FactoryTakeOverRefusesWhatDoesNotFit)
{
    // The picker's own test takes presets over; here only the refusals.
    PresetBank bank;
    bank.factoryPresets[6].eventType.fill(7); // fits the zembraDial only
    const PresetBank before = bank;
    EXPECT_FALSE(takeFactoryPreset(bank, 6, DeviceVariant::zembraControl));
    EXPECT_FALSE(takeFactoryPreset(bank, 128, DeviceVariant::zembraDial));
    EXPECT_FALSE(takeFactoryPreset(bank, -1, DeviceVariant::zembraDial));
    EXPECT_EQ(bank.presets, before.presets);
    EXPECT_TRUE(takeFactoryPreset(bank, 6, DeviceVariant::zembraDial));
}

TEST(PresetNames, EditsAndEditorResults)
{
    const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    // in-place edit: typed text, name stored
    const std::pair<std::string, std::string> edits[] = {
        { "  12: " + forty + "  ", forty.substr(0, 31) },
        { "Warm Pad", "Warm Pad" },
        { "Lead: Solo", "Solo" },
        { "   ", "" },
        { "7:", "" },
    };
    for (const auto& [typed, stored] : edits)
        EXPECT_EQ(presetNameFromEdit(typed), stored) << typed;

    EXPECT_EQ(presetNameFromItemText(" 7: Strings: Soft"), "Strings: Soft");
    EXPECT_EQ(presetNameFromItemText("no label"), "no label");
    EXPECT_EQ(presetNameFromEditor("  " + forty + "  "), forty.substr(0, 35));

    EXPECT_EQ(knobNameFromText("abcdefghijklmnopqrstuvwxyz0123"), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(knobNameFromText("Gr\u00fc\u00dfe \u20ac \u4e2d"),
        "Gr\xfc\xdf"
        "e \x80 ?");
}
