// zembra-sim: a zembra device in software. Opens one MIDI input and one MIDI
// output port (JACK when a server runs, otherwise the ALSA sequencer), answers
// like the hardware and logs every message in hex, one line each.

#include "sim/line_log.h"
#include "sim/link_limits.h"
#include "sim/zembra_device.h"

#if defined(KESTROW_HAVE_JACK)
#include "platform/mididrv/jack_midi_input.h"
#include "platform/mididrv/jack_midi_output.h"
#endif

#include <RtMidi.h>

#if defined(KESTROW_HAVE_JACK)
#include <jack/jack.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using kestrow::sim::DeviceVersion;
using kestrow::sim::LimitedDevice;
using kestrow::sim::LineLog;
using kestrow::sim::Variant;
using kestrow::sim::ZembraDevice;

constexpr int kUsageExit = 2;
constexpr char kUsage[] = "usage: zembra-sim [--variant control|fader|dial] [--name NAME] "
                          "[--state FILE] [--device-version MAJOR.MINOR] [--message-time MS] "
                          "[--loss-in PERCENT] [--loss-out PERCENT] [--seed N]";
constexpr char kHelp[]
    = "Emulates a zembra controller on MIDI ports of its own (JACK when a server\n"
      "runs, else ALSA) and logs every message in hex. See zembra-sim(1).\n"
      "\n"
      "  --variant VARIANT               control (default), fader or dial\n"
      "  --name NAME                     port and client name (\"zembra-sim\")\n"
      "  --state FILE                    load the presets from FILE, save them on exit\n"
      "  --device-version MAJOR.MINOR    version the device reports (1.0)\n"
      "  --message-time MS               busy for MS milliseconds after each message it\n"
      "                                  takes; what arrives meanwhile is lost (0)\n"
      "  --loss-in PERCENT               lose this share of incoming messages (0)\n"
      "  --loss-out PERCENT              lose this share of outgoing replies (0)\n"
      "  --seed N                        the random losses' seed: the same seed, the\n"
      "                                  same losses (1)\n"
      "  -h, --help                      show this help and exit\n"
      "  --version                       show the program's version and exit\n";

struct Options {
    Variant variant = Variant::control;
    std::string name = "zembra-sim";
    std::optional<std::filesystem::path> state;
    DeviceVersion version { 1, 0 };
    kestrow::sim::LinkLimits limits;
};

/// One line on stderr and the usage exit code.
[[noreturn]] void fail(const std::string& line)
{
    std::fprintf(stderr, "zembra-sim: %s\n", line.c_str());
    std::exit(kUsageExit);
}

