// zembra-sim: a zembra device in software. Opens one MIDI input and one MIDI
// output port (JACK when a server runs, otherwise the ALSA sequencer), answers
// like the hardware and logs every message in hex, one line each.

#include "sim/zembra_device.h"

#include <RtMidi.h>

#if defined(KESTROW_HAVE_JACK)
#include <jack/jack.h>
#endif

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using kestrow::sim::DeviceVersion;
using kestrow::sim::Variant;
using kestrow::sim::ZembraDevice;

constexpr int kUsageExit = 2;
constexpr char kUsage[] = "usage: zembra-sim [--variant control|fader|dial] [--name NAME] "
                          "[--state FILE] [--device-version MAJOR.MINOR]";
constexpr char kHelp[]
    = "Emulates a zembra controller on MIDI ports of its own (JACK when a server\n"
      "runs, else ALSA) and logs every message in hex. See zembra-sim(1).\n"
      "\n"
      "  --variant VARIANT               control (default), fader or dial\n"
      "  --name NAME                     port and client name (\"zembra Emulator\")\n"
      "  --state FILE                    load the presets from FILE, save them on exit\n"
      "  --device-version MAJOR.MINOR    version the device reports (1.0)\n"
      "  -h, --help                      show this help and exit\n"
      "  --version                       show the program's version and exit\n";

struct Options {
    Variant variant = Variant::control;
    std::string name = "zembra Emulator";
    std::optional<std::filesystem::path> state;
    DeviceVersion version { 1, 0 };
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
            && arg != "--device-version")
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
        } else if (arg == "--state") {
            if (value.empty())
                fail("--state needs a file name");
            options.state = std::filesystem::path(value);
        } else {
            const auto dot = value.find('.');
            std::optional<int> major = dot == std::string_view::npos ? std::nullopt : parseSmall(value.substr(0, dot));
            std::optional<int> minor = dot == std::string_view::npos ? std::nullopt : parseSmall(value.substr(dot + 1));
            if (!major || !minor)
                fail(std::string(arg) + " must be MAJOR.MINOR with numbers 0..127, not '"
                    + std::string(value) + "'");
            options.version = { static_cast<std::uint8_t>(*major), static_cast<std::uint8_t>(*minor) };
        }
    }
    return options;
}

std::mutex g_logMutex;

