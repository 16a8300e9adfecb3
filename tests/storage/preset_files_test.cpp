#include "platform/ini/ini_file.h"
#include "preset_files_fixture.h"

using namespace kestrow;
namespace fs = std::filesystem;

namespace {

using test::readFile;
using test::writeFile;
using Names = std::set<std::string>;
using test::fillBank;

/// Everything but the init values, which only a zembraDial's dump carries.
Preset withoutInitValues(Preset p)
{
    p.initValue = Preset {}.initValue;
    return p;
}

class PresetFilesTest : public test::PresetFilesTest { };

TEST_F(PresetFilesTest, DialSetsHold94BytesPerPresetOthers68AndBothLoadOnAnyVariant)
{
    fillBank(bank, 2);
    variant = DeviceVariant::zembraDial;
    ASSERT_TRUE(files.saveAllPresets(dir.file("Dial.MID")).ok());
    variant = DeviceVariant::zembraFader;
    ASSERT_TRUE(files.saveAllPresets(dir.file("Fader.MID")).ok());
    // What each message holds is the encoder's test; here that the file holds it all.
    EXPECT_EQ(files.readDumpFile(dir.file("Dial.MID")), 12032);
    EXPECT_EQ(files.readDumpFile(dir.file("Fader.MID")), 8704);

    for (DeviceVariant v : { DeviceVariant::zembraControl, DeviceVariant::zembraDial }) {
        Reader fader(driver), dial(driver);
        fader.variant = dial.variant = v;
        ASSERT_TRUE(fader.files.loadAllPresets(dir.file("Fader.MID")));
        ASSERT_TRUE(dial.files.loadAllPresets(dir.file("Dial.MID")));
        EXPECT_EQ(dial.files.lastFileBase, dir.file("Dial"));
        for (std::size_t p = 0; p < kPresetCount; ++p) {
            EXPECT_EQ(dial.bank.presets[p], bank.presets[p]) << p;
            EXPECT_EQ(fader.bank.presets[p], withoutInitValues(bank.presets[p])) << p;
        }
    }
}

TEST_F(PresetFilesTest, BackupsAreMadeOnceAndEmptyDescriptionsWriteNoNotesFile)
{
    const auto contents = [this](const std::string& suffix) {
        return std::vector<std::string> { readFile(dir.file("Set.MID" + suffix)),
            readFile(dir.file("Set.CFG" + suffix)), readFile(dir.file("Set.NTS" + suffix)) };
    };
    const auto save = [this](int seed, bool descriptions) {
        fillBank(bank, seed, descriptions);
        const SaveResult result = files.saveAllPresets(dir.file("Set.MID"));
        EXPECT_TRUE(result.ok()) << result.message();
        EXPECT_EQ(result.wroteDescriptions, descriptions);
    };
    save(10, true);
    EXPECT_EQ(dir.names(), (Names { "Set.MID", "Set.CFG", "Set.NTS" }));
    const auto first = contents("");
    // No notes to write: the old notes file goes to its backup like the others.
    save(20, false);
    EXPECT_EQ(
        dir.names(), (Names { "Set.MID", "Set.CFG", "Set.MID.BAK", "Set.CFG.BAK", "Set.NTS.BAK" }));
    EXPECT_EQ(contents(".BAK"), first);
    Reader r(driver);
    for (Preset& p : r.bank.presets)
        p.description = "stale";
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("Set.MID")));
    for (const Preset& p : r.bank.presets)
        EXPECT_EQ(p.description, "");
    // Later saves leave the backups as they are.
    const auto second = contents("");
    save(30, true);
    EXPECT_EQ(dir.names().size(), 6u); // no temporary file left behind
    EXPECT_EQ(contents(".BAK"), first);
    EXPECT_NE(contents(""), second);
    // With the backup name taken, old notes still must not outlive their set.
    save(40, false);
    EXPECT_FALSE(fs::exists(dir.file("Set.NTS")));
    EXPECT_EQ(contents(".BAK"), first);
}

