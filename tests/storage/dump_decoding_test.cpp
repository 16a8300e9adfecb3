// Dump decoding fed directly, and files that other tools or accidents made.

#include "midi/midi_score.h"
#include "midi/midi_track.h"
#include "preset_files_fixture.h"
#include "storage/side_files.h"

#include <cstdlib>
#include <functional>
#include <random>
#include <tuple>

using namespace kestrow;

namespace {

using test::notesFile;

const std::vector<std::int32_t> kHead { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00 };

/// A message with command 20 (with its trailer) or 21, payload bytes base, base + 1, ...
std::vector<std::int32_t> message(int command, int preset, int base)
{
    std::vector<std::int32_t> m = kHead;
    m.insert(m.end(), { command, preset, 0x00 });
    for (int i = 0; i < (command == 0x20 ? 48 : 16); ++i)
        m.push_back((base + i) % 128);
    m.push_back(0xF7);
    if (command == 0x20) {
        m.insert(m.end(), kHead.begin(), kHead.end());
        m.insert(m.end(), { 0x30, preset, 0x00, 0xF7 });
    }
    return m;
}
std::vector<std::int32_t> dataMessage(int preset, int base) { return message(0x20, preset, base); }
std::vector<std::int32_t> initMessage(int preset, int base) { return message(0x21, preset, base); }

class DumpDecodingTest : public test::PresetFilesTest {
protected:
    /// A one-track file of the given SysEx messages, written through the toolkit.
    void writeDump(const std::string& path, const std::vector<std::vector<std::int32_t>>& messages)
    {
        TMidiScore score(1);
        ASSERT_TRUE(smf.Open(path, 'w', 1));
        smf.Attach(&score);
        score.Get(0)->IsRecording(true);
        for (const auto& m : messages)
            for (std::int32_t b : m)
                score.Get(0)->Write({ 0, 0xF0, static_cast<std::uint8_t>(b), 0, 0 });
        score.Get(0)->IsRecording(false);
        smf.Save(nullptr);
        smf.Close();
    }
    int load(const std::vector<std::vector<std::int32_t>>& messages)
    {
        int count = 0;
        for (const auto& m : messages)
            for (std::int32_t b : m)
                files.dumpBytes[static_cast<std::size_t>(count++)] = b;
        return count;
    }
};

// (Loading whole files covers each message going to the preset it names.)
TEST_F(DumpDecodingTest, WithATargetEveryMessageGoesToIt)
{
    const int count = load({ initMessage(5, 1), dataMessage(5, 10), dataMessage(9, 20) });
    const PresetBank before = bank;
    files.applyDump(count, 40);
    EXPECT_EQ(bank.presets[40].channel[0], 20); // the last message wins
    EXPECT_EQ(bank.presets[40].initValue[15], 16);
    bank.presets[40] = before.presets[40];
    EXPECT_EQ(bank.presets, before.presets);
    EXPECT_EQ(files.parseDumpMessage(0, 40), 26);
    EXPECT_EQ(files.parseDumpMessage(26, 40), 68);
    EXPECT_EQ(files.parseDumpMessage(1, 40), -1);
}

TEST_F(DumpDecodingTest, DamagedBytesNeverReachAWrongPreset)
{
    auto foreign = dataMessage(7, 50);
    foreign[4] = 0x15;
    auto high = dataMessage(3, 40);
    high[9] = 0x85; // a status byte where a value belongs
    const int count
        = load({ dataMessage(200, 30), initMessage(0x80, 3), high, foreign, dataMessage(2, 70) });
    const PresetBank before = bank;
    files.applyDump(count, -1); // above 127 skipped, the foreign message stepped over
    EXPECT_EQ(std::tuple(bank.presets[3].channel[0], bank.presets[3].channel[1],
                  bank.presets[2].channel[0]),
        std::tuple(0x05, 41, 70));
    bank.presets[3] = before.presets[3];
    bank.presets[2] = before.presets[2];
    EXPECT_EQ(bank.presets, before.presets);

    const int cut = load({ dataMessage(1, 60), dataMessage(2, 70) });
    files.applyDump(cut - 20, -1); // the second message's payload runs past the count
    EXPECT_EQ(bank.presets[1].channel[0], 60);
    EXPECT_EQ(bank.presets[2], before.presets[2]);
    files.applyDump(68 + 58, -1); // a data message without its trailer is still whole
    EXPECT_EQ(bank.presets[2].channel[0], 70);
}

// --- Files from elsewhere ---------------------------------------------------------

TEST_F(DumpDecodingTest, SetWrittenByAnIndependentToolLoads)
{
    // Two tracks, each an ordinary SysEx event per message: presets 0..63 in
    // the first, 64..127 with init values in the second.
    const std::string script = R"(
import mido, sys
mid = mido.MidiFile(type=1, ticks_per_beat=96)
for part in range(2):
    track = mido.MidiTrack()
    track.append(mido.MetaMessage('track_name', name='Indie %d' % part))
    for p in range(64 * part, 64 * part + 64):
        t = 0 if p == 0 else 1280
        if part == 1:
            track.append(mido.Message('sysex', data=[0, 0x20, 0x20, 0x14, 0, 0x21, p, 0] + [(p + k) % 128 for k in range(16)], time=t))
        data = [(k % 16) + 1 for k in range(16)] + [0] * 16 + [(p + k) % 128 for k in range(16)]
        track.append(mido.Message('sysex', data=[0, 0x20, 0x20, 0x14, 0, 0x20, p, 0] + data, time=t))
        track.append(mido.Message('sysex', data=[0, 0x20, 0x20, 0x14, 0, 0x30, p, 0], time=0))
    mid.tracks.append(track)
mid.save(sys.argv[1])
)";
    const std::string path = dir.file("Indie.MID");
    test::writeFile(path + ".py", script); // run with Debian's python3
    if (std::system("/usr/bin/python3 -c 'import mido' >/dev/null 2>&1") != 0
        || std::system(("/usr/bin/python3 '" + path + ".py' '" + path + "'").c_str()) != 0)
        GTEST_SKIP() << "python3 with mido is not available";

