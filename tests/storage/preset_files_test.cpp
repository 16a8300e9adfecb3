#include "preset_files.h"

#include "ini_file.h"
#include "temp_dir.h"

#include "midi_driver.h"
#include "midi_smf.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrow {
namespace {

namespace fs = std::filesystem;

/// Distinct data in every field of every preset, so a preset landing in the
/// wrong place or a column shifted by one shows.
void fillBank(PresetBank& bank, int seed)
{
    for (int p = 0; p < kPresetCount; ++p) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Caf\xE9 " + std::to_string(p + 1) + "/" + std::to_string(seed);
        preset.description = p % 3 == 0 ? std::string() : "Line one of " + std::to_string(p) + "\r\nline \x80 two";
        for (int k = 0; k < kKnobCount; ++k) {
            preset.knobName[k] = "K" + std::to_string(k + 1) + "\x93" + std::to_string(seed);
            preset.channel[k] = (p + k + seed) % 17;
            preset.eventType[k] = (p * 3 + k + seed) % 128;
            preset.fixedParameter[k] = (p * 7 + k + seed) % 128;
            preset.initValue[k] = (p * 5 + k + seed) % 128;
        }
    }
}

/// The knob columns the dump carries, without init values.
void expectSameKnobData(const Preset& a, const Preset& b)
{
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.eventType, b.eventType);
    EXPECT_EQ(a.fixedParameter, b.fixedParameter);
}

class PresetFilesTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TMidiDriver driver;
    TMidiSMF smf { &driver };
    PresetBank bank;
    PresetFiles files { bank, smf };

    /// A second working set on the same files, as after a restart.
    struct Reader {
        TMidiSMF smf;
        PresetBank bank;
        PresetFiles files;
        explicit Reader(TMidiDriver& driver)
            : smf(&driver)
            , files(bank, smf)
        {
        }
    };
    Reader reader() { return Reader(driver); }

    std::set<std::string> folderContents() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_F(PresetFilesTest, AllPresetsSurviveASaveAndLoad)
{
    fillBank(bank, 1);
    files.variant = DeviceVariant::zembraDial;
    const SaveResult saved = files.saveAllPresets(dir.file("Set.MID"));
    ASSERT_TRUE(saved.ok()) << saved.message();
    EXPECT_TRUE(saved.wroteDump && saved.wroteKnobNames && saved.wroteDescriptions);

    Reader r(driver);
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("Set.MID")));
    EXPECT_EQ(r.files.lastFileBase, dir.file("Set"));
    for (int p = 0; p < kPresetCount; ++p)
        EXPECT_EQ(r.bank.presets[static_cast<std::size_t>(p)], bank.presets[static_cast<std::size_t>(p)]) << p;
}

TEST_F(PresetFilesTest, DumpHoldsNinetyFourBytesPerPresetOnTheDialAndSixtyEightElsewhere)
{
    fillBank(bank, 2);
    files.variant = DeviceVariant::zembraDial;
    ASSERT_TRUE(files.saveAllPresets(dir.file("Dial.MID")).ok());
    files.variant = DeviceVariant::zembraFader;
    ASSERT_TRUE(files.saveAllPresets(dir.file("Fader.MID")).ok());

    Reader r(driver);
    EXPECT_EQ(r.files.readDumpFile(dir.file("Dial.MID")), 12032);
    // Init values message of preset 0 first, then its data message.
    EXPECT_EQ(r.files.dumpBytes[6], 0x21);
    EXPECT_EQ(r.files.dumpBytes[26 + 6], 0x20);
    EXPECT_EQ(r.files.readDumpFile(dir.file("Fader.MID")), 8704);
    EXPECT_EQ(r.files.dumpBytes[6], 0x20);
    EXPECT_EQ(r.files.dumpBytes[58 + 6], 0x30);

    // Both load whatever the variant; init values only come from the dial set.
    for (DeviceVariant v : { DeviceVariant::zembraControl, DeviceVariant::zembraDial }) {
        Reader fader(driver);
        fader.files.variant = v;
        ASSERT_TRUE(fader.files.loadAllPresets(dir.file("Fader.MID")));
        Reader dial(driver);
        dial.files.variant = v;
        ASSERT_TRUE(dial.files.loadAllPresets(dir.file("Dial.MID")));
        for (int p = 0; p < kPresetCount; ++p) {
            const Preset& original = bank.presets[static_cast<std::size_t>(p)];
            expectSameKnobData(fader.bank.presets[static_cast<std::size_t>(p)], original);
            expectSameKnobData(dial.bank.presets[static_cast<std::size_t>(p)], original);
            EXPECT_EQ(fader.bank.presets[static_cast<std::size_t>(p)].initValue, Preset {}.initValue);
            EXPECT_EQ(dial.bank.presets[static_cast<std::size_t>(p)].initValue, original.initValue);
        }
    }
}