void logLine(const char* direction, std::span<const std::uint8_t> bytes)
{
    std::string line = direction;
    static const char digits[] = "0123456789ABCDEF";
    for (std::uint8_t b : bytes) {
        line += ' ';
        line += digits[b >> 4];
        line += digits[b & 0x0F];
    }
    line += '\n';
    std::lock_guard lock(g_logMutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

/// MIDI errors reported so far; any of them makes the exit status 1.
std::atomic<int> g_midiErrors { 0 };

void reportError(RtMidiError::Type type, const std::string& text, void*)
{
    if (type != RtMidiError::DEBUG_WARNING)
        ++g_midiErrors;
    std::lock_guard lock(g_logMutex);
    std::fprintf(stderr, "zembra-sim: %s\n", text.c_str());
}

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

bool alsaSequencerPresent()
{
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
}

bool apiCompiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (RtMidi::Api a : apis)
        if (a == api)
            return true;
    return false;
}

/// The device and its ports. Incoming messages are only queued on the MIDI
/// system's thread (under JACK its real-time process thread, which must not
/// wait on a terminal or a pipe); a worker of ours logs and answers them.
struct Emulator {
    std::mutex mutex; ///< guards device
    ZembraDevice device;
    RtMidiOut* out = nullptr;

    std::mutex queueMutex;
    std::condition_variable queued;
    std::deque<std::vector<std::uint8_t>> queue;
    bool quit = false;
    std::thread worker;

    explicit Emulator(const Options& o)
        : device(o.variant, o.version)
    {
    }

    void start()
    {
        worker = std::thread([this] { run(); });
    }

    void stop()
    {
        {
            std::lock_guard lock(queueMutex);
            quit = true;
        }
        queued.notify_one();
        if (worker.joinable())
            worker.join();
    }

    void run()
    {
        for (;;) {
            std::vector<std::uint8_t> message;
            {
                std::unique_lock lock(queueMutex);
                queued.wait(lock, [this] { return quit || !queue.empty(); });
                if (queue.empty())
                    return; // quit, and everything received has been answered
                message = std::move(queue.front());
                queue.pop_front();
            }
            logLine("in ", message);
            std::lock_guard lock(mutex);
            for (const auto& reply : device.receive(message)) {
                try {
                    // RtMidi reports a failed send through reportError, not by throwing.
                    const int errors = g_midiErrors;
                    out->sendMessage(reply.data(), reply.size());
                    if (g_midiErrors == errors)
                        logLine("out", reply);
                } catch (const RtMidiError& e) {
                    reportError(e.getType(), e.getMessage(), nullptr);
                }
            }
        }
    }
};

void onMessage(double, std::vector<unsigned char>* message, void* userData)
{
    if (!message || message->empty())
        return;
    auto& emulator = *static_cast<Emulator*>(userData);
    {
        std::lock_guard lock(emulator.queueMutex);
        emulator.queue.emplace_back(message->begin(), message->end());
    }
    emulator.queued.notify_one();
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = parseOptions(argc, argv);

    // SIGINT and SIGTERM are taken by sigwait below; block them before RtMidi
    // starts its threads so none of those receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Emulator emulator(options);
    bool damagedState = false;
    if (options.state && std::filesystem::exists(*options.state)) {
        if (!emulator.device.loadState(*options.state)) {
            damagedState = true;
            std::fprintf(stderr, "zembra-sim: cannot read state file %s; starting afresh\n",
                options.state->c_str());
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
        std::fprintf(stderr, "zembra-sim: no MIDI system: no JACK server runs and there is no ALSA sequencer\n");
        return kUsageExit;
    }

    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    emulator.start();
    try {
        out = std::make_unique<RtMidiOut>(api, options.name);
        out->setErrorCallback(reportError, nullptr);
        out->openVirtualPort(options.name);
        emulator.out = out.get();

        in = std::make_unique<RtMidiIn>(api, options.name);
        in->setErrorCallback(reportError, nullptr);
        in->ignoreTypes(false, false, false); // SysEx, timing and sensing all reach the device
        in->setCallback(onMessage, &emulator);
        in->openVirtualPort(options.name);
    } catch (const RtMidiError& e) {
        std::fprintf(stderr, "zembra-sim: cannot open %s ports: %s\n", apiName, e.getMessage().c_str());
        emulator.stop();
        return kUsageExit;
    }
    if (g_midiErrors > 0) {
        // RtMidi reported through the callback instead of throwing.
        std::fprintf(stderr, "zembra-sim: cannot open %s ports\n", apiName);
        emulator.stop();
        return kUsageExit;
    }

    {
        std::lock_guard lock(g_logMutex);
        std::printf("zembra-sim: %s %d.%d on %s, ports \"%s\"\n",
            std::string(kestrow::sim::variantName(options.variant)).c_str(), options.version.major,
            options.version.minor, apiName, options.name.c_str());
        std::fflush(stdout);
    }

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) { }

    in->cancelCallback();
    in->closePort();
    emulator.stop();
    out->closePort();

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
            std::fprintf(stderr, "zembra-sim: cannot write state file %s\n", options.state->c_str());
            status = 1;
        }
    }
    if (g_midiErrors > 0) {
        std::fprintf(stderr, "zembra-sim: %d MIDI errors during the run\n", g_midiErrors.load());
        status = 1;
    }
    {
        std::lock_guard lock(g_logMutex);
        std::printf("zembra-sim: stopped\n");
        if (std::fflush(stdout) != 0)
            status = 1;
    }
    return status;
}