std::optional<int> parseSmall(std::string_view text)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value <= 127 ? std::optional<int>(value) : std::nullopt;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\n\n%s", kUsage, kHelp);
            std::exit(0);
        }
        // "--version MAJOR.MINOR" is the older spelling of --device-version;
        // without a value it asks for the program's version.
        if (arg == "--version" && (i + 1 >= argc || argv[i + 1][0] == '-')) {
            std::printf("zembra-sim %s\n", KESTROW_VERSION);
            std::exit(0);
        }
        if (arg != "--variant" && arg != "--name" && arg != "--state" && arg != "--version"
            && arg != "--device-version" && arg != "--message-time" && arg != "--loss-in"
            && arg != "--loss-out" && arg != "--seed")
            fail("unknown option '" + std::string(arg) + "'; " + kUsage);
        if (i + 1 >= argc)
            fail("option " + std::string(arg) + " needs a value");
        const std::string_view value = argv[++i];
        if (arg == "--variant") {
            auto variant = kestrow::sim::parseVariant(value);
            if (!variant)
                fail("--variant must be control, fader or dial, not '" + std::string(value) + "'");
            options.variant = *variant;
        } else if (arg == "--name") {
            if (value.empty())
                fail("--name must not be empty");
            options.name = value;
        } else if (arg == "--message-time") {
            const auto ms = kestrow::sim::parseMessageTime(value);
            if (!ms)
                fail("--message-time must be milliseconds 0..60000, not '" + std::string(value)
                    + "'");
            options.limits.messageTimeMs = *ms;
        } else if (arg == "--loss-in" || arg == "--loss-out") {
            const auto percent = kestrow::sim::parsePercent(value);
            if (!percent)
                fail(std::string(arg) + " must be a percentage 0..100 (one decimal at most), not '"
                    + std::string(value) + "'");
            (arg == "--loss-in" ? options.limits.lossInPercent : options.limits.lossOutPercent)
                = *percent;
        } else if (arg == "--seed") {
            const auto seed = kestrow::sim::parseSeed(value);
            if (!seed)
                fail("--seed must be a number 0..4294967295, not '" + std::string(value) + "'");
            options.limits.seed = *seed;
        } else if (arg == "--state") {
            if (value.empty())
                fail("--state needs a file name");
            options.state = std::filesystem::path(value);
        } else {
            const auto dot = value.find('.');
            std::optional<int> major
                = dot == std::string_view::npos ? std::nullopt : parseSmall(value.substr(0, dot));
            std::optional<int> minor
                = dot == std::string_view::npos ? std::nullopt : parseSmall(value.substr(dot + 1));
            if (!major || !minor)
                fail(std::string(arg) + " must be MAJOR.MINOR with numbers 0..127, not '"
                    + std::string(value) + "'");
            options.version
                = { static_cast<std::uint8_t>(*major), static_cast<std::uint8_t>(*minor) };
        }
    }
    return options;
}

/// For the start line: empty without limits.
std::string limitsText(const kestrow::sim::LinkLimits& limits)
{
    if (!limits.any())
        return {};
    const auto percent = [](double value) {
        const auto tenths = static_cast<long>(value * 10 + 0.5);
        return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "")
            + " %";
    };
    return "; message time " + std::to_string(limits.messageTimeMs) + " ms, loss in "
        + percent(limits.lossInPercent) + ", loss out " + percent(limits.lossOutPercent) + ", seed "
        + std::to_string(limits.seed);
}

/// "in " or "out" and the bytes in hex.
std::string hexLine(const char* direction, std::span<const std::uint8_t> bytes)
{
    std::string line = direction;
    static const char digits[] = "0123456789ABCDEF";
    for (std::uint8_t b : bytes) {
        line += ' ';
        line += digits[b >> 4];
        line += digits[b & 0x0F];
    }
    return line;
}

/// MIDI errors reported so far; any of them makes the exit status 1.
std::atomic<int> g_midiErrors { 0 };

#if defined(KESTROW_HAVE_JACK)
void quietJack(const char*) { }
#endif

/// Looks before RtMidi does, which would otherwise print its own complaints.
bool jackRunning()
{
#if defined(KESTROW_HAVE_JACK)
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
    jack_status_t status {};
    jack_client_t* probe = jack_client_open("zembra-sim-probe", JackNoStartServer, &status);
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
#else
    return false;
#endif
}

bool alsaSequencerPresent() { return ::access("/dev/snd/seq", R_OK | W_OK) == 0; }

bool apiCompiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api a : apis)
        if (a == api)
            return true;
    return false;
}

constexpr std::size_t kQueueLimit = 1 << 20; ///< bytes of memory for incoming messages waiting
/// What a queued message costs besides its bytes.
constexpr std::size_t kQueueEntryCost = sizeof(std::vector<std::uint8_t>) + 16;
constexpr auto kAnswerBudget = std::chrono::milliseconds(1000); ///< at a stop, for what is queued
constexpr auto kLogGrace = std::chrono::milliseconds(500); ///< at a stop, for the log
/// From the stop signal to the end, whatever the MIDI system does meanwhile.
constexpr auto kShutdownLimit = std::chrono::milliseconds(4000);

/// The device and its ports. Incoming messages wait in a bounded queue; a
/// worker of ours answers them and hands the log lines to a LineLog, so
/// neither a flood nor a reader who stops reading our output makes anything
/// grow or wait without end.
struct Emulator {
    Emulator(const Options& o, LineLog& lineLog)
        : device(o.variant, o.version)
        , limited(device, o.limits)
        , log(lineLog)
    {
    }