TEST_F(PresetFilesTest, EmptyDescriptionsWriteNoNotesFileAndRetireTheOldOne)
{
    fillBank(bank, 3);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    const std::string oldNotes = test::readFile(dir.file("Set.NTS"));
    for (Preset& p : bank.presets)
        p.description.clear();
    const SaveResult second = files.saveAllPresets(dir.file("Set.MID"));
    ASSERT_TRUE(second.ok()) << second.message();
    EXPECT_FALSE(second.wroteDescriptions);
    EXPECT_FALSE(fs::exists(dir.file("Set.NTS")));
    EXPECT_EQ(test::readFile(dir.file("Set.NTS.BAK")), oldNotes);

    Reader r(driver);
    for (Preset& p : r.bank.presets)
        p.description = "stale";
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("Set.MID")));
    for (const Preset& p : r.bank.presets)
        EXPECT_EQ(p.description, "");

    // A third save finds the backup name taken: the old notes still must not
    // outlive the set they belonged to.
    bank.presets[4].description = "new";
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    bank.presets[4].description.clear();
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    EXPECT_FALSE(fs::exists(dir.file("Set.NTS")));
    EXPECT_EQ(test::readFile(dir.file("Set.NTS.BAK")), oldNotes);
}

TEST_F(PresetFilesTest, ThreeSavesKeepTheFirstBackupOnly)
{
    const auto contents = [this] {
        return std::vector<std::string> { test::readFile(dir.file("Set.MID")),
                                          test::readFile(dir.file("Set.CFG")),
                                          test::readFile(dir.file("Set.NTS")) };
    };
    fillBank(bank, 10);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    EXPECT_EQ(folderContents(), (std::set<std::string> { "Set.MID", "Set.CFG", "Set.NTS" }));
    const auto first = contents();

    fillBank(bank, 20);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    EXPECT_EQ(folderContents(), (std::set<std::string> { "Set.MID", "Set.CFG", "Set.NTS", "Set.MID.BAK",
                                                         "Set.CFG.BAK", "Set.NTS.BAK" }));
    const std::vector<std::string> backups { test::readFile(dir.file("Set.MID.BAK")),
                                             test::readFile(dir.file("Set.CFG.BAK")),
                                             test::readFile(dir.file("Set.NTS.BAK")) };
    EXPECT_EQ(backups, first);
    const auto second = contents();
    EXPECT_NE(second, first);

    fillBank(bank, 30);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    EXPECT_EQ(folderContents().size(), 6u); // no temporary file left behind
    EXPECT_EQ(test::readFile(dir.file("Set.MID.BAK")), first[0]);
    EXPECT_EQ(test::readFile(dir.file("Set.CFG.BAK")), first[1]);
    const auto third = contents();
    EXPECT_NE(third, second);
    Reader r(driver);
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("Set.MID")));
    EXPECT_EQ(r.bank.presets[77].name, bank.presets[77].name);
}

TEST_F(PresetFilesTest, SinglePresetTwelveLoadsIntoForty)
{
    fillBank(bank, 4);
    bank.presets[11].description = "Twelve's notes";
    ASSERT_TRUE(files.saveSinglePreset(dir.file("One.MID"), 11).ok());
    EXPECT_EQ(saveSinglePresetText(bank, 11).defaultName, "12_" + bank.presets[11].name.substr(0, 7) + "_4.MID");

    Reader r(driver);
    ASSERT_TRUE(r.files.loadSinglePreset(dir.file("One.MID"), 39));
    const Preset& loaded = r.bank.presets[39];
    expectSameKnobData(loaded, bank.presets[11]);
    EXPECT_EQ(loaded.name, bank.presets[11].name);
    EXPECT_EQ(loaded.knobName, bank.presets[11].knobName);
    EXPECT_EQ(loaded.description, "Twelve's notes");
    // Preset 12 itself, named in the file, is untouched.
    EXPECT_EQ(r.bank.presets[11], PresetBank().presets[11]);
}

