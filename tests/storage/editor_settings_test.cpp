#include "platform/ini/ini_file.h"
#include "storage/editor_settings.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kestrow;

namespace {

struct LoadCase {
    const char* what;
    const char* text; ///< nullptr: no file
    std::function<void(EditorSettings&)> expected; ///< changes from the defaults
};

TEST(EditorSettings, LoadingFallsBackToTheDefaults)
{
    const LoadCase cases[] = { { "no file", nullptr, [](EditorSettings&) {} },
        { "no section", "[1]\r\nN=Pad\r\n", [](EditorSettings&) {} },
        { "no \"Auto Send\": on", "[Settings]\r\nDelay=120\r\nDevice Type=2\r\n",
            [](EditorSettings& s) { s.delay = 120, s.deviceType = DeviceVariant::zembraDial; } },
        { "malformed",
            "[settings]\nDelay=fast\nAuto Send=\nOptions Fixed=0\nSelected Preset=12x\n"
            "Midi Notes Range=3\n",
            [](EditorSettings& s) { s.optionsFixed = false, s.midiNotesRange = true; } },
        { "clamped high", "[Settings]\r\nSelected Preset=500\r\nDevice Type=7\r\n",
            [](EditorSettings& s) {
                s.selectedPreset = 127, s.deviceType = DeviceVariant::zembraDial;
            } },
        { "clamped low", "[Settings]\r\nSelected Preset=-4\r\nDevice Type=-1\r\nAuto Send=0\r\n",
            [](EditorSettings& s) { s.autoSend = false; } },
        { "verify after send", "[Settings]\r\nVerify After Send=0\r\n",
            [](EditorSettings& s) { s.verifyAfterSend = false; } } };
    EXPECT_EQ(EditorSettings {},
        (EditorSettings { DeviceVariant::zembraControl, true, true, true, 200, "no device", false,
            "no device", 0, true, {}, {}, {}, {} }));
    for (const LoadCase& c : cases) {
        test::TempDir dir;
        if (c.text)
            test::writeFile(dir.file("Config.CFG"), c.text);
        EditorSettings expected;
        c.expected(expected);
        EXPECT_EQ(loadSettings(dir.file("Config.CFG")), expected) << c.what;
    }
}

TEST(EditorSettings, SavedInTheirOrderBesideTheNamesAndReadBack)
{
    test::TempDir dir;
    const std::string path = dir.file("Config.CFG");
    test::writeFile(path, "[1]\r\nN=Pad\r\n");
    EditorSettings s { DeviceVariant::zembraFader, false, false, false, 35, "zembra Emulator", true,
        "USB MIDI 1", 127, true, { "/music/Live Set.syx", "/music/All.MID" }, {}, {},
        { "/music/Sets", "/backup" } };
    ASSERT_TRUE(saveSettings(path, s));
    EXPECT_EQ(test::readFile(path),
        "[1]\r\nN=Pad\r\n[Settings]\r\nAuto Send=0\r\nDelay=35\r\n"
        "Midi Device=zembra Emulator\r\nSelected Preset=127\r\n"
        "Midi Notes Range=1\r\nMidi InDevice=USB MIDI 1\r\n"
        "Device Type=1\r\nOptions Show Bank Groups=0\r\nOptions Fixed=0\r\n"
        "[Recent Files]\r\n1=/music/Live Set.syx\r\n2=/music/All.MID\r\n3=\r\n4=\r\n5=\r\n"
        "6=\r\n7=\r\n8=\r\n[Library Folders]\r\nCount=2\r\n1=/music/Sets\r\n2=/backup\r\n");
    EXPECT_EQ(loadSettings(path), s);
    // A shorter list leaves none of the longer one behind; the dialogs' folders come back.
    s.recentFiles = { "/music/All.MID" };
    s.presetFolder = "/music";
    s.sysExFolder = "/music/sys ex";
    s.libraryFolders = { "/backup" };
    ASSERT_TRUE(saveSettings(path, s));
    EXPECT_EQ(loadSettings(path), s);
}

TEST(EditorSettings, SavedPortIsFoundOnlyUnderItsExactName)
{
    const std::vector<std::string> ports { "USB MIDI 1", "zembra Emulator", "Zembra emulator" };
    EXPECT_EQ(findPortByName(ports, "Zembra emulator"), 2);
    EXPECT_EQ(findPortByName({ "USB MIDI 1", "zembra Emulator" }, "Zembra emulator"), -1);
    EXPECT_EQ(findPortByName({}, "no device"), -1);
    // Blanks around a saved name do not survive the file; the trimmed name is found.
    test::TempDir dir;
    EditorSettings s;
    s.midiInDevice = " USB MIDI 1";
    ASSERT_TRUE(saveSettings(dir.file("Config.CFG"), s));
    EXPECT_EQ(findPortByName(ports, loadSettings(dir.file("Config.CFG")).midiInDevice), 0);
}

} // namespace
