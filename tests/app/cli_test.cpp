#include "core/catalogue.h"
#include "core/listings.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/preset_files.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/wait.h>

namespace kestrow {
namespace {

    struct CliRun {
        int exitCode = -1;
        std::string out;
        std::string err;
    };

    std::string quoted(const std::string& text)
    {
        std::string out = "'";
        for (char c : text)
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }

    class CliTest : public ::testing::Test {
    protected:
        test::TempDir dir;

        CliRun cli(const std::vector<std::string>& args)
        {
            std::string command = quoted(KESTROW_CLI);
            for (const std::string& a : args)
                command += " " + quoted(a);
            command += " >" + quoted(dir.file("stdout")) + " 2>" + quoted(dir.file("stderr"));
            const int status = std::system(command.c_str());
            CliRun run;
            run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            run.out = test::readFile(dir.file("stdout"));
            run.err = test::readFile(dir.file("stderr"));
            return run;
        }

        /// A raw SysEx dump: preset data messages (with init values when asked)
        /// for the given presets; knob 1 sends NoteOn 60, the others the
        /// preset's number as controller.
        std::string sysex(const std::vector<int>& presets, bool withInit)
        {
            std::string out;
            for (int p : presets) {
                const std::string head = std::string("\xF0\x00\x20\x20\x14\x00", 6);
                std::string init(16, '\0'), data(48, '\0');
                for (std::size_t k = 0; k < 16; ++k)
                    std::tie(init[k], data[k], data[16 + k], data[32 + k])
                        = std::tuple(100 + k % 8, k + 1, k == 0 ? 5 : 0, k == 0 ? 60 : p);
                const std::string preset { static_cast<char>(p), '\0' };
                out += (withInit ? head + '\x21' + preset + init + '\xF7' : "") + head + '\x20'
                    + preset + data + '\xF7' + head + '\x30' + preset + '\xF7';
            }
            return out;
        }

        static std::vector<std::string> lines(const std::string& text)
        {
            std::vector<std::string> out;
            std::istringstream in(text);
            for (std::string line; std::getline(in, line);)
                out.push_back(line);
            return out;
        }
    };

    TEST_F(CliTest, ImportThenListShowsTheDisplayListingAndSendGoesToTheEmulatorInTheDriver)
    {
        test::writeFile(dir.file("in.syx"), sysex({ 0, 6 }, false));
        const CliRun imported = cli({ "import", dir.file("in.syx"), dir.file("Set.MID") });
        ASSERT_EQ(imported.exitCode, 0) << imported.err;
        EXPECT_TRUE(std::filesystem::exists(dir.file("Set.CFG")));
        EXPECT_FALSE(std::filesystem::exists(dir.file("Set.NTS"))); // no descriptions

        // A name typed in the editor, as Windows-1252, comes out as UTF-8.
        test::writeFile(dir.file("Set.CFG"), "[2]\r\nN=Caf\xE9 \x80\r\n");
        const CliRun listed = cli({ "list", dir.file("Set.MID") });
        ASSERT_EQ(listed.exitCode, 0) << listed.err;
        const std::vector<std::string> out = lines(listed.out);
        ASSERT_EQ(out.size(), 128u * 19u);
        EXPECT_EQ(out[0], "1  : Preset 1");
        EXPECT_EQ(out[19], "2  : Caf\u00E9 \u20AC");
        // Presets the file does not hold keep their creation values.
        EXPECT_NE(out[2 * 19 + 2].find("No-Event"), std::string::npos);

        // The listing the editor builds of preset 7: knob 1 on NoteOn 60, the
        // others on the file's preset number as controller.
        Preset seventh = PresetBank().presets[6];
        seventh.name = "Preset 7";
        for (int k = 0; k < 16; ++k) {
            seventh.knobName[k] = "Knob " + std::to_string(k + 1);
            seventh.eventType[k] = k == 0 ? 5 : 0;
            seventh.fixedParameter[k] = k == 0 ? 60 : 6;
        }
        EXPECT_EQ(std::vector(out.begin() + 6 * 19, out.begin() + 7 * 19),
            parameterListing(Catalogue(), seventh, 6));

        const CliRun c2 = cli({ "list", "--notes-c2", dir.file("Set.MID") });
        ASSERT_EQ(c2.exitCode, 0);
        EXPECT_NE(lines(c2.out)[6 * 19 + 2].find(" 60:  C  3"), std::string::npos);

        const CliRun names = cli({ "list", dir.file("Set.MID"), "--names" });
        ASSERT_EQ(names.exitCode, 0);
        const std::vector<std::string> nameLines = lines(names.out);
        ASSERT_EQ(nameLines.size(), 128u * 11u);
        EXPECT_EQ(nameLines[11], "2  : Caf\u00E9 \u20AC"); // the lines are the listing's test

        const CliRun ports = cli({ "ports" });
        ASSERT_EQ(ports.exitCode, 0) << ports.err;
        EXPECT_NE(ports.out.find("output  zembra Emulator\n"), std::string::npos) << ports.out;
        EXPECT_NE(ports.out.find("input   zembra Emulator\n"), std::string::npos) << ports.out;

        // The emulator keeps what it took only while the program runs: send and verify in one go.
        const CliRun absent
            = cli({ "send", dir.file("Set.MID"), "--port", "zembra Emulator", "--presets", "1-3" });
        EXPECT_EQ(absent.exitCode, 2);
        EXPECT_EQ(absent.err, "kestrow-cli: " + dir.file("Set.MID") + " holds no preset 2, 3\n");
        const CliRun sent = cli({ "send", dir.file("Set.MID"), "--port", "zembra Emulator",
            "--delay", "1", "--presets", "7,1", "--verify" });
        EXPECT_EQ(sent.exitCode, 0) << sent.err;
        EXPECT_EQ(sent.out, "Sent presets 1, 7\nSent and verified 2 presets\n");
    }