    // Hand-made side files: CRLF, Windows-1252, spelled in lower case.
    test::writeFile(dir.file("indie.cfg"),
        "; written by hand\r\n[1]\r\nN = Caf\xE9 Strings \r\n1=Cutoff\r\n"
        "[128]\r\nn=Last\r\n16=End \x96 knob\r\n");
    std::vector<std::pair<std::int32_t, std::string>> records(128, { 0, "" });
    const std::string notes = "Warm pad\r\nslow attack \x80";
    records[0] = { static_cast<std::int32_t>(notes.size()), notes };
    test::writeFile(dir.file("Indie.nts"), notesFile(records));

    ASSERT_TRUE(files.loadAllPresets(path)) << files.lastReadError();
    EXPECT_EQ(files.readDumpFile(path), 64 * 68 + 64 * 94);
    const Preset &first = bank.presets[0], &last = bank.presets[127];
    EXPECT_EQ(std::tuple(first.name, first.knobName[0], first.knobName[1], first.description,
                  last.name, last.knobName[15], bank.presets[5].name),
        std::tuple(
            "Caf\xE9 Strings", "Cutoff", "Knob 2", notes, "Last", "End \x96 knob", "Preset 6"));
    for (const Preset& p : bank.presets) {
        const int n = static_cast<int>(&p - bank.presets.data());
        EXPECT_EQ(std::tuple(p.channel[3], p.eventType[3], p.fixedParameter[3], p.initValue[3]),
            std::tuple(4, 0, (n + 3) % 128, n < 64 ? 0 : (n + 3) % 128))
            << n;
    }
}

// --- Loads are all or nothing ------------------------------------------------------

/// A preset set as Set.MID/.CFG/.NTS whose dump holds the given SysEx messages.
class LoadRulesTest : public DumpDecodingTest {
protected:
    PresetBank source;
    std::vector<std::int32_t> dump; ///< the dump of `source`, all 128 presets

    void SetUp() override
    {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            std::filesystem::remove(entry.path());
        test::fillBank(source, 3);
        for (Preset& preset : source.presets)
            preset.initValue = {}; // not in a zembraControl's dump
        Reader writer(driver);
        writer.bank = source;
        ASSERT_TRUE(writer.files.saveAllPresets(dir.file("Set.MID")).ok());
        const int count = writer.files.readDumpFile(dir.file("Set.MID"));
        dump.assign(writer.files.dumpBytes.begin(), writer.files.dumpBytes.begin() + count);
    }
    void writeDump(const std::vector<std::vector<std::int32_t>>& messages)
    {
        DumpDecodingTest::writeDump(dir.file("Set.MID"), messages);
    }
    std::vector<std::int32_t> dumpPart(int fromPreset, int toPreset) const
    {
        return { dump.begin() + fromPreset * 68, dump.begin() + toPreset * 68 };
    }
};

const std::vector<std::int32_t> kSystemOn { 0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7 };