TEST_F(PresetFilesTest, SinglePresetFile)
{
    fillBank(bank, 4);
    ASSERT_TRUE(files.saveSinglePreset(dir.file("One.MID"), 11).ok());
    // The "/" of the name cannot go into a file name.
    EXPECT_EQ(saveSinglePresetText(bank, 11).defaultName, "12_Caf\xE9 12_4.MID");
    // Loaded into preset 40: the preset's number in the file is ignored.
    Reader single(driver);
    ASSERT_TRUE(single.files.loadSinglePreset(dir.file("One.MID"), 39));
    EXPECT_EQ(single.bank.presets[39], withoutInitValues(bank.presets[11]));
    EXPECT_EQ(single.bank.presets[11], PresetBank().presets[11]);

    // "Load All": knob data into preset 12; section "1" names preset 1, the rest get defaults.
    Reader r(driver);
    fillBank(r.bank, 6);
    const PresetBank before = r.bank;
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("One.MID")));
    EXPECT_EQ(r.bank.presets[11].fixedParameter, bank.presets[11].fixedParameter);
    EXPECT_EQ(
        std::tuple(r.bank.presets[0].name, r.bank.presets[5].name, r.bank.presets[5].knobName[15]),
        std::tuple(bank.presets[11].name, "Preset 6", "Knob 16"));
    EXPECT_EQ(r.bank.presets[5].eventType, before.presets[5].eventType);
    for (std::size_t p = 0; p < kPresetCount; ++p) // one record is fewer than 128: kept
        EXPECT_EQ(r.bank.presets[p].description, before.presets[p].description) << p;
    fs::remove(dir.file("One.NTS"));
    ASSERT_TRUE(r.files.loadAllPresets(dir.file("One.MID")));
    for (const Preset& p : r.bank.presets)
        EXPECT_EQ(p.description, "");
}

TEST_F(PresetFilesTest, BanksWrapAtPreset128BothWays)
{
    EXPECT_EQ(saveBanksText(126).title, "Save Presets   127,128,1,2");
    EXPECT_EQ(saveBanksText(126).defaultName, "Presets 127_128_1_2.MID");
    EXPECT_EQ(loadBanksTitle(126), "Load Presets 127,128,1,2");
    fillBank(bank, 7);
    variant = DeviceVariant::zembraDial;
    ASSERT_TRUE(files.saveBanks(dir.file("Banks.MID"), 126).ok());
    const IniFile names = IniFile::load(dir.file("Banks.CFG"));
    const std::size_t order[] = { 0, 1, 126, 127 }; // stored ascending
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(names.value(std::to_string(i + 1), "N"), bank.presets[order[i]].name) << i;
    EXPECT_FALSE(names.hasSection("5"));

    Reader r(driver);
    ASSERT_TRUE(r.files.loadBanks(dir.file("Banks.MID"), 126));
    const std::size_t into[] = { 126, 127, 0, 1 };
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(r.bank.presets[into[i]], bank.presets[order[i]]) << "stored " << order[i] + 1;
    EXPECT_EQ(r.bank.presets[2], PresetBank().presets[2]);
}

TEST_F(PresetFilesTest, NameWithoutMidExtensionWritesAndMovesNothing)
{
    writeFile(dir.file("Set.mdi"), "keep");
    const SaveResult result = files.saveAllPresets(dir.file("Set.mdi"));
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_NE(result.problems[0].reason.find(".MID"), std::string::npos);
    EXPECT_EQ(dir.names(), Names { "Set.mdi" });
    EXPECT_EQ(readFile(dir.file("Set.mdi")), "keep");
    EXPECT_EQ(files.readDumpFile(dir.file("Set.mdi")), -1);
    EXPECT_TRUE(files.saveAllPresets(dir.file("Lower.mid")).ok()); // any letter case
}