    TEST_F(CliTest, ExportGivesBackTheImportedSysEx)
    {
        for (bool dial : { false, true }) {
            const std::string raw = sysex({ 3, 64, 127 }, dial);
            test::writeFile(dir.file("in.syx"), raw);
            std::vector<std::string> args { "import", dir.file("in.syx"), dir.file("Set.MID") };
            if (dial)
                args.push_back("--dial");
            ASSERT_EQ(cli(args).exitCode, 0);
            const CliRun exported = cli({ "export", dir.file("Set.MID"), dir.file("out.syx") });
            ASSERT_EQ(exported.exitCode, 0) << exported.err;
            EXPECT_EQ(test::readFile(dir.file("out.syx")), raw) << (dial ? "dial" : "control");
            std::filesystem::remove(dir.file("Set.MID.BAK"));
            std::filesystem::remove(dir.file("Set.CFG.BAK"));
        }
        // A capture of a live zembraDial send has no trailers.
        std::string live;
        for (int p : { 3, 64 }) {
            const std::string one = sysex({ p }, true);
            live += one.substr(0, one.size() - 10);
        }
        test::writeFile(dir.file("live.syx"), live);
        const CliRun fromLive
            = cli({ "import", dir.file("live.syx"), dir.file("Live.MID"), "--dial" });
        ASSERT_EQ(fromLive.exitCode, 0) << fromLive.err;
        ASSERT_EQ(cli({ "export", dir.file("Live.MID"), dir.file("live-out.syx") }).exitCode, 0);
        EXPECT_EQ(test::readFile(dir.file("live-out.syx")), sysex({ 3, 64 }, true));

        // Init values make a zembraDial's file even without --dial; a value
        // byte above 7F comes back as its low 7 bits, never as a status byte.
        std::string damaged = sysex({ 3 }, true);
        damaged[26 + 9] = '\x85';
        test::writeFile(dir.file("in.syx"), damaged);
        ASSERT_EQ(cli({ "import", dir.file("in.syx"), dir.file("Plain.MID") }).exitCode, 0);
        ASSERT_EQ(cli({ "export", dir.file("Plain.MID"), dir.file("plain.syx") }).exitCode, 0);
        std::string expected = sysex({ 3 }, true);
        expected[26 + 9] = '\x05';
        EXPECT_EQ(test::readFile(dir.file("plain.syx")), expected);
    }