TEST_F(PresetFilesTest, LoadAllWithASinglePresetFile)
{
    fillBank(bank, 5);
    bank.presets[11].description = "only";
    ASSERT_TRUE(files.saveSinglePreset(dir.file("One.MID"), 11).ok());

    Reader r(driver);
    fillBank(r.bank, 6);
    const PresetBank before = r.bank;
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("One.MID")));
    expectSameKnobData(r.bank.presets[11], bank.presets[11]);
    // Section "1" names preset 1 in an "all" load; the rest get default names.
    EXPECT_EQ(r.bank.presets[0].name, bank.presets[11].name);
    EXPECT_EQ(r.bank.presets[5].name, "Preset 6");
    EXPECT_EQ(r.bank.presets[5].knobName[15], "Knob 16");
    expectSameKnobData(r.bank.presets[5], before.presets[5]);
    // One record in the notes file is fewer than 128: descriptions stay.
    for (int p = 0; p < kPresetCount; ++p)
        EXPECT_EQ(r.bank.presets[static_cast<std::size_t>(p)].description, before.presets[static_cast<std::size_t>(p)].description);

    fs::remove(dir.file("One.NTS"));
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("One.MID")));
    for (const Preset& p : r.bank.presets)
        EXPECT_EQ(p.description, "");
}

TEST_F(PresetFilesTest, BanksWrapAtPreset128BothWays)
{
    fillBank(bank, 7);
    files.variant = DeviceVariant::zembraDial;
    EXPECT_EQ(saveBanksText(126).title, "Save Presets   127,128,1,2");
    EXPECT_EQ(saveBanksText(126).defaultName, "Presets 127_128_1_2.MID");
    EXPECT_EQ(loadBanksTitle(126), "Load Presets 127,128,1,2");
    ASSERT_TRUE(files.saveBanks(dir.file("Banks.MID"), 126).ok());
    const IniFile names = IniFile::load(dir.file("Banks.CFG"));
    // Stored in ascending order: 1, 2, 127, 128.
    EXPECT_EQ(names.value("1", "N"), bank.presets[0].name);
    EXPECT_EQ(names.value("2", "N"), bank.presets[1].name);
    EXPECT_EQ(names.value("3", "N"), bank.presets[126].name);
    EXPECT_EQ(names.value("4", "N"), bank.presets[127].name);
    EXPECT_FALSE(names.hasSection("5"));

    Reader r(driver);
    ASSERT_TRUE(r.files.loadBanks(dir.file("Banks.MID"), 126));
    const int order[] = { 0, 1, 126, 127 };
    const int into[] = { 126, 127, 0, 1 };
    for (int i = 0; i < 4; ++i) {
        const Preset& got = r.bank.presets[static_cast<std::size_t>(into[i])];
        const Preset& want = bank.presets[static_cast<std::size_t>(order[i])];
        EXPECT_EQ(got, want) << "stored preset " << order[i] + 1;
    }
    EXPECT_EQ(r.bank.presets[2], PresetBank().presets[2]);
}

TEST_F(PresetFilesTest, NameWithoutMidExtensionWritesAndMovesNothing)
{
    test::writeFile(dir.file("Set.mdi"), "keep");
    fillBank(bank, 8);
    const SaveResult result = files.saveAllPresets(dir.file("Set.mdi"));
    EXPECT_FALSE(result.ok());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_NE(result.problems[0].reason.find(".MID"), std::string::npos);
    EXPECT_EQ(folderContents(), std::set<std::string> { "Set.mdi" });
    EXPECT_EQ(test::readFile(dir.file("Set.mdi")), "keep");
    EXPECT_EQ(files.readDumpFile(dir.file("Set.mdi")), -1);
    // The extension is compared without regard to case.
    EXPECT_TRUE(files.saveAllPresets(dir.file("Lower.mid")).ok());
}

TEST_F(PresetFilesTest, AFailedWriteNamesTheFileAndKeepsTheOldOneWhole)
{
    fillBank(bank, 9);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    const std::string oldNames = test::readFile(dir.file("Set.CFG"));
    // A folder where the notes file should go cannot be replaced.
    fs::remove(dir.file("Set.NTS"));
    fs::create_directory(dir.file("Set.NTS"));
    test::writeFile(dir.file("Set.NTS") + "/inside", "x");
    test::writeFile(dir.file("Set.NTS.BAK"), "older");
    fs::remove(dir.file("Set.CFG.BAK"));
    fillBank(bank, 11);
    const SaveResult result = files.saveAllPresets(dir.file("Set.MID"));
    EXPECT_FALSE(result.ok());
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].file, dir.file("Set.NTS"));
    EXPECT_FALSE(result.message().empty());
    EXPECT_TRUE(result.wroteDump);
    EXPECT_TRUE(result.wroteKnobNames);
    EXPECT_EQ(test::readFile(dir.file("Set.CFG.BAK")), oldNames);
    for (const std::string& name : folderContents())
        EXPECT_NE(name.front(), '.') << "temporary file left: " << name;
}

