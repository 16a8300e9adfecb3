// The editor side (protocol + toolkit + libmididrv.so) against a running
// zembra-sim process, over a JACK dummy server started for this test.

#include "device_protocol.h"
#include "midi_driver.h"
#include "midi_in.h"
#include "midi_out.h"
#include "sim/zembra_device.h"

#include <gtest/gtest.h>

#if defined(KESTROW_HAVE_JACK)
#include <jack/jack.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrow {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// A child process with its stdout on a pipe; SIGTERM and a capped wait on destruction.
class Child {
public:
    Child(const std::vector<std::string>& argv, bool captureOutput)
    {
        int fds[2] = { -1, -1 };
        if (captureOutput && ::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(captureOutput ? fds[1] : null, 1);
            ::dup2(captureOutput ? fds[1] : null, 2);
            if (captureOutput) {
                ::close(fds[0]);
                ::close(fds[1]);
            }
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        if (captureOutput) {
            ::close(fds[1]);
            m_out = fds[0];
        }
    }
    ~Child()
    {
        stop(5s);
        if (m_out >= 0)
            ::close(m_out);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return m_pid > 0; }
    bool running()
    {
        if (m_pid <= 0)
            return false;
        int status = 0;
        pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            m_pid = -1;
            return false;
        }
        return true;
    }
    /// SIGTERM, wait up to `cap`, then SIGKILL; the exit code, -1 if killed.
    int stop(std::chrono::milliseconds cap)
    {
        if (m_pid <= 0)
            return m_exit;
        ::kill(m_pid, SIGTERM);
        const auto end = Clock::now() + cap;
        while (running() && Clock::now() < end)
            std::this_thread::sleep_for(20ms);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            m_exit = -1;
        }
        return m_exit;
    }
    /// Waits up to `cap` for the child to end by itself; its exit code, or
    /// -1 after a kill when it would not.
    int wait(std::chrono::milliseconds cap)
    {
        const auto end = Clock::now() + cap;
        while (running() && Clock::now() < end)
            std::this_thread::sleep_for(10ms);
        return stop(0ms);
    }
    /// Reads output until `text` appears or the cap passes.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds cap)
    {
        const auto end = Clock::now() + cap;
        while (m_output.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left <= 0ms || m_out < 0)
                return false;
            pollfd p { m_out, POLLIN, 0 };
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char buffer[4096];
            ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(m_out);
                m_out = -1;
                return false;
            }
            m_output.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_exit = -1;
    std::string m_output;
};

#if defined(KESTROW_HAVE_JACK)
void quietJack(const char*) { }
#endif