TEST_F(LoadRulesTest, ForeignSysExBesideThePresetsIsSkippedAndCounted)
{
    auto cut = dataMessage(9, 0);
    cut.resize(30); // this device's message, cut short
    const std::vector<std::tuple<const char*, std::vector<std::vector<std::int32_t>>, const char*>>
        cases {
            { "System On before a full dump", { kSystemOn, dump }, "1 message of other devices" },
            { "between presets", { dumpPart(0, 64), kSystemOn, kSystemOn, dumpPart(64, 128) },
                "2 messages of other devices" },
            { "a damaged message", { dumpPart(0, 100), cut, dumpPart(100, 128) },
                "1 damaged message skipped" },
        };
    for (const auto& [what, messages, note] : cases) {
        writeDump(messages);
        Reader r(driver);
        const LoadResult result = r.files.loadAllPresets(dir.file("Set.MID"));
        ASSERT_TRUE(result) << what << ": " << result.reason;
        EXPECT_EQ(r.bank.presets, source.presets) << what;
        EXPECT_NE(result.note.find(note), std::string::npos) << what << ": " << result.note;
    }
}

TEST_F(LoadRulesTest, AFileCutShortLoadsWhatItHoldsAndSaysTheRestIsMissing)
{
    const std::string path = dir.file("Set.MID");
    writeDump({ dump });
    Reader whole(driver);
    EXPECT_EQ(whole.files.loadAllPresets(path).note, "");
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    Reader r(driver);
    const LoadResult result = r.files.loadAllPresets(path);
    ASSERT_TRUE(result) << result.reason;
    EXPECT_EQ(result.note,
        path + ": the file is cut short: the presets it held after the cut are missing");
    EXPECT_EQ(r.bank.presets[0], source.presets[0]);
}

TEST_F(LoadRulesTest, RefusedLoadsChangeNothingAndSayWhy)
{
    const std::string path = dir.file("Set.MID");
    const std::vector<std::tuple<const char*, std::function<void()>, std::string>> cases {
        { "foreign messages only",
            [&] {
                writeDump({ kSystemOn, kSystemOn });
            },
            path + " holds no presets for this device" },
        { "no SysEx", [&] { writeDump({}); }, path + " holds no presets for this device" },
        { "not a MIDI file", [&] { test::writeFile(path, "RIFF....RMIDdata"); },
            path + " is not a standard MIDI file" },
        { "missing", [&] { std::filesystem::remove(path); }, path + ": cannot open the file" },
        { "knob names too large",
            [&] { std::filesystem::resize_file(dir.file("Set.CFG"), kMaxKnobNameFileSize + 1); },
            dir.file("Set.CFG") + ": " + std::to_string(kMaxKnobNameFileSize + 1)
                + " bytes, more than a knob-name file holds (at most "
                + std::to_string(kMaxKnobNameFileSize) + ")" },
        { "descriptions too large",
            [&] { std::filesystem::resize_file(dir.file("Set.NTS"), kMaxDescriptionFileSize + 1); },
            dir.file("Set.NTS") + ": " + std::to_string(kMaxDescriptionFileSize + 1)
                + " bytes, more than a description file holds (at most "
                + std::to_string(kMaxDescriptionFileSize) + ")" },
    };
    for (const auto& [what, damage, reason] : cases) {
        SetUp();
        damage();
        Reader r(driver);
        r.bank.presets = source.presets; // names and descriptions that must survive
        r.bank.presets[4].fixedParameter[3] = 99;
        const PresetBank before = r.bank;
        r.files.lastFileBase = "earlier";
        const std::vector<std::pair<const char*, LoadResult>> loads {
            { "all", r.files.loadAllPresets(path) },
            { "single", r.files.loadSinglePreset(path, 4) },
            { "banks", r.files.loadBanks(path, 126) },
        };
        for (const auto& [command, result] : loads) {
            EXPECT_FALSE(result) << what << ", " << command;
            EXPECT_EQ(result.reason, reason) << what << ", " << command;
        }
        EXPECT_EQ(r.bank.presets, before.presets) << what;
        EXPECT_EQ(r.files.lastFileBase, "earlier") << what;
    }
}

// --- Damaged files ----------------------------------------------------------------