TEST_F(PresetFilesTest, SideFilesAreFoundWithoutRegardToCase)
{
    fillBank(bank, 12);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    fs::rename(dir.file("Set.CFG"), dir.file("set.cfg"));
    fs::rename(dir.file("Set.NTS"), dir.file("SET.nts"));
    Reader r(driver);
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("Set.MID")));
    EXPECT_EQ(r.bank.presets[1].name, bank.presets[1].name);
    EXPECT_EQ(r.bank.presets[1].description, bank.presets[1].description);
}

TEST_F(PresetFilesTest, SavingReusesSideFilesSpelledInAnotherCase)
{
    test::writeFile(dir.file("song.cfg"), "[1]\r\nN=old\r\n");
    fillBank(bank, 15);
    ASSERT_TRUE(files.saveAllPresets(dir.file("song.MID")).ok());
    EXPECT_EQ(folderContents(), (std::set<std::string> { "song.MID", "song.cfg", "song.cfg.BAK", "song.NTS" }));
    EXPECT_EQ(IniFile::load(dir.file("song.cfg")).value("1", "N"), bank.presets[0].name);
}

TEST_F(PresetFilesTest, OldNamesFileKeepsForeignSectionsOnlyWhenItsBackupExists)
{
    test::writeFile(dir.file("Set.CFG"), "[Settings]\r\nDelay=99\r\n");
    fillBank(bank, 13);
    ASSERT_TRUE(files.saveSinglePreset(dir.file("Set.MID"), 0).ok());
    // The old file went to its backup, so the new one starts empty.
    EXPECT_FALSE(IniFile::load(dir.file("Set.CFG")).hasSection("Settings"));
    test::writeFile(dir.file("Set.CFG"), "[Settings]\r\nDelay=99\r\n[1]\r\nN=old\r\n");
    ASSERT_TRUE(files.saveSinglePreset(dir.file("Set.MID"), 0).ok());
    const IniFile names = IniFile::load(dir.file("Set.CFG"));
    EXPECT_EQ(names.value("Settings", "Delay"), "99");
    EXPECT_EQ(names.value("1", "N"), bank.presets[0].name);
}

TEST_F(PresetFilesTest, AutosaveSetCarriesTheSettings)
{
    fillBank(bank, 14);
    EditorSettings settings;
    settings.selectedPreset = 57;
    settings.deviceType = DeviceVariant::zembraDial;
    files.variant = DeviceVariant::zembraDial;
    const SaveResult saved = files.saveAutosaveSet(dir.dir(), settings);
    ASSERT_TRUE(saved.ok()) << saved.message();

    Reader r(driver);
    const auto loaded = r.files.loadAutosaveSet(dir.dir());
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(*loaded, settings);
    EXPECT_EQ(r.bank.presets[57], bank.presets[57]);

    // Without a dump the settings are not read at all.
    Reader none(driver);
    fs::remove(dir.file("Config.MID"));
    EXPECT_FALSE(none.files.loadAutosaveSet(dir.dir()).has_value());
    EXPECT_FALSE(none.files.loadFactorySet(dir.dir()));
}

TEST_F(PresetFilesTest, CommandTexts)
{
    bank.presets[6].name = "Pad";
    EXPECT_EQ(saveAllPresetsText().title, "Save All Presets");
    EXPECT_EQ(saveAllPresetsText().defaultName, "All Presets.MID");
    EXPECT_EQ(saveSinglePresetText(bank, 6).title, "Save Preset   7:Pad");
    EXPECT_EQ(saveSinglePresetText(bank, 6).defaultName, "7_Pad.MID");
    EXPECT_EQ(loadSinglePresetTitle(6), "Load Preset 7");
    EXPECT_EQ(loadAllPresetsTitle(), "Load All Presets");
    EXPECT_EQ(saveBanksText(0).title, "Save Presets   1,2,3,4");
    maskBanks(bank, 126);
    int masked = 0;
    for (std::uint8_t m : bank.presetMask)
        masked += m;
    EXPECT_EQ(masked, 4);
    EXPECT_EQ(bank.presetMask[127], 1);
    EXPECT_EQ(bank.presetMask[1], 1);
}

} // namespace
} // namespace kestrow