    TEST_F(CliTest, BadInputGetsOneLineAndExitCodeTwo)
    {
        test::writeFile(dir.file("junk.MID"), "not a MIDI file");
        test::writeFile(dir.file("good.syx"), sysex({ 1 }, false));
        test::writeFile(dir.file("foreign.syx"), "\xF0\x43\x10\x4C\x00\x00\x7E\x00\xF7");
        test::writeFile(dir.file("cut.syx"), sysex({ 1 }, false).substr(0, 40));
        test::writeFile(dir.file("tail.syx"), sysex({ 1 }, false) + "\xF0\x43\xF7");
        const std::vector<std::vector<std::string>> cases {
            {},
            { "frobnicate" },
            { "list" },
            { "list", dir.file("missing.MID") },
            { "list", dir.file("junk.MID") },
            { "list", dir.file("good.syx") },
            { "list", dir.file("junk.MID"), "--verbose" },
            { "export", dir.file("junk.MID") },
            { "export", dir.file("missing.MID"), dir.file("out.syx") },
            { "import", dir.file("good.syx"), dir.file("Out.txt") },
            { "import", dir.file("missing.syx"), dir.file("Out.MID") },
            { "import", dir.file("foreign.syx"), dir.file("Out.MID") },
            { "import", dir.file("cut.syx"), dir.file("Out.MID") },
            { "import", dir.file("good.syx"), dir.file("Out.MID"), "--dail" },
            { "find", KESTROW_FACTORY_SET },
            { "find", KESTROW_FACTORY_SET, "--param", "128" },
            { "find", KESTROW_FACTORY_SET, "--param", "7x" },
            { "find", KESTROW_FACTORY_SET, "--param", "3", "--param", "4" },
            { "find", KESTROW_FACTORY_SET, "--channel", "17" },
            { "find", KESTROW_FACTORY_SET, "--event", "Tuba" },
            { "find", KESTROW_FACTORY_SET, "--text", "" },
            { "find", KESTROW_FACTORY_SET, "--text" },
            { "find", dir.file("missing.MID"), "--param", "7" },
            { "check", KESTROW_FACTORY_SET, "--master", "0" },
            { "diff", KESTROW_FACTORY_SET },
            { "diff", KESTROW_FACTORY_SET, dir.file("junk.MID") },
            { "ports", "extra" },
            { "backup", dir.file("Out.MID") },
            { "backup", "--port", "zembra Emulator", dir.file("Out.txt") },
            { "backup", "--port", "zembra Emulator", dir.file("no/such/folder/Out.MID") },
            { "send", KESTROW_FACTORY_SET, "--port", "no such port" },
            { "send", KESTROW_FACTORY_SET, "--port", "zembra Emulator", "--delay", "0" },
            { "send", KESTROW_FACTORY_SET, "--port", "zembra Emulator", "--presets", "0" },
            { "send", KESTROW_FACTORY_SET, "--port", "zembra Emulator", "--presets", "4-2" },
            { "send", KESTROW_FACTORY_SET, "--port", "zembra Emulator", "--presets", "1,,2" },
            { "send", KESTROW_FACTORY_SET, "--port", "zembra Emulator", "--presets", "129" },
            { "verify", dir.file("missing.MID"), "--port", "zembra Emulator" },
        };
        for (const auto& args : cases) {
            std::string shown;
            for (const std::string& a : args)
                shown += a + " ";
            const CliRun run = cli(args);
            EXPECT_EQ(run.exitCode, 2) << shown;
            EXPECT_EQ(lines(run.err).size(), 1u) << shown << run.err;
            EXPECT_TRUE(run.out.empty()) << shown;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file("Out.MID")));
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.syx")));
        // Another device's message beside the presets is skipped, and said so.
        const CliRun tail = cli({ "import", dir.file("tail.syx"), dir.file("Tail.MID") });
        EXPECT_EQ(tail.exitCode, 0);
        EXPECT_EQ(tail.err, dir.file("tail.syx") + ": 1 message of other devices skipped\n");
        const CliRun unknown = cli({ "list", dir.file("junk.MID"), "--verbose" });
        EXPECT_EQ(lines(unknown.err).size(), 1u);
        EXPECT_NE(unknown.err.find("--verbose"), std::string::npos);
    }