    std::mutex mutex; ///< guards device and limited
    ZembraDevice device;
    LimitedDevice limited;
    LineLog& log;
    RtMidiOut* out = nullptr; ///< ALSA
#if defined(KESTROW_HAVE_JACK)
    kestrow::mididrv::JackMidiOutput* jackOut = nullptr;
#endif

    std::mutex queueMutex;
    std::condition_variable queued;
    struct Arrival {
        std::vector<std::uint8_t> message;
        std::int64_t atMs = 0; ///< steady clock, taken when the MIDI system handed it over
    };
    std::deque<Arrival> queue;
    std::size_t queuedBytes = 0;
    std::uint64_t dropped = 0;
    std::uint64_t reportedDrops = 0; ///< worker side, then the stopping thread's
    std::size_t unanswered = 0; ///< left in the queue at the stop
    bool quit = false;
    std::chrono::steady_clock::time_point answerUntil;
    std::thread worker;

    void start()
    {
        worker = std::thread([this] { run(); });
    }

    /// On the MIDI system's thread: queues a copy, or counts it as dropped
    /// when the queue is full.
    void take(std::span<const std::uint8_t> message)
    {
        if (message.empty())
            return;
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        {
            std::lock_guard lock(queueMutex);
            if (quit)
                return;
            if (queuedBytes + kQueueEntryCost + message.size() > kQueueLimit) {
                ++dropped;
                return;
            }
            queue.push_back({ { message.begin(), message.end() }, now.count() });
            queuedBytes += kQueueEntryCost + message.size();
        }
        queued.notify_one();
    }

    /// Answers what is queued for up to kAnswerBudget, then ends the worker;
    /// later messages are ignored.
    void stop()
    {
        {
            std::lock_guard lock(queueMutex);
            quit = true;
            answerUntil = std::chrono::steady_clock::now() + kAnswerBudget;
        }
        queued.notify_one();
        if (worker.joinable())
            worker.join();
        if (dropped > reportedDrops)
            reportDrops(dropped);
        if (limited.limits().any()) {
            std::lock_guard lock(mutex);
            const kestrow::sim::LinkDrops& d = limited.drops();
            log.print(LineLog::Stream::out,
                "zembra-sim: the limits dropped " + std::to_string(d.busy) + " while busy, "
                    + std::to_string(d.lostIn) + " lost in, " + std::to_string(d.lostOut)
                    + " lost out");
        }
        if (unanswered > 0)
            log.print(LineLog::Stream::err,
                "zembra-sim: " + std::to_string(unanswered)
                    + " messages left unanswered at the stop");
    }

    void reportDrops(std::uint64_t total)
    {
        log.print(LineLog::Stream::err,
            "zembra-sim: " + std::to_string(total - reportedDrops) + " incoming messages dropped");
        reportedDrops = total;
    }

