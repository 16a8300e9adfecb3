#include "port_backend.h"
#include "port_watch.h"
#include "rtmidi_connections.h"

#include <RtMidi.h>

#if defined(KESTROW_HAVE_JACK)
#include <jack/jack.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <unistd.h>

namespace kestrow::mididrv {

namespace {

    /// Shown in both lists when a JACK server runs: a port of our own that the
    /// user wires up in a JACK patchbay.
    constexpr const char* kJackOwnPort = "Kestrow (JACK)";

    /// `failed`, when given, is a bool set on any complaint.
    void quietError(RtMidiError::Type, const std::string& text, void* failed)
    {
        if (failed != nullptr)
            *static_cast<bool*>(failed) = true;
        rtmidi::debugLog(text);
    }

    /// Every RtMidi object is a client of its own; JACK would rename a second
    /// client of the same name, so each port gets a number. Numbers count opens
    /// in this run, so the same use gives the same names next time.
    std::string clientName(const char* role)
    {
        static std::atomic<int> counter { 0 };
        if (std::string(role) == "scan")
            return "kestrow-scan";
        return std::string("kestrow-") + role + "-" + std::to_string(++counter);
    }

    /// "Client:Port 20:0" without the trailing " 20:0".
    std::string withoutAddress(const std::string& raw)
    {
        auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
        std::size_t end = raw.size();
        std::size_t i = end;
        while (i > 0 && isDigit(raw[i - 1]))
            --i;
        if (i == end || i == 0 || raw[i - 1] != ':')
            return raw;
        std::size_t colon = --i;
        while (i > 0 && isDigit(raw[i - 1]))
            --i;
        if (i == colon || i == 0 || raw[i - 1] != ' ')
            return raw;
        while (i > 0 && raw[i - 1] == ' ')
            --i;
        return raw.substr(0, i);
    }

#if defined(KESTROW_HAVE_JACK)
    /// How long a JACK probe's answer stands.
    constexpr std::chrono::milliseconds kProbeLife { 500 };

    /// Length of one JACK process cycle in microseconds, as the last probe found it.
    std::atomic<long> g_jackCycle { 0 };

    /// libjack allocates when it is loaded and frees none of it when unloaded
    /// with this library. Kept loaded from the first load on, it is set up once
    /// per process however often the driver comes and goes, and its memory stays
    /// reachable instead of leaking.
    [[maybe_unused]] const bool kJackPinned
        = ::dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;

    void quietJack(const char* text)
    {
        if (std::getenv("KESTROW_MIDIDRV_DEBUG"))
            std::cerr << "mididrv: JACK: " << text << '\n';
    }

    /// Whether a JACK server may be running: it keeps a socket
    /// "jack_<server>_<uid>_0" in /dev/shm (or /tmp), and JACK1 a folder
    /// "jack-<uid>". Without any of them a probe would fail anyway, after some
    /// milliseconds and a couple of MiB for libjack's metadata store; a leftover
    /// of a dead server only costs the probe.
    bool jackServerMayRun()
    {
        const char* named = std::getenv("JACK_DEFAULT_SERVER");
        const std::string prefix
            = std::string("jack_") + (named && *named ? named : "default") + "_";
        const std::string jack1 = "jack-" + std::to_string(::getuid());
        for (const char* folder : { "/dev/shm", "/tmp" }) {
            std::error_code error;
            for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
                 it.increment(error)) {
                const std::string name = it->path().filename().string();
                if (name == jack1 || (name.starts_with(prefix) && name.ends_with("_0")))
                    return true;
            }
        }
        return false;
    }
#endif

    /// Asking RtMidi straight away makes libjack and ALSA print complaints when
    /// there is no server or no sequencer; look first, quietly.
    bool apiAvailable(RtMidi::Api api)
    {
        if (api == RtMidi::LINUX_ALSA)
            return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
#if defined(KESTROW_HAVE_JACK)
        if (api == RtMidi::UNIX_JACK) {
            // libjack may stay loaded after this library is unloaded (when the
            // host uses it too) and must not call into us then.
            static const struct PrintReset {
                ~PrintReset()
                {
                    jack_set_error_function(nullptr);
                    jack_set_info_function(nullptr);
                }
            } printReset;
            // A probe is a whole client (a thread, the metadata store): the
            // output and input lists, asked one after the other, share one.
            static std::mutex mutex;
            static std::chrono::steady_clock::time_point probedAt;
            static bool running = false;
            std::lock_guard lock(mutex);
            const auto now = std::chrono::steady_clock::now();
            if (probedAt != std::chrono::steady_clock::time_point {} && now - probedAt < kProbeLife)
                return running;
            if (!jackServerMayRun()) {
                running = false;
                probedAt = now;
                return running;
            }
            jack_set_error_function(quietJack);
            jack_set_info_function(quietJack);
            jack_status_t status {};
            jack_client_t* probe = jack_client_open("kestrow-probe", JackNoStartServer, &status);
            running = probe != nullptr;
            if (probe) {
                const jack_nframes_t rate = jack_get_sample_rate(probe);
                if (rate > 0)
                    g_jackCycle = static_cast<long>(
                        1000000.0 * jack_get_buffer_size(probe) / static_cast<double>(rate));
                jack_client_close(probe);
            }
            probedAt = std::chrono::steady_clock::now();
            return running;
        }
#endif
        return false;
    }

