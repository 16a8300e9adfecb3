#include "editor_settings.h"

#include "ini_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrow {
namespace {

class EditorSettingsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string path = dir.file("Config.CFG");
};

TEST_F(EditorSettingsTest, NoFileOrNoSectionGivesTheDefaults)
{
    const EditorSettings defaults;
    EXPECT_EQ(loadSettings(path), defaults);
    test::writeFile(path, "[1]\r\nN=Pad\r\n");
    EXPECT_EQ(loadSettings(path), defaults);
    EXPECT_EQ(defaults.deviceType, DeviceVariant::zembraControl);
    EXPECT_TRUE(defaults.autoSend);
    EXPECT_EQ(defaults.delay, 200);
    EXPECT_EQ(defaults.midiDevice, "no device");
    EXPECT_EQ(defaults.midiInDevice, "no device");
}

TEST_F(EditorSettingsTest, MissingAutoSendReadsAsOn)
{
    test::writeFile(path, "[Settings]\r\nDelay=120\r\nDevice Type=2\r\n");
    const EditorSettings s = loadSettings(path);
    EXPECT_TRUE(s.autoSend);
    EXPECT_EQ(s.delay, 120);
    EXPECT_EQ(s.deviceType, DeviceVariant::zembraDial);
}

TEST_F(EditorSettingsTest, SavedSettingsComeBackAndKeepTheNames)
{
    test::writeFile(path, "[1]\r\nN=Pad\r\n");
    EditorSettings s;
    s.deviceType = DeviceVariant::zembraFader;
    s.optionsShowBankGroups = false;
    s.optionsFixed = false;
    s.autoSend = false;
    s.delay = 35;
    s.midiDevice = "zembra Emulator";
    s.midiNotesRange = true;
    s.midiInDevice = "USB MIDI 1";
    s.selectedPreset = 127;
    ASSERT_TRUE(saveSettings(path, s));
    EXPECT_EQ(loadSettings(path), s);
    EXPECT_EQ(IniFile::load(path).value("1", "N"), "Pad");
}

TEST_F(EditorSettingsTest, KeysAreWrittenInTheirOrderAsOneAndZero)
{
    EditorSettings s;
    s.autoSend = false;
    ASSERT_TRUE(saveSettings(path, s));
    EXPECT_EQ(test::readFile(path), "[Settings]\r\n"
                                    "Auto Send=0\r\n"
                                    "Delay=200\r\n"
                                    "Midi Device=no device\r\n"
                                    "Selected Preset=0\r\n"
                                    "Midi Notes Range=0\r\n"
                                    "Midi InDevice=no device\r\n"
                                    "Device Type=0\r\n"
                                    "Options Show Bank Groups=1\r\n"
                                    "Options Fixed=1\r\n");
}

TEST_F(EditorSettingsTest, MalformedValuesReadAsTheirDefaults)
{
    test::writeFile(path, "[settings]\nDelay=fast\nAuto Send=\nOptions Fixed=0\nSelected Preset=12x\n"
                          "Midi Notes Range=3\n");
    const EditorSettings s = loadSettings(path);
    EXPECT_EQ(s.delay, 200);
    EXPECT_TRUE(s.autoSend);
    EXPECT_FALSE(s.optionsFixed);
    EXPECT_EQ(s.selectedPreset, 0);
    EXPECT_TRUE(s.midiNotesRange);
}

TEST_F(EditorSettingsTest, OutOfRangePresetAndDeviceAreClamped)
{
    test::writeFile(path, "[Settings]\r\nSelected Preset=500\r\nDevice Type=7\r\n");
    EditorSettings s = loadSettings(path);
    EXPECT_EQ(s.selectedPreset, 127);
    EXPECT_EQ(s.deviceType, DeviceVariant::zembraDial);
    test::writeFile(path, "[Settings]\r\nSelected Preset=-4\r\nDevice Type=-1\r\n");
    s = loadSettings(path);
    EXPECT_EQ(s.selectedPreset, 0);
    EXPECT_EQ(s.deviceType, DeviceVariant::zembraControl);
}

TEST_F(EditorSettingsTest, SavedPortIsFoundOnlyUnderItsExactName)
{
    EditorSettings s;
    s.midiDevice = "Zembra emulator";
    s.midiInDevice = " USB MIDI 1";
    ASSERT_TRUE(saveSettings(path, s));
    const EditorSettings back = loadSettings(path);
    const std::vector<std::string> ports { "USB MIDI 1", "zembra Emulator", "Zembra emulator", "no device" };
    EXPECT_EQ(findPortByName(ports, back.midiDevice), 2);
    EXPECT_EQ(findPortByName({ "USB MIDI 1", "zembra Emulator" }, back.midiDevice), -1);
    // Blanks around a value do not survive the file; the trimmed name is found.
    EXPECT_EQ(findPortByName(ports, back.midiInDevice), 0);
    EXPECT_EQ(findPortByName({}, "no device"), -1);
}

TEST_F(EditorSettingsTest, UnreadableFileIsNotOverwritten)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    test::writeFile(path, "[1]\r\nN=Keep me\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    EXPECT_FALSE(saveSettings(path, EditorSettings {}));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(test::readFile(path), "[1]\r\nN=Keep me\r\n");
}

} // namespace
} // namespace kestrow
