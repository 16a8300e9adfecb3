// The editor side (protocol + toolkit + libmididrv.so) against a running
// zembra-sim process, over a JACK dummy server started for this test.

#include "fakes.h"
#include "midi/midi_driver.h"
#include "midi/toolkit_ports.h"
#include "protocol/device_sync.h"
#include "storage/temp_dir.h"

#include <gtest/gtest.h>

#if defined(KESTROW_HAVE_JACK)
#include "jack_rig.h"
#endif

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <poll.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kestrow {
namespace {

    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;

    const std::string kSim = std::string("'") + KESTROW_ZEMBRA_SIM + "'";

    /// Runs `command` through the shell to its end: its exit code and output.
    std::pair<int, std::string> run(const std::string& command)
    {
        std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
        std::string output;
        for (int c; pipe && (c = std::fgetc(pipe)) != EOF;)
            output += static_cast<char>(c);
        const int status = pipe ? ::pclose(pipe) : -1;
        return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, output };
    }

#if defined(KESTROW_HAVE_JACK)
    using testing::Background;
    using testing::readAll;

    /// Position of the first name containing `text`; the size when none does.
    int listed(const std::vector<std::string>& names, const std::string& text)
    {
        return static_cast<int>(std::ranges::find_if(names, [&](const auto& n) {
            return n.find(text) != n.npos;
        }) - names.begin());
    }

    /// zembra-sim processes on the test's JACK server, and the editor's side
    /// over the toolkit and the real library.
    class TransportEndToEnd : public testing::JackServerTest {
    protected:
        /// `zembra-sim --name NAME OPTIONS`, once it is on JACK.
        std::unique_ptr<Background> startSim(
            const std::string& name, const std::string& options = "")
        {
            auto sim = std::make_unique<Background>(kSim + " --name " + name + " " + options,
                temp.path() / (name + "." + std::to_string(++m_sims) + ".log"));
            EXPECT_TRUE(sim->waitForOutput("on JACK", 10s)) << sim->output();
            return sim;
        }

        /// Loads the driver (it lists devices once, so only now) and chooses
        /// the ports named `name`, after `first`; false when they are not listed.
        bool connect(
            const std::string& name, const std::function<void()>& first = [] {})
        {
            setDefaultMidiDispatcher(&dispatcher);
            driver.emplace();
            auto& r = m_rig.emplace(*driver, dispatcher);
            const auto outputs = r.link.outputNames();
            const auto inputs = r.link.inputNames();
            r.settings.setPortNames(outputs, inputs);
            r.link.onInput = [&r](const MidiEvent& e) { r.protocol.replyCollector(e); };
            first();
            r.protocol.chooseOutput(listed(outputs, name));
            r.protocol.chooseInput(listed(inputs, name));
            return listed(outputs, name) < std::ssize(outputs)
                && listed(inputs, name) < std::ssize(inputs);
        }

        /// The window's loop in real time until `until`, for up to `span`: every
        /// timer at its deadline and, given the port change descriptor, the
        /// lists read again a moment after a change (the window sleeps on it).
        bool drive(milliseconds span, const std::function<bool()>& until, int changes = -1)
        {
            Clock::time_point settleAt = Clock::time_point::max();
            for (const auto end = Clock::now() + span; Clock::now() < end && !until();) {
                pollfd ready { changes, POLLIN, 0 };
                if (::poll(&ready, 1, 2) > 0) {
                    m_rig->link.changeCount();
                    settleAt = std::min(settleAt, Clock::now() + 100ms);
                }
                if (Clock::now() >= settleAt) {
                    settleAt = Clock::time_point::max();
                    m_rig->watch.refresh(m_rig->link, Clock::now());
                }
                dispatcher.pump();
                m_rig->tickAll(Clock::now());
            }
            return until();
        }

        /// Whether the last status line shown holds `text`.
        bool lastStatusHas(const std::string& text) const
        {
            const std::vector<std::string>& statuses = m_rig->host.statuses;
            return !statuses.empty() && statuses.back().find(text) != std::string::npos;
        }

        void TearDown() override
        {
            if (m_rig)
                m_rig->link.closeInput();
            setDefaultMidiDispatcher(nullptr);
        }

        const test::TempDir temp;
        ManualDispatcher dispatcher;
        std::optional<TMidiDriver> driver;
        std::optional<testing::Rig<ToolkitMidiPorts>> m_rig;

    private:
        int m_sims = 0;
    };
#endif

    TEST(ZembraSimProgram, BadOptionsOrNoMidiSystemGiveOneLineAndExitCode2)
    {
        ::setenv(
            "JACK_DEFAULT_SERVER", ("kestrow-absent-" + std::to_string(::getpid())).c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        std::vector<std::pair<std::string, std::string>> cases {
            { "--bogus", "unknown option '--bogus'" }, { "--variant piano", "not 'piano'" },
            { "--variant", "needs a value" }, { "--version 1.200", "MAJOR.MINOR" },
            { "--version 112", "MAJOR.MINOR" }, { "--name ''", "must not be empty" }
        };
        if (::access("/dev/snd/seq", R_OK | W_OK) != 0) // no JACK server and no ALSA sequencer
            cases.emplace_back("--variant fader", "no MIDI system");
        for (const auto& [arguments, reason] : cases) {
            const auto [code, text] = run(kSim + " " + arguments);
            EXPECT_EQ(code, 2) << arguments;
            EXPECT_EQ(text.rfind("zembra-sim: ", 0), 0u) << text;
            EXPECT_NE(text.find(reason), std::string::npos) << text;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        }
    }

#if defined(KESTROW_HAVE_JACK)
    // The protocol's flow against the emulator is the in-process flow test's; over
    // JACK the CLI's test below carries whole sets both ways.
    TEST_F(TransportEndToEnd, PortChangesAndLossesIdleOrMidTransferAreToldAndTheDeviceIsFoundByName)
    {
        const std::string nameA = "zPlugA-" + tag, nameB = "zPlugB-" + tag;
        auto simA = startSim(nameA, "--device-version 1.12");
        ASSERT_TRUE(connect(nameA, [&] { m_rig->watch.setNotifications(true); }));
        testing::Rig<ToolkitMidiPorts>& rig = *m_rig;
        const int changes = rig.link.changeDescriptor();
        ASSERT_GE(changes, 0) << "no port change notifications from JACK";
        // As the window does: idle, it runs no timer (replies to the queries at open aside).
        const auto idle = [&](milliseconds span, const std::function<bool()>& until) {
            return drive(span, until, changes);
        };
        ASSERT_TRUE(idle(5s, [&] { return rig.host.settingsChanges >= 2; }));
        EXPECT_EQ(rig.settings.versionText, "1.12");
        const std::string chosen = rig.settings.outputList()[rig.settings.selectedOutput];

        // A device plugged in is listed; the chosen one stays chosen by name.
        auto simB = startSim(nameB);
        EXPECT_TRUE(idle(3s, [&] {
            return listed(rig.settings.inputList(), nameB) < rig.settings.inputDeviceCount();
        }));
        EXPECT_EQ(rig.settings.outputList()[rig.settings.selectedOutput], chosen);

        rig.host.statuses.clear();
        simA->stop();
        ASSERT_TRUE(idle(5s, [&] { return lastStatusHas("gone"); }))
            << ::testing::PrintToString(rig.host.statuses);
        EXPECT_TRUE(lastStatusHas(nameA));
        EXPECT_FALSE(rig.protocol.timerEnabled(ProtocolTimer::Timer5)) << "polls while idle";
        EXPECT_EQ(rig.settings.outputList()[rig.settings.selectedOutput], chosen);

        rig.host.statuses.clear();
        simA = startSim(nameA);
        const std::string chosenInput = rig.settings.inputList()[rig.settings.selectedInput];
        ASSERT_TRUE(idle(10s, [&] {
            auto back = [&](const std::string& port) {
                return std::ranges::any_of(rig.host.statuses, [&](const std::string& s) {
                    return s.find("\"" + port + "\"") != std::string::npos
                        && (s.ends_with(" is back") || s.ends_with(" are back"));
                });
            };
            return back(chosen) && back(chosenInput);
        })) << ::testing::PrintToString(rig.host.statuses);
        rig.protocol.sendProgramChange(9);
        EXPECT_TRUE(simA->waitForOutput("in  C0 09", 2000ms)) << simA->output();
        EXPECT_EQ(simB->output().find("C0 09"), std::string::npos);

        // Without notifications the ports are looked for while a transfer runs:
        // the device goes in the middle of "Send All Presets".
        rig.watch.setNotifications(false);
        rig.protocol.setDelayText("20");
        ASSERT_FALSE(rig.protocol.sendAllPresets().abandon());
        ASSERT_TRUE(drive(5s, [&] { return rig.protocol.sendPosition() > 10 * 68; }));
        simA->stop();
        // How soon is the in-process test's, on its own clock.
        ASSERT_TRUE(drive(5s, [&] { return lastStatusHas("gone"); })) << rig.host.statuses.back();
        EXPECT_TRUE(lastStatusHas(nameA));
        EXPECT_FALSE(rig.protocol.timerEnabled(ProtocolTimer::Timer1));

        // It comes back after the other device once more. "Get Preset" reaches it by name.
        simA = startSim(nameA);
        rig.host.refreshed.clear();
        rig.bank.selectedPreset = 5;
        ASSERT_FALSE(rig.protocol.getPreset().abandon());
        EXPECT_TRUE(drive(5s, [&] { return !rig.host.refreshed.empty(); })) << "no reply";
        // The emulator may answer before its log line is written.
        EXPECT_TRUE(simA->waitForOutput("in  F0 00 20 20 14 00 26 05", 2000ms)) << simA->output();
        EXPECT_EQ(simB->output().find(" 26 05"), std::string::npos) << simB->output();
    }

    /// Writes a zembraDial set as a .syx file: every preset's init values and
    /// data, each value from `random`, presets `changed` given other values.
    void writeSyx(const std::filesystem::path& path, unsigned seed, std::set<int> changed = {})
    {
        std::mt19937 random(seed);
        std::ofstream out(path, std::ios::binary);
        for (int p = 0; p < kPresetCount; ++p) {
            Preset preset;
            for (auto* column :
                { &preset.channel, &preset.eventType, &preset.fixedParameter, &preset.initValue })
                for (auto& value : *column)
                    value = static_cast<std::int32_t>(
                        random() % (column == &preset.channel ? 17 : 128));
            if (changed.count(p) > 0)
                preset.eventType[4] = (preset.eventType[4] + 1) % 128;
            for (const DumpFrame& frame :
                { initValuesFrame(preset, p), presetDataFrame(preset, p) })
                for (std::uint8_t b : frame.bytes())
                    out.put(static_cast<char>(b));
        }
    }

    TEST_F(TransportEndToEnd, CliBackupIsByteIdenticalAndSendAndVerifyFindExactlyTheChanges)
    {
        const std::string name = "zCli" + tag;
        auto sim = startSim(name, "--variant dial");

        const std::string cli = std::string("'") + KESTROW_CLI + "' ";
        const std::string port = " --port " + name + " --delay 2";
        auto file = [&](const std::string& leaf) { return "'" + temp.file(leaf) + "'"; };
        writeSyx(temp.file("set.syx"), 11);
        writeSyx(temp.file("changed.syx"), 11, { 2, 77 });
        for (const std::string set : { "set", "changed" }) {
            const std::string files = file(set + ".syx") + " " + file(set + ".MID");
            ASSERT_EQ(run(cli + "import " + files + " --dial").first, 0);
        }

        const std::pair<int, std::string> got128 { 0, "Got 128 of 128 presets from the device.\n" };
        ASSERT_EQ(run(cli + "send " + file("set.MID") + port),
            std::pair(0, std::string("Sent presets 1-128\n")));
        ASSERT_EQ(run(cli + "backup " + file("backup.MID") + port + " --dial"), got128);
        EXPECT_EQ(readAll(temp.file("backup.MID")), readAll(temp.file("set.MID")));
        EXPECT_EQ(readAll(temp.file("backup.CFG")), readAll(temp.file("set.CFG")));

        const auto differs = run(cli + "verify " + file("changed.MID") + port);
        EXPECT_EQ(differs.first, 1);
        EXPECT_NE(differs.second.find("126 match, 2 differ"), std::string::npos) << differs.second;
        EXPECT_NE(differs.second.find("preset 3 / knob 5 event: "), std::string::npos);
        EXPECT_NE(differs.second.find("preset 78 / knob 5 event: "), std::string::npos);

        const auto dataMessages = [&, data = std::string("in  F0 00 20 20 14 00 20")] {
            const std::string log = sim->output();
            std::size_t count = 0;
            for (auto at = log.find(data); at != log.npos; at = log.find(data, at + 1))
                ++count;
            return count;
        };
        const std::size_t before = dataMessages();
        EXPECT_EQ(run(cli + "send " + file("changed.MID") + port + " --presets 3,78 --verify"),
            std::pair(0, std::string("Sent presets 3, 78\nSent and verified 2 presets\n")));
        EXPECT_TRUE(sim->waitForOutput("in  C0 02", 2000ms)) << "no Program Change";
        EXPECT_EQ(dataMessages() - before, 2u);
        EXPECT_EQ(run(cli + "verify " + file("changed.MID") + port).first, 0);
        sim.reset();

        // A link that loses messages each way: the send is read back and
        // sent again where it must, and the backup asks again for what is missing.
        const std::string lossy = "zLossy" + tag;
        sim = startSim(lossy, "--variant dial --loss-in 5 --loss-out 5 --seed 7");
        const std::string lossyPort = " --port " + lossy + " --delay 2";
        const auto proven = run(cli + "send " + file("set.MID") + lossyPort + " --verify");
        EXPECT_EQ(proven,
            std::pair(0, std::string("Sent presets 1-128\nSent and verified 128 presets\n")));
        EXPECT_EQ(run(cli + "backup " + file("lossy.MID") + lossyPort + " --dial"), got128);
        EXPECT_EQ(readAll(temp.file("lossy.MID")), readAll(temp.file("set.MID")));
        EXPECT_NE(sim->output().find("lost"), std::string::npos) << "nothing was lost";
        sim.reset();

        // A device that needs 30 ms per message: the Delay found by read-back lies
        // above the wire time and below 200 ms (pacing overhead may let < 30 do).
        const std::string slow = "zSlow" + tag;
        sim = startSim(slow, "--variant dial --message-time 30");
        const auto fast = run(cli + "send " + file("changed.MID") + " --port " + slow
            + " --delay auto --verify --presets 1-4");
        EXPECT_EQ(fast.first, 0) << fast.second;
        const std::string found = "The fastest Delay the device keeps up with is ";
        const std::size_t at = fast.second.find(found);
        ASSERT_NE(at, std::string::npos) << fast.second;
        const int delay = std::atoi(fast.second.c_str() + at + found.size());
        EXPECT_TRUE(delay > kWireTimeDelay && delay < 200) << fast.second;
        EXPECT_NE(fast.second.find("Sent and verified 4 presets"), std::string::npos)
            << fast.second;
        EXPECT_NE(sim->output().find("busy"), std::string::npos) << "no probe was too fast";
        sim.reset();
    }

    TEST_F(TransportEndToEnd, ZembraSimStopsPromptlyAndSavesItsStateUnderAFloodWithItsOutputUnread)
    {
        const auto state = temp.path() / "state";
        const std::string name = "zFlood-" + tag;

        // Its output goes into a pipe nobody reads until it has ended.
        const auto unread = temp.path() / "fifo";
        ASSERT_EQ(::mkfifo(unread.c_str(), 0600), 0);
        const int reader = ::open(unread.c_str(), O_RDONLY | O_NONBLOCK);
        Background sim(kSim + " --name " + name + " --state '" + state.string() + "'",
            temp.path() / "err", unread);

        // Program Change 42 on the master channel, which the device also echoes.
        testing::JackFlood flood("kestrow-flooder-" + tag, { 0xC0, 0x2A }, 32);
        ASSERT_TRUE(flood.ok());
        bool connected = false;
        for (const auto end = Clock::now() + 10s; !connected && Clock::now() < end;
             std::this_thread::sleep_for(50ms))
            connected = flood.connectTo(name);
        ASSERT_TRUE(connected) << "the emulator's input did not appear";
        // Far more log than the pipe and the log queue hold (some 40,000 lines);
        // counted rather than timed, since a loaded machine runs fewer cycles.
        for (const auto end = Clock::now() + 30s; flood.sent() < 150000 && Clock::now() < end;)
            std::this_thread::sleep_for(50ms);

        const auto stopAt = Clock::now();
        const int exitCode = sim.stop(); // -1 if still running 5 s after SIGTERM
        const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - stopAt);
        ::close(reader);
        const std::string errorText = sim.output();
        std::cout << "flood of " << flood.sent() << " messages; stopped in " << took.count()
                  << " ms; stderr: " << errorText;

        EXPECT_EQ(exitCode, 0);
        EXPECT_NE(errorText.find(" log lines dropped"), std::string::npos) << errorText;
        sim::ZembraDevice device;
        EXPECT_TRUE(device.loadState(state));
        EXPECT_EQ(device.currentProgram(), 42);
    }
#endif

} // namespace
} // namespace kestrow