bool jackAnswers()
{
#if defined(KESTROW_HAVE_JACK)
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
    jack_status_t status {};
    jack_client_t* client = jack_client_open("kestrow-e2e-probe", JackNoStartServer, &status);
    if (!client)
        return false;
    jack_client_close(client);
    return true;
#else
    return false;
#endif
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "";
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(':', start);
        if (end == std::string::npos)
            end = rest.size();
        if (::access((rest.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

/// The ports as the main window will adapt them: one TMidiOut per output device, one TMidiIn.
class ToolkitLink : public DeviceLink {
public:
    ToolkitLink(TMidiDriver& driver, int outputs)
        : m_in(&driver)
    {
        for (int i = 0; i < outputs; ++i)
            m_outs.push_back(std::make_unique<TMidiOut>(&driver));
    }
    bool outputIsOpen(int device) const override { return m_outs.at(static_cast<std::size_t>(device))->IsOpen(); }
    bool openOutput(int device) override
    {
        return m_outs.at(static_cast<std::size_t>(device))->Open(static_cast<std::uint16_t>(device), 78624);
    }
    void put(int device, std::span<const MidiEvent> events) override
    {
        for (const MidiEvent& e : events)
            m_outs.at(static_cast<std::size_t>(device))->Put(&e);
    }
    void closeInput() override
    {
        if (m_in.IsOpen()) {
            m_in.Stop();
            m_in.Close();
        }
    }
    bool openInput(int device) override
    {
        if (!m_in.Open(static_cast<std::uint16_t>(device), 78624))
            return false;
        m_in.Start();
        return true;
    }
    TMidiIn& input() { return m_in; }

private:
    std::vector<std::unique_ptr<TMidiOut>> m_outs;
    TMidiIn m_in;
};

class RecordingHost : public ProtocolHost {
public:
    void setTimerEnabled(ProtocolTimer, bool) override { }
    void setTimerInterval(ProtocolTimer, int) override { }
    void setCaption(const std::string& caption) override { lastCaption = caption; }
    void refreshKnobTable(int presetIndex) override { refreshed.push_back(presetIndex); }
    void deviceSettingsChanged() override { ++settingsChanges; }

    std::string lastCaption;
    std::vector<int> refreshed;
    int settingsChanges = 0;
};

std::optional<int> findDevice(TMidiDriver& driver, bool output, const std::string& part)
{
    const auto& api = driver.api();
    const int count = output ? api.GetNumOutDevices() : api.GetNumInDevices();
    for (int id = 0; id < count; ++id) {
        char text[MIDIDRV_DESCRIPTION_SIZE] = {};
        if (output)
            api.GetMidiOutDescription(static_cast<std::uint16_t>(id), text);
        else
            api.GetMidiInDescription(static_cast<std::uint16_t>(id), text);
        text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        if (std::string(text).find(part) != std::string::npos)
            return id;
    }
    return std::nullopt;
}

std::vector<std::string> deviceNames(TMidiDriver& driver, bool output)
{
    std::vector<std::string> names;
    const auto& api = driver.api();
    const int count = output ? api.GetNumOutDevices() : api.GetNumInDevices();
    for (int id = 0; id < count; ++id) {
        char text[MIDIDRV_DESCRIPTION_SIZE] = {};
        if (output)
            api.GetMidiOutDescription(static_cast<std::uint16_t>(id), text);
        else
            api.GetMidiInDescription(static_cast<std::uint16_t>(id), text);
        text[MIDIDRV_DESCRIPTION_SIZE - 1] = '\0';
        names.emplace_back(text);
    }
    return names;
}

TEST(ZembraSimProgram, BadOptionsGiveOneLineAndExitCode2)
{
    const std::vector<std::vector<std::string>> cases { { "--bogus" }, { "--variant", "piano" },
        { "--variant" }, { "--version", "1.200" }, { "--version", "112" }, { "--name", "" } };
    for (const auto& arguments : cases) {
        std::vector<std::string> argv { KESTROW_ZEMBRA_SIM };
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        Child sim(argv, true);
        sim.waitForOutput("\n", 5s);
        EXPECT_EQ(sim.wait(5s), 2) << arguments[0];
        const std::string& text = sim.output();
        EXPECT_EQ(text.rfind("zembra-sim: ", 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
}

TEST(ZembraSimProgram, WithoutAnyMidiSystemItSaysSoAndExitsWith2)
{
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0)
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    ::setenv("JACK_DEFAULT_SERVER", ("kestrow-absent-" + std::to_string(::getpid())).c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    Child sim({ KESTROW_ZEMBRA_SIM, "--variant", "fader" }, true);
    EXPECT_TRUE(sim.waitForOutput("no MIDI system", 5s)) << sim.output();
    EXPECT_EQ(sim.wait(5s), 2);
}

TEST(TransportEndToEnd, DialSetThroughJackToTheEmulatorProcessAndBack)
{
#if !defined(KESTROW_HAVE_JACK)
    GTEST_SKIP() << "built without the JACK client library";
#endif
    if (!onPath("jackd"))
        GTEST_SKIP() << "jackd is not installed";

    const std::string tag = std::to_string(::getpid());
    const std::string server = "kestrow-e2e-" + tag;
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);

    // -S: in JACK's default asynchronous mode a client that misses a cycle on
    // a busy machine loses that cycle's MIDI, about one message in a few
    // hundred here; synchronous mode waits for every client instead.
    Child jack({ "jackd", "-S", "-r", "-n", server, "-d", "dummy", "-r", "48000", "-p", "64" }, false);
    ASSERT_TRUE(jack.started());
    bool up = false;
    for (const auto end = Clock::now() + 10s; !up && Clock::now() < end && jack.running();)
        if (!(up = jackAnswers()))
            std::this_thread::sleep_for(100ms);
    if (!up)
        GTEST_SKIP() << "the JACK dummy server did not start";

    const std::string name = "zE2E-" + tag;
    const std::filesystem::path state
        = std::filesystem::temp_directory_path() / ("kestrow-e2e-" + tag + ".state");
    std::filesystem::remove(state);
    auto sim = std::make_unique<Child>(std::vector<std::string> { KESTROW_ZEMBRA_SIM, "--variant", "dial",
                                           "--name", name, "--version", "1.12", "--state", state.string() },
        true);
    ASSERT_TRUE(sim->waitForOutput("on JACK", 10s)) << sim->output();

    // The driver lists devices once, so it is loaded only now.
    ManualDispatcher dispatcher;
    setDefaultMidiDispatcher(&dispatcher);
    TMidiDriver driver;
    const auto outputId = findDevice(driver, true, name);
    const auto inputId = findDevice(driver, false, name);
    ASSERT_TRUE(outputId && inputId) << "emulator ports not in the driver's lists";

    PresetBank bank;
    DeviceSettingsModel settings;
    settings.setPortNames(deviceNames(driver, true), deviceNames(driver, false));
    ToolkitLink link(driver, settings.outputDeviceCount());
    RecordingHost host;
    DeviceProtocol protocol(bank, settings, link, host);
    link.input().OnMidiData = [&protocol](MidiEvent* e, bool&) { protocol.replyCollector(*e); };
    protocol.setDeviceVariant(DeviceVariant::zembraDial);
    protocol.chooseOutput(*outputId);
    protocol.chooseInput(*inputId); // also asks for version and configuration

    ASSERT_TRUE(dispatcher.pumpUntil([&] { return host.settingsChanges >= 2; }, 5000ms))
        << "no version/configuration reply";
    EXPECT_EQ(settings.versionText, "1.12");
    EXPECT_EQ(settings.masterChannelText, "1");
    EXPECT_TRUE(settings.channelEventsThru && settings.sysexEventsThru && settings.realtimeEventsThru);

    std::mt19937 random(7);
    for (Preset& p : bank.presets)
        for (int k = 0; k < kKnobCount; ++k) {
            p.channel[k] = static_cast<std::int32_t>(random() % 17);
            p.eventType[k] = static_cast<std::int32_t>(random() % 128);
            p.fixedParameter[k] = static_cast<std::int32_t>(random() % 128);
            p.initValue[k] = static_cast<std::int32_t>(random() % 128);
        }
    const PresetBank sent = bank;

    // The paced transfer at a short delay, ticks driven as the window's Timer1 would.
    ASSERT_FALSE(protocol.sendAllPresets().abandon());
    int ticks = 0;
    while (protocol.timerEnabled(ProtocolTimer::Timer1) && ticks < 300) {
        protocol.Timer1Timer();
        ++ticks;
        dispatcher.pump();
        std::this_thread::sleep_for(4ms);
    }
    EXPECT_EQ(ticks, 256);
    bank.selectedPreset = 42;
    protocol.Timer4Timer(); // the closing Program Change

    // Read several back, each after spoiling it in the editor.
    for (int p : { 0, 1, 63, 126, 127 }) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.channel.fill(99);
        preset.eventType.fill(99);
        preset.fixedParameter.fill(99);
        preset.initValue.fill(99);
        bank.selectedPreset = p;
        host.refreshed.clear();
        ASSERT_FALSE(protocol.getPreset().abandon());
        ASSERT_TRUE(dispatcher.pumpUntil([&] { return !host.refreshed.empty(); }, 3000ms))
            << "no reply for preset " << p;
        protocol.Timer3Timer(); // 400 ms in the window; at once here
        ASSERT_TRUE(dispatcher.pumpUntil([&] { return host.refreshed.size() >= 3; }, 3000ms))
            << "no init values for preset " << p;
        const Preset& original = sent.presets[static_cast<std::size_t>(p)];
        EXPECT_EQ(preset.channel, original.channel) << p;
        EXPECT_EQ(preset.eventType, original.eventType) << p;
        EXPECT_EQ(preset.fixedParameter, original.fixedParameter) << p;
        EXPECT_EQ(preset.initValue, original.initValue) << p;
    }

    // Thru configuration, then read it back.
    settings.sysexEventsThru = false;
    settings.masterChannelText = "10";
    protocol.sendThruConfiguration();
    settings.sysexEventsThru = true;
    settings.masterChannelText = "1";
    host.settingsChanges = 0;
    protocol.reopenInputAndRequestConfiguration();
    ASSERT_TRUE(dispatcher.pumpUntil([&] { return host.settingsChanges >= 2; }, 5000ms));
    EXPECT_EQ(settings.masterChannelText, "10");
    EXPECT_FALSE(settings.sysexEventsThru);
    EXPECT_TRUE(settings.channelEventsThru);

    link.closeInput();
    EXPECT_TRUE(sim->waitForOutput("in  C0 2A", 2000ms)) << "Program Change not seen by the device";

    // Every preset byte-exact on the device side, read from its saved state.
    EXPECT_EQ(sim->stop(5000ms), 0);
    sim.reset();
    sim::ZembraDevice device(sim::Variant::dial);
    ASSERT_TRUE(device.loadState(state));
    for (int p = 0; p < kPresetCount; ++p) {
        const Preset& original = sent.presets[static_cast<std::size_t>(p)];
        const sim::DevicePreset& stored = device.preset(p);
        for (int k = 0; k < kKnobCount; ++k) {
            ASSERT_EQ(stored.channel[k], original.channel[k]) << p << ":" << k;
            ASSERT_EQ(stored.eventType[k], original.eventType[k]) << p << ":" << k;
            ASSERT_EQ(stored.fixedParameter[k], original.fixedParameter[k]) << p << ":" << k;
            ASSERT_EQ(stored.initValue[k], original.initValue[k]) << p << ":" << k;
        }
    }
    EXPECT_EQ(device.currentProgram(), 42);
    EXPECT_EQ(device.masterChannel(), 10);
    std::filesystem::remove(state);
    setDefaultMidiDispatcher(nullptr);
}

} // namespace
} // namespace kestrow
