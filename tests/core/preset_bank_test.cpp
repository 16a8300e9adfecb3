#include "core/preset_bank.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace kestrow;

namespace {

/// The five fields of one knob, to compare knobs whole.
auto knob(Preset& p, int k)
{
    return std::tie(
        p.knobName[k], p.channel[k], p.eventType[k], p.fixedParameter[k], p.initValue[k]);
}

class PresetBankTest : public ::testing::Test {
protected:
    PresetBank bank;

    void nameKnobs(int preset, const std::string& prefix)
    {
        for (int k = 0; k < kKnobCount; ++k)
            knob(bank.presets[preset], k)
                = std::tuple(prefix + std::to_string(k), k % 3, 10 + k, 20 + k, 30 + k);
    }
};

TEST_F(PresetBankTest, CreationValues)
{
    Preset fresh;
    fresh.eventType.fill(kNoEvent);
    for (int k = 0; k < kKnobCount; ++k)
        fresh.channel[k] = k + 1;
    for (const Preset& p : bank.presets)
        EXPECT_EQ(p, fresh);
    EXPECT_EQ(bank.selectedPreset, 0);
    EXPECT_FALSE(bank.allKnobsPending);
}

TEST_F(PresetBankTest, AssignWithPendingHeadingAppliesOnceToAllKnobs)
{
    bank.selectedPreset = 4;
    bank.selectedField = kFieldChannel;
    bank.selectedKnob = 6;
    bank.allKnobsPending = true;
    bank.assignSelectedField(0); // "Master"
    EXPECT_EQ(bank.presets[4].channel, Preset {}.channel);
    EXPECT_FALSE(bank.allKnobsPending);

    bank.allKnobsPending = true;
    bank.assignSelectedFieldNumbering(); // "1 - 16"
    EXPECT_EQ(bank.presets[4].channel, PresetBank().presets[0].channel);

    bank.assignSelectedField(9); // a later assignment hits only the selected knob
    EXPECT_EQ(bank.presets[4].channel[6], 9);
    EXPECT_EQ(bank.presets[4].channel[7], 8);
}

TEST_F(PresetBankTest, PresetClipboardCarriesEveryFieldAndSwapsBack)
{
    nameKnobs(4, "k");
    bank.presets[4].name = "Strings";
    bank.presets[4].description = "line one\r\nline two";
    bank.copyPresetToClipboard(4);
    bank.pastePresetFromClipboard(8);
    EXPECT_EQ(bank.presets[8], bank.presets[4]);

    bank.clipboardPreset.name = "Clip";
    const Preset preset = bank.presets[1];
    const Preset clip = bank.clipboardPreset;
    bank.swapPresetWithClipboard(1);
    EXPECT_EQ(bank.presets[1], clip);
    EXPECT_EQ(bank.clipboardPreset, preset);
    bank.swapPresetWithClipboard(1);
    EXPECT_EQ(bank.presets[1], preset);
    EXPECT_EQ(bank.clipboardPreset, clip);
}

TEST_F(PresetBankTest, KnobClipboardFillsEverySlotAndKeepsClipboardTexts)
{
    nameKnobs(0, "src");
    bank.clipboardPreset.name = "Clip name";
    bank.clipboardPreset.description = "Clip text";
    bank.copyKnobToClipboard(0, 2);
    bank.pasteKnobFromClipboard(1, 11);
    EXPECT_EQ(knob(bank.presets[1], 11), knob(bank.presets[0], 2));
    for (int k = 0; k < kKnobCount; ++k)
        EXPECT_EQ(knob(bank.clipboardPreset, k), knob(bank.presets[0], 2)) << k;
    EXPECT_EQ(bank.clipboardPreset.name, "Clip name");
    EXPECT_EQ(bank.clipboardPreset.description, "Clip text");
    // Swapping knob 5 with it: knob 5 takes knob 2, every clipboard slot takes the former knob 5.
    bank.swapKnobWithClipboard(0, 5);
    EXPECT_EQ(bank.presets[0].knobName[5], "src2");
    for (int k = 0; k < kKnobCount; ++k)
        EXPECT_EQ(knob(bank.clipboardPreset, k), std::make_tuple("src5", 2, 15, 25, 35)) << k;
}

TEST_F(PresetBankTest, FitsVariantWhenEveryKnobFits)
{
    // code, fits zembraControl and zembraFader, fits zembraDial
    const std::tuple<int, bool, bool> cases[]
        = { { 127, true, true }, { 7, false, true }, { 124, false, true }, { 125, false, false } };
    Preset p = bank.presets[0];
    for (const auto& [code, controlAndFader, dial] : cases) {
        p.eventType[3] = code;
        EXPECT_EQ(fitsVariant(p, DeviceVariant::zembraControl), controlAndFader) << code;
        EXPECT_EQ(fitsVariant(p, DeviceVariant::zembraFader), controlAndFader) << code;
        EXPECT_EQ(fitsVariant(p, DeviceVariant::zembraDial), dial) << code;
    }
}

} // namespace