TEST_F(DumpDecodingTest, DamagedOrMissingSideFiles)
{
    const std::string path = dir.file("Bad.NTS");
    // A damaged file changes nothing; one that is not ours at all clears the targets.
    const std::tuple<const char*, std::string, bool> cases[] = {
        { "negative length", notesFile({ { 3, "abc" }, { -5, "" } }), false },
        { "length past the end", notesFile({ { 3, "abc" }, { 9999, "xy" } }), false },
        { "huge record count", notesFile({ { 3, "abc" }, { 2, "de" } }, 0x7FFFFFFF), false },
        { "negative record count", notesFile({}, -2), false },
        { "cut in a length", notesFile({ { 3, "abc" } }, 2) + "\x02", false },
        { "foreign header", notesFile({ { 1, "a" }, { 1, "b" } }, 2, "zembraX Editor"), true },
        { "header length too long", notesFile({}, 2, "zembraC Editor", 100000), true },
        { "negative header length", notesFile({}, 2, "zembraC Editor", -14), true },
        { "empty file", "", true }, { "three bytes", "\x01\x00\x00", true }
    };
    for (const auto& [what, bytes, cleared] : cases) {
        for (Preset& p : bank.presets)
            p.description = "kept";
        test::writeFile(path, bytes);
        EXPECT_FALSE(files.loadDescriptions(path, 2, 127)) << what;
        EXPECT_EQ(bank.presets[127].description, cleared ? "" : "kept") << what;
        EXPECT_EQ(bank.presets[0].description, cleared ? "" : "kept") << what;
        EXPECT_EQ(bank.presets[1].description, "kept") << what;
    }
    // A garbled or missing names file gives the default names of each load.
    test::writeFile(dir.file("Odd.CFG"), std::string("\x00\xFF[1\r\nN\r\n=\r\n[2]\nN=Two\n[", 24));
    files.loadKnobNames(dir.file("Odd.cfg"));
    EXPECT_EQ(std::tuple(bank.presets[0].name, bank.presets[1].name, bank.presets[1].knobName[0]),
        std::tuple("Preset 1", "Two", "Knob 1"));
    files.loadKnobNames(dir.file("Nothing.cfg"), 40);
    EXPECT_EQ(bank.presets[40].name, "Preset 41");
    files.loadKnobNames(dir.file("Nothing.cfg"), 126, 4);
    EXPECT_EQ(bank.presets[126].name, "Preset 1");
    EXPECT_EQ(bank.presets[1].name, "Preset 4");
}

TEST_F(DumpDecodingTest, DamagedDumpFilesAreRefusedWithoutHarm)
{
    ASSERT_TRUE(files.saveAllPresets(dir.file("Good.MID")).ok());
    const std::string good = test::readFile(dir.file("Good.MID"));
    // 186 data messages: 12648 SysEx bytes, more than a dump may hold. Written
    // through the toolkit directly, since the editor never writes such a file.
    std::vector<std::vector<std::int32_t>> many;
    for (int m = 0; m < 186; ++m)
        many.push_back(dataMessage(m % 128, m));
    writeDump(dir.file("Big.MID"), many);

    // what, bytes, whether it must be refused (otherwise either outcome, but never harm)
    std::vector<std::tuple<std::string, std::string, bool>> corpus { { "empty", "", true },
        { "text", "this is not a MIDI file at all\r\n", true },
        { "too many SysEx bytes", test::readFile(dir.file("Big.MID")), true },
        { "header only", good.substr(0, 14), false },
        { "cut in the track", good.substr(0, good.size() / 2), false },
        { "cut at the last byte", good.substr(0, good.size() - 1), false } };
    std::string bad = good;
    bad[18] = '\x7F'; // track chunk length far beyond the file
    corpus.push_back({ "track length too long", bad, false });
    bad = good;
    bad[11] = '\x40'; // 64 tracks announced, one present
    corpus.push_back({ "too many tracks announced", bad, false });
    bad[10] = bad[11] = '\xFF';
    corpus.push_back({ "65535 tracks announced", bad, false });
    std::mt19937 random(1234);
    for (int n = 0; n < 20; ++n) {
        std::string noisy = good;
        for (int i = 0; i < 12; ++i)
            noisy[random() % noisy.size()] = static_cast<char>(random() & 0xFF);
        corpus.push_back({ "noise " + std::to_string(n), noisy, false });
    }
    std::string garbage(5000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random() & 0xFF);
    corpus.push_back({ "random bytes", "MThd" + garbage, false });

    // One byte over the largest dump file: refused from its size, unread.
    const std::string huge = dir.file("Huge.MID");
    test::writeFile(huge, good + std::string(kMaxDumpFileSize + 1 - good.size(), '\xF0'));
    EXPECT_EQ(files.readDumpFile(huge), -1);
    EXPECT_EQ(files.lastReadError(),
        huge + " is not a preset file: " + std::to_string(kMaxDumpFileSize + 1)
            + " bytes of SysEx, at most " + std::to_string(kMaxDumpFileSize));

    for (const auto& [what, bytes, refused] : corpus) {
        test::writeFile(dir.file("Bad.MID"), bytes);
        Reader r(driver);
        const LoadResult result = r.files.loadAllPresets(dir.file("Bad.MID"));
        if (refused) {
            EXPECT_FALSE(result) << what;
            EXPECT_TRUE(r.files.lastFileBase.empty()) << what;
        }
        if (!result) {
            EXPECT_FALSE(result.reason.empty()) << what;
            EXPECT_EQ(r.bank.presets, PresetBank().presets) << what;
        }
        EXPECT_FALSE(r.smf.IsOpen()) << what;
    }
}

} // namespace