TEST_F(PresetFilesTest, SideFilesInAnotherLetterCaseAreWrittenInPlaceAndTheSavedOnesLoaded)
{
    writeFile(dir.file("song.cfg"), "[Settings]\r\nDelay=99\r\n");
    fillBank(bank, 15);
    ASSERT_TRUE(files.saveAllPresets(dir.file("song.MID")).ok());
    EXPECT_EQ(dir.names(), (Names { "song.MID", "song.cfg", "song.cfg.BAK", "song.NTS" }));
    // The old file went to its backup, so the new one starts empty.
    EXPECT_FALSE(IniFile::load(dir.file("song.cfg")).hasSection("Settings"));

    // With the backup name taken, the names are written into the old file in place.
    writeFile(dir.file("song.cfg"), "[Settings]\r\nDelay=99\r\n[1]\r\nN=old\r\n");
    ASSERT_TRUE(files.saveSinglePreset(dir.file("song.MID"), 0).ok());
    const IniFile names = IniFile::load(dir.file("song.cfg"));
    EXPECT_EQ(names.value("Settings", "Delay"), "99");
    EXPECT_EQ(names.value("1", "N"), bank.presets[0].name);

    // With both letter cases present, the saved side files are the ones loaded.
    const std::string stale = "[1]\r\nN=stale\r\n";
    const std::string staleNotes = test::notesFile({ { 5, "stale" }, { 5, "stale" } });
    writeFile(dir.file("Set.cfg"), stale);
    writeFile(dir.file("Set.nts"), staleNotes);
    writeFile(dir.file("Set.CFG"), "[1]\r\nN=older\r\n");
    writeFile(dir.file("Set.NTS"), "");
    bank.presets[0].description = "saved";
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    EXPECT_EQ(readFile(dir.file("Set.cfg")), stale);
    EXPECT_EQ(readFile(dir.file("Set.nts")), staleNotes);

    for (const char* loaded : { "Set.MID", "set.mid" }) {
        if (!fs::exists(dir.file(loaded)))
            fs::rename(dir.file("Set.MID"), dir.file(loaded));
        Reader r(driver);
        ASSERT_TRUE(r.files.loadAllPresets(dir.file(loaded))) << loaded;
        EXPECT_EQ(r.bank.presets[0].name, bank.presets[0].name) << loaded;
        EXPECT_EQ(r.bank.presets[0].description, "saved") << loaded;
    }
}

TEST_F(PresetFilesTest, AutosaveSetCarriesTheSettings)
{
    fillBank(bank, 14);
    EditorSettings settings;
    settings.selectedPreset = 57;
    settings.deviceType = variant = DeviceVariant::zembraDial;
    settings.midiDevice = "USB MIDI 1";
    // The second save updates the names file in place (its backup is taken);
    // the third must still write the changed settings and keep a foreign section.
    ASSERT_TRUE(files.saveAutosaveSet(dir.dir(), settings).ok());
    ASSERT_TRUE(files.saveAutosaveSet(dir.dir(), settings).ok());
    writeFile(dir.file("Config.CFG"), readFile(dir.file("Config.CFG")) + "[Mine]\r\nx=1\r\n");
    settings.delay = 321;
    ASSERT_TRUE(files.saveAutosaveSet(dir.dir(), settings).ok());
    EXPECT_EQ(IniFile::load(dir.file("Config.CFG")).value("Mine", "x"), "1");
    Reader r(driver);
    EXPECT_EQ(r.files.loadAutosaveSet(dir.dir()), settings);
    EXPECT_EQ(r.bank.presets, bank.presets);
    // Without a dump the settings are not read at all.
    fs::remove(dir.file("Config.MID"));
    Reader none(driver);
    EXPECT_FALSE(none.files.loadAutosaveSet(dir.dir()).has_value());
    EXPECT_FALSE(none.files.loadFactorySet(dir.dir()));
}

} // namespace
