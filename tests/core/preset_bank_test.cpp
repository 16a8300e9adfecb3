#include "preset_bank.h"

#include <gtest/gtest.h>

using namespace kestrow;

namespace {

class PresetBankTest : public ::testing::Test {
protected:
    PresetBank bank;

    void nameKnobs(int preset, const std::string& prefix)
    {
        for (int k = 0; k < kKnobCount; ++k) {
            bank.presets[preset].knobName[k] = prefix + std::to_string(k);
            bank.presets[preset].channel[k] = k % 3;
            bank.presets[preset].eventType[k] = 10 + k;
            bank.presets[preset].fixedParameter[k] = 20 + k;
            bank.presets[preset].initValue[k] = 30 + k;
        }
    }
};

TEST_F(PresetBankTest, CreationValues)
{
    for (const Preset& p : bank.presets) {
        EXPECT_TRUE(p.name.empty());
        EXPECT_TRUE(p.description.empty());
        for (int k = 0; k < kKnobCount; ++k) {
            EXPECT_EQ(p.channel[k], k + 1);
            EXPECT_EQ(p.eventType[k], 127);
            EXPECT_EQ(p.fixedParameter[k], 0);
            EXPECT_EQ(p.initValue[k], 0);
            EXPECT_TRUE(p.knobName[k].empty());
        }
    }
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
    for (int k = 0; k < kKnobCount; ++k)
        EXPECT_EQ(bank.presets[4].channel[k], 0);
    EXPECT_FALSE(bank.allKnobsPending);

    bank.allKnobsPending = true;
    bank.assignSelectedFieldNumbering(); // "1 - 16"
    for (int k = 0; k < kKnobCount; ++k)
        EXPECT_EQ(bank.presets[4].channel[k], k + 1);

    bank.assignSelectedField(9); // a later assignment hits only the selected knob
    EXPECT_EQ(bank.presets[4].channel[6], 9);
    EXPECT_EQ(bank.presets[4].channel[5], 6);
    EXPECT_EQ(bank.presets[4].channel[7], 8);
}

TEST_F(PresetBankTest, PresetCopyPasteCarriesEveryField)
{
    nameKnobs(4, "k");
    bank.presets[4].name = "Strings";
    bank.presets[4].description = "line one\r\nline two";
    bank.copyPresetToClipboard(4);
    bank.pastePresetFromClipboard(8);
    EXPECT_EQ(bank.presets[8], bank.presets[4]);
}

TEST_F(PresetBankTest, SwapTwiceRestoresPresetAndClipboard)
{
    nameKnobs(1, "a");
    bank.presets[1].name = "A";
    bank.clipboardPreset = bank.presets[3];
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

TEST_F(PresetBankTest, KnobCopyFillsEverySlotAndKeepsClipboardTexts)
{
    nameKnobs(0, "src");
    bank.clipboardPreset.name = "Clip name";
    bank.clipboardPreset.description = "Clip text";
    bank.copyKnobToClipboard(0, 2);
    bank.pasteKnobFromClipboard(1, 11);
    EXPECT_EQ(bank.presets[1].knobName[11], "src2");
    EXPECT_EQ(bank.presets[1].channel[11], 2);
    EXPECT_EQ(bank.presets[1].eventType[11], 12);
    EXPECT_EQ(bank.presets[1].fixedParameter[11], 22);
    EXPECT_EQ(bank.presets[1].initValue[11], 32);
    EXPECT_EQ(bank.clipboardPreset.name, "Clip name");
    EXPECT_EQ(bank.clipboardPreset.description, "Clip text");
    // A later preset paste brings sixteen equal knobs.
    bank.pastePresetFromClipboard(2);
    for (int k = 0; k < kKnobCount; ++k)
        EXPECT_EQ(bank.presets[2].eventType[k], 12);
}

TEST_F(PresetBankTest, KnobSwapSpreadsFormerKnobOverAllSlots)
{
    nameKnobs(0, "a");
    bank.copyKnobToClipboard(0, 1);       // clipboard: knob "a1"
    bank.swapKnobWithClipboard(0, 5);     // knob 5 takes "a1", clipboard takes "a5"
    EXPECT_EQ(bank.presets[0].knobName[5], "a1");
    for (int j = 0; j < kKnobCount; ++j) {
        EXPECT_EQ(bank.clipboardPreset.knobName[j], "a5");
        EXPECT_EQ(bank.clipboardPreset.eventType[j], 15);
    }
}

TEST_F(PresetBankTest, LabelWidths)
{
    EXPECT_EQ(presetLabel(9), " 9: ");
    EXPECT_EQ(presetLabel(10), "10: ");
    EXPECT_EQ(presetLabel(128).size(), 5u);
    EXPECT_EQ(presetLabel(7) + "Strings", " 7: Strings");
}

TEST_F(PresetBankTest, FitsVariant)
{
    Preset p = bank.presets[0];
    EXPECT_TRUE(fitsVariant(p, DeviceVariant::zembraControl));
    p.eventType[3] = 7;
    EXPECT_TRUE(fitsVariant(p, DeviceVariant::zembraDial));
    EXPECT_FALSE(fitsVariant(p, DeviceVariant::zembraControl));
    EXPECT_FALSE(fitsVariant(p, DeviceVariant::zembraFader));
    p.eventType[3] = 125;
    EXPECT_FALSE(fitsVariant(p, DeviceVariant::zembraDial));
    EXPECT_FALSE(fitsVariant(p, DeviceVariant::zembraControl));
    p.eventType[3] = 124; // last increment/decrement code: Dial only
    EXPECT_TRUE(fitsVariant(p, DeviceVariant::zembraDial));
    EXPECT_FALSE(fitsVariant(p, DeviceVariant::zembraFader));
}

TEST(VariantTitle, ThreeBlanksAfterTheColon)
{
    EXPECT_EQ(variantTitle(DeviceVariant::zembraControl), "Kestrow Editor:   ZEMBRA CONTROL");
    EXPECT_EQ(variantTitle(DeviceVariant::zembraFader), "Kestrow Editor:   ZEMBRA FADER");
    EXPECT_EQ(variantTitle(DeviceVariant::zembraDial), "Kestrow Editor:   ZEMBRA DIAL");
}

} // namespace