    void run()
    {
        for (;;) {
            Arrival arrival;
            std::uint64_t drops = 0;
            {
                std::unique_lock lock(queueMutex);
                queued.wait(lock, [this] { return quit || !queue.empty(); });
                if (quit && (queue.empty() || std::chrono::steady_clock::now() >= answerUntil)) {
                    unanswered = queue.size();
                    queue.clear();
                    return;
                }
                arrival = std::move(queue.front());
                queue.pop_front();
                queuedBytes -= kQueueEntryCost + arrival.message.size();
                drops = dropped;
            }
            if (drops > reportedDrops)
                reportDrops(drops);
            const std::vector<std::uint8_t>& message = arrival.message;
            std::lock_guard lock(mutex);
            const kestrow::sim::LinkDrops before = limited.drops();
            const auto replies = limited.receive(message, arrival.atMs);
            const kestrow::sim::LinkDrops& after = limited.drops();
            if (after.lostIn != before.lostIn)
                log.print(LineLog::Stream::out, hexLine("lost in", message));
            else if (after.busy != before.busy)
                log.print(LineLog::Stream::out, hexLine("busy", message));
            else
                log.print(LineLog::Stream::out, hexLine("in ", message));
            if (after.lostOut != before.lostOut)
                log.print(LineLog::Stream::out,
                    "lost out: " + std::to_string(after.lostOut - before.lostOut) + " replies");
            for (const auto& reply : replies) {
#if defined(KESTROW_HAVE_JACK)
                if (jackOut) {
                    if (jackOut->send(reply)) {
                        log.print(LineLog::Stream::out, hexLine("out", reply));
                    } else {
                        ++g_midiErrors;
                        log.print(LineLog::Stream::err, "zembra-sim: JACK did not take a reply");
                    }
                    continue;
                }
#endif
                try {
                    // RtMidi reports a failed send through reportError, not by throwing.
                    const int errors = g_midiErrors;
                    out->sendMessage(reply.data(), reply.size());
                    if (g_midiErrors == errors)
                        log.print(LineLog::Stream::out, hexLine("out", reply));
                } catch (const RtMidiError& e) {
                    log.print(LineLog::Stream::err, "zembra-sim: " + e.getMessage());
                }
            }
        }
    }
};

void reportError(RtMidiError::Type type, const std::string& text, void* lineLog)
{
    if (type != RtMidiError::DEBUG_WARNING)
        ++g_midiErrors;
    static_cast<LineLog*>(lineLog)->print(LineLog::Stream::err, "zembra-sim: " + text);
}

void onMessage(double, std::vector<unsigned char>* message, void* emulator)
{
    if (message)
        static_cast<Emulator*>(emulator)->take(*message);
}

std::atomic<int> g_exitStatus { 1 }; ///< for an end forced by the time limit

/// Waits for SIGINT or SIGTERM (blocked in every thread) on a thread of its
/// own, so a stop is noticed even while opening the ports hangs in libjack.
/// From the signal on, the process ends within kShutdownLimit whatever the
/// MIDI system does; the caller hears of it through the returned future.
std::future<void> watchStopSignals(const sigset_t& stopSignals)
{
    static std::promise<void> stopRequested;
    std::thread([signals = stopSignals] {
        int signal = 0;
        while (sigwait(&signals, &signal) != 0) { }
        stopRequested.set_value();
        std::this_thread::sleep_for(kShutdownLimit);
        static const char line[] = "zembra-sim: the MIDI system did not let go in time\n";
        pollfd err { 2, POLLOUT, 0 };
        if (::poll(&err, 1, 0) == 1 && (err.revents & POLLOUT)) {
            [[maybe_unused]] const ssize_t written = ::write(2, line, sizeof line - 1);
        }
        std::_Exit(g_exitStatus.load());
    }).detach();
    return stopRequested.get_future();
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);

    // SIGINT and SIGTERM are blocked before any thread starts, so only the
    // watcher takes them. A reader that goes away ends our log, not the program.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const std::future<void> stopped = watchStopSignals(stopSignals);

    LineLog log(1, 2);
    Emulator emulator(options, log);
    bool damagedState = false;
    if (options.state && std::filesystem::exists(*options.state)) {
        if (!emulator.device.loadState(*options.state)) {
            damagedState = true;
            log.print(LineLog::Stream::err,
                "zembra-sim: cannot read state file " + options.state->string()
                    + "; starting afresh");
        }
    }

    RtMidi::Api api = RtMidi::UNSPECIFIED;
    const char* apiName = "";
    if (apiCompiled(RtMidi::UNIX_JACK) && jackRunning()) {
        api = RtMidi::UNIX_JACK;
        apiName = "JACK";
    } else if (apiCompiled(RtMidi::LINUX_ALSA) && alsaSequencerPresent()) {
        api = RtMidi::LINUX_ALSA;
        apiName = "ALSA";
    } else {
        log.print(LineLog::Stream::err,
            "zembra-sim: no MIDI system: no JACK server runs and there is no ALSA sequencer");
        log.stop(kLogGrace);
        return kUsageExit;
    }

    std::unique_ptr<RtMidiOut> out;
    std::unique_ptr<RtMidiIn> alsaIn;
