#include "core/catalogue.h"
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

TEST_F(PresetBankTest, AssignWithPendingHeadingAppliesOnceToAllKnobs)
{
    bank.selectedPreset = 4;
    bank.selectedField = kFieldChannel;
    bank.selectedKnob = 6;
    bank.assignSelectedField(9); // a fresh bank has no heading pending
    EXPECT_EQ(bank.presets[4].channel[7], 8);
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

TEST_F(PresetBankTest, PresetClipboardCarriesEveryFieldAndSwaps)
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

// Which code fits which variant is the catalogue's test; a preset agrees with it knob by knob.
TEST_F(PresetBankTest, FitsVariantWhenEveryKnobFits)
{
    Preset p = bank.presets[0];
    for (int code = 0; code < 128; ++code) {
        p.eventType[3] = code;
        for (DeviceVariant v :
            { DeviceVariant::zembraControl, DeviceVariant::zembraFader, DeviceVariant::zembraDial })
            EXPECT_EQ(fitsVariant(p, v), eventFitsVariant(v, code)) << code;
    }
}

} // namespace