    class RtBackend : public PortBackend {
    public:
        explicit RtBackend(RtMidi::Api api)
            : m_api(api)
        {
        }

        std::vector<std::string> outputs() override { return list<RtMidiOut>(); }
        std::vector<std::string> inputs() override { return list<RtMidiIn>(); }

        std::unique_ptr<OutputConnection> openOutput(const std::string& name) override
        {
            try {
                auto connection = rtmidi::openOutput<RtMidiOut>(create<RtMidiOut>("out"),
                    [&](RtMidiOut& out) { return openNamed(out, name, "out"); });
#if defined(KESTROW_HAVE_JACK)
                // A new connection carries data only from the cycles after the
                // server has rewired its graph; a message put at once (a request
                // right after the port was reopened) would be lost.
                if (connection && m_api == RtMidi::UNIX_JACK)
                    std::this_thread::sleep_for(std::chrono::microseconds(
                        std::clamp(4 * g_jackCycle.load(), 5000L, 50000L)));
#endif
                return connection;
            } catch (const RtMidiError& error) {
                rtmidi::debugLog(error.getMessage());
                return nullptr;
            }
        }

        std::unique_ptr<InputConnection> openInput(
            const std::string& name, InputSink& sink) override
        {
#if defined(KESTROW_HAVE_JACK)
            // RtMidi's JACK input does not stop its thread on closing (see
            // jack_midi_input.h); JACK inputs are our own.
            if (m_api == RtMidi::UNIX_JACK)
                return apiAvailable(m_api)
                    ? openJackInput(clientName("in"), name == kJackOwnPort ? "" : name, sink)
                    : nullptr;
#endif
            try {
                return rtmidi::openInput<RtMidiIn>(
                    create<RtMidiIn>("in"), [&](RtMidiIn& in) { return openNamed(in, name, "in"); },
                    sink);
            } catch (const RtMidiError& error) {
                rtmidi::debugLog(error.getMessage());
                return nullptr;
            }
        }

    private:
        template <typename T> std::unique_ptr<T> create(const char* role, bool* failed = nullptr)
        {
            if (!apiAvailable(m_api))
                return nullptr;
            auto port = std::make_unique<T>(m_api, clientName(role));
            port->setErrorCallback(quietError, failed);
            return port;
        }

        /// ALSA names end in the client:port numbers, which change between
        /// runs; the name without them is the one we keep.
        std::string stableName(const std::string& raw) const
        {
            if (m_api != RtMidi::LINUX_ALSA)
                return raw;
            std::string name = withoutAddress(raw);
            // "Client:Client Port-0" reads better as its port name alone.
            auto colon = name.find(':');
            if (colon != std::string::npos && name.compare(colon + 1, colon, name, 0, colon) == 0)
                name = name.substr(colon + 1);
            return name;
        }

        /// A scan that the running MIDI system could not answer (a busy JACK
        /// server refused the scan's client) gives the last list, not an empty
        /// one: the ports would all look unplugged.
        template <typename T> std::vector<std::string> list()
        {
            auto& last = std::is_same_v<T, RtMidiOut> ? m_lastOutputs : m_lastInputs;
            std::vector<std::string> names;
            bool failed = false;
            try {
                auto port = create<T>("scan", &failed);
                if (!port) {
                    last.clear();
                    return names;
                }
                unsigned count = port->getPortCount();
                for (unsigned i = 0; i < count && !failed; ++i)
                    names.push_back(stableName(port->getPortName(i)));
                if (m_api == RtMidi::UNIX_JACK)
                    names.push_back(kJackOwnPort);
            } catch (const RtMidiError&) {
                failed = true;
            }
            if (failed)
                return last;
            last = names;
            return names;
        }

        template <typename T>
        bool openNamed(T& port, const std::string& name, const char* ownPortName)
        {
            if (m_api == RtMidi::UNIX_JACK && name == kJackOwnPort) {
                port.openVirtualPort(ownPortName);
                return true;
            }
            // Indices move when devices come and go; look the name up again.
            unsigned count = port.getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                if (stableName(port.getPortName(i)) == name) {
                    port.openPort(i, ownPortName);
                    return port.isPortOpen();
                }
            }
            return false;
        }

        RtMidi::Api m_api;
        std::vector<std::string> m_lastOutputs;
        std::vector<std::string> m_lastInputs;
    };

    bool compiled(RtMidi::Api api)
    {
        std::vector<RtMidi::Api> apis;
        RtMidi::getCompiledApi(apis);
        for (auto a : apis)
            if (a == api)
                return true;
        return false;
    }

} // namespace

bool jackServerRunning()
{
#if defined(KESTROW_HAVE_JACK)
    return apiAvailable(RtMidi::UNIX_JACK);
#else
    return false;
#endif
}

std::unique_ptr<PortBackend> makeAlsaBackend()
{
    return compiled(RtMidi::LINUX_ALSA) ? std::make_unique<RtBackend>(RtMidi::LINUX_ALSA) : nullptr;
}

std::unique_ptr<PortBackend> makeJackBackend()
{
#if defined(KESTROW_HAVE_JACK)
    return compiled(RtMidi::UNIX_JACK) ? std::make_unique<RtBackend>(RtMidi::UNIX_JACK) : nullptr;
#else
    return nullptr;
#endif
}

} // namespace kestrow::mididrv