#if defined(KESTROW_HAVE_JACK)
    // RtMidi's JACK input may call a cleared callback while it closes, and its
    // output clears the null buffer PipeWire gives a port being unregistered;
    // ours stop JACK's thread first.
    std::unique_ptr<kestrow::mididrv::JackMidiOutput> jackOut;
    std::unique_ptr<kestrow::mididrv::JackMidiInput> jackIn;
#endif
    emulator.start();
    std::string failure;
    try {
#if defined(KESTROW_HAVE_JACK)
        // The output first: its client keeps the name and the server renames
        // the input's, as the ports have always been named and wired.
        if (api == RtMidi::UNIX_JACK) {
            jackOut = kestrow::mididrv::JackMidiOutput::open(options.name, options.name, "");
            emulator.jackOut = jackOut.get();
            if (!jackOut)
                failure = ": the output port cannot be made";
        }
        if (api == RtMidi::UNIX_JACK && jackOut) {
            jackIn = kestrow::mididrv::JackMidiInput::open(options.name, options.name, "",
                [&emulator](std::span<const std::uint8_t> message) { emulator.take(message); });
            if (!jackIn)
                failure = ": the input port cannot be made";
        }
#endif
        if (api == RtMidi::LINUX_ALSA) {
            out = std::make_unique<RtMidiOut>(api, options.name);
            out->setErrorCallback(reportError, &log);
            out->openVirtualPort(options.name);
            emulator.out = out.get();
            alsaIn = std::make_unique<RtMidiIn>(api, options.name);
            alsaIn->setErrorCallback(reportError, &log);
            // SysEx, timing and sensing all reach the device.
            alsaIn->ignoreTypes(false, false, false);
            alsaIn->setCallback(onMessage, &emulator);
            alsaIn->openVirtualPort(options.name);
        }
    } catch (const RtMidiError& e) {
        failure = ": " + e.getMessage();
    }
    if (!failure.empty() || g_midiErrors > 0) {
        // With an error callback set, RtMidi reports there instead of throwing.
        log.print(LineLog::Stream::err,
            std::string("zembra-sim: cannot open ") + apiName + " ports" + failure);
        emulator.stop();
        log.stop(kLogGrace);
        return kUsageExit;
    }

    log.print(LineLog::Stream::out,
        "zembra-sim: " + std::string(kestrow::sim::variantName(options.variant)) + " "
            + std::to_string(options.version.major) + "." + std::to_string(options.version.minor)
            + " on " + apiName + ", ports \"" + options.name + "\"" + limitsText(options.limits));

    stopped.wait();
    // The state is saved before the ports close: closing waits on the MIDI
    // system, which a flood may keep busy.
    emulator.stop();
    int status = 0;
    if (options.state) {
        std::lock_guard lock(emulator.mutex);
        if (damagedState) {
            // Keep the unreadable file for a look rather than overwrite it.
            std::filesystem::path aside = *options.state;
            aside += ".damaged";
            std::error_code error;
            std::filesystem::rename(*options.state, aside, error);
        }
        if (!emulator.device.saveState(*options.state)) {
            log.print(LineLog::Stream::err,
                "zembra-sim: cannot write state file " + options.state->string());
            status = 1;
        }
    }
    g_exitStatus.store(status);

#if defined(KESTROW_HAVE_JACK)
    jackIn.reset();
    jackOut.reset();
#endif
    if (alsaIn)
        alsaIn->closePort(); // before the callback goes: this stops RtMidi's thread
    if (out)
        out->closePort();
    if (g_midiErrors > 0) {
        log.print(LineLog::Stream::err,
            "zembra-sim: " + std::to_string(g_midiErrors.load()) + " MIDI errors during the run");
        status = 1;
    }
    log.print(LineLog::Stream::out, "zembra-sim: stopped");
    log.stop(kLogGrace);
    if (log.failed())
        status = 1;
    return status;
}