    TEST_F(CliTest, FactorySetNamesEveryPresetAndFindCheckAndDiffReadItAndAChangedCopy)
    {
        const CliRun listed = cli({ "list", "--names", KESTROW_FACTORY_SET });
        ASSERT_EQ(listed.exitCode, 0) << listed.err;
        const std::vector<std::string> out = lines(listed.out);
        ASSERT_EQ(out.size(), 128u * 11u);
        for (int p = 0; p < 128; ++p) {
            const std::string& header = out[static_cast<std::size_t>(p) * 11];
            EXPECT_GT(header.size(), 5u) << "preset " << p + 1 << " has no name";
            EXPECT_EQ(header.find("Preset "), std::string::npos) << header;
        }
        const std::string factory = KESTROW_FACTORY_SET;
        // The factory set with a few changes, saved by the editor's storage code.
        const std::string changed = dir.file("Changed.MID");
        {
            TMidiDriver driver;
            TMidiSMF smf(&driver);
            PresetBank bank;
            const DeviceVariant dial = DeviceVariant::zembraDial;
            PresetFiles files(bank, smf, dial);
            ASSERT_TRUE(files.loadAllPresets(factory));
            bank.presets[0].name += " (mine)";
            bank.presets[0].knobName[2] = "Lautst\xE4rke 3";
            // Knob 16 of preset 16 sends channel 5's volume, as knob 2 does on master channel 5.
            bank.presets[15].channel[15] = 5;
            bank.presets[15].fixedParameter[15] = 7;
            for (std::size_t k : { 9, 10, 13, 14, 15 })
                bank.presets[46].channel[k] = 2; // no chord note twice on one channel
            ASSERT_TRUE(files.saveAllPresets(changed).ok());
        }
        const std::string volume = " / Controller, 7:Volume, channel 3";
        const std::string mine
            = "preset 1 \"GM Volume 1-16 (mine)\" / knob 3 \"Lautst\u00E4rke 3\"";
        const std::string chord = "preset 47 \"Chord Notes C F G Am\" / knobs ";
        std::vector<std::string> diff {
            "preset 1 / name: \"GM Volume 1-16\" | \"GM Volume 1-16 (mine)\"",
            "preset 1 / knob 3 name: \"Volume Ch 3\" | \"Lautst\u00E4rke 3\"",
            "preset 16 / knob 16 channel: \"Master\" | \" 5\"",
            "preset 16 / knob 16 fixed parameter: \"  2:Breath Control\" | \"  7:Volume\"",
        };
        for (int knob : { 10, 11, 14, 15, 16 })
            diff.push_back(
                "preset 47 / knob " + std::to_string(knob) + " channel: \" 1\" | \" 2\"");
        struct Case {
            std::vector<std::string> args;
            int exitCode;
            std::vector<std::string> out;
        };
        const Case cases[] = {
            { { "find", changed, "--text", "LAUTST\u00C4RKE" }, 0, { mine + volume } },
            { { "find", changed, "--event", "controller", "--param", "7", "--channel", "3" }, 0,
                { mine + volume, "preset 7 \"Mixer Ch 1-4\" / knob 9 \"Volume 3\"" + volume,
                    "preset 19 \"Synth Ch 3\" / knob 13 \"Volume\"" + volume,
                    "preset 89 \"Performance Ch 1-4\" / knob 9 \"Volume 3\"" + volume } },
            { { "find", factory, "--text", "cc 91" }, 0,
                { "preset 3 \"GM Reverb Send 1-16\" / description",
                    "preset 82 \"Effect Depths Ch 1-4\" / description",
                    "preset 116 \"Effect Depths Ch 5-8\" / description",
                    "preset 126 \"Relative Sends Ch 1-8\" / description" } },
            { { "find", factory, "--event", "No-Event" }, 1, {} },
            { { "check", factory }, 1,
                { chord + "1, 14 / NoteOn, 60:  C  4, channel 1",
                    chord + "2, 15 / NoteOn, 64:  E  4, channel 1",
                    chord + "3, 11 / NoteOn, 67:  G  4, channel 1",
                    chord + "5, 10 / NoteOn, 62:  D  4, channel 1",
                    chord + "7, 16 / NoteOn, 69:  A  4, channel 1" } },
            { { "check", changed }, 0, {} },
            { { "check", changed, "--master", "5" }, 1,
                { "preset 16 \"Master Channel Controls\" / knobs 2, 16 / Controller, 7:Volume, "
                  "channel Master" } },
            { { "diff", factory, factory }, 0, {} },
            { { "diff", factory, changed }, 1, diff },
            // Several sets: each result under its file; a folder is searched
            // below; a bad file is passed over and makes the status 2.
            { { "find", factory, changed, "--name", "MINE" }, 0,
                { changed + ":", "  preset 1 \"GM Volume 1-16 (mine)\"" } },
            { { "find", dir.path().string(), "--text", "Lautst\u00E4rke" }, 0,
                { changed + ":", "  " + mine + volume } },
            { { "check", dir.file("missing.MID"), changed, "--master", "5" }, 2,
                { changed + ":",
                    "  preset 16 \"Master Channel Controls\" / knobs 2, 16 / Controller, "
                    "7:Volume, channel Master" } },
        };
        for (const Case& c : cases) {
            const CliRun run = cli(c.args);
            EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << " " << c.args.back() << run.err;
            EXPECT_EQ(lines(run.out), c.out) << c.args[0] << " " << c.args.back();
        }
    }

} // namespace
} // namespace kestrow
