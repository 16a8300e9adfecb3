#include "port_backend.h"
#include "port_watch.h"
#include "rtmidi_connections.h"

#include <RtMidi.h>

#if defined(KESTROW_HAVE_JACK)
#include "jack_session.h"
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
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
    /// libjack allocates when it is loaded and frees none of it when unloaded
    /// with this library. Kept loaded from the first load on, it is set up once
    /// per process however often the driver comes and goes, and its memory stays
    /// reachable instead of leaking.
    [[maybe_unused]] const bool kJackPinned
        = ::dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
#endif

    class RtBackend : public PortBackend {
    public:
        explicit RtBackend(RtMidi::Api api)
            : m_api(api)
        {
#if defined(KESTROW_HAVE_JACK)
            if (api == RtMidi::UNIX_JACK)
                m_jack = JackSession::shared();
#endif
        }

        std::vector<std::string> outputs() override { return list<RtMidiOut>(); }
        std::vector<std::string> inputs() override { return list<RtMidiIn>(); }

        std::unique_ptr<OutputConnection> openOutput(const std::string& name) override
        {
            try {
                std::chrono::microseconds cycles {};
#if defined(KESTROW_HAVE_JACK)
                if (m_jack)
                    cycles
                        = std::chrono::microseconds(std::clamp(4 * m_jack->cycle(), 5000L, 50000L));
#endif
                auto connection = rtmidi::openOutput<RtMidiOut>(
                    create<RtMidiOut>("out"),
                    [&](RtMidiOut& out) { return openNamed(out, name, "out"); }, cycles);
                // A new connection carries data only from the cycles after the
                // server has rewired its graph; a message put at once (a request
                // right after the port was reopened) would be lost.
                if (connection)
                    std::this_thread::sleep_for(cycles);
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
                return apiAvailable()
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
            if (!apiAvailable())
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
#if defined(KESTROW_HAVE_JACK)
            if (m_jack)
                return listJack(std::is_same_v<T, RtMidiOut>, last);
#endif
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

#if defined(KESTROW_HAVE_JACK)
        /// RtMidi's JACK lists, read on the shared client instead of a client
        /// per scan: its outputs are the MIDI ports that take data, its inputs
        /// those that give it, full names in the server's order.
        std::vector<std::string> listJack(bool outputs, std::vector<std::string>& last)
        {
            if (!apiAvailable()) {
                last.clear();
                return {};
            }
            auto names = m_jack->midiPorts(outputs ? JackPortIsInput : JackPortIsOutput);
            if (!names)
                return last;
            names->push_back(kJackOwnPort);
            last = std::move(*names);
            return last;
        }
#endif

        /// Asking RtMidi straight away makes libjack and ALSA print complaints
        /// when there is no server or no sequencer; look first, quietly.
        bool apiAvailable()
        {
            if (m_api == RtMidi::LINUX_ALSA)
                return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
#if defined(KESTROW_HAVE_JACK)
            if (m_jack)
                return m_jack->running();
#endif
            return false;
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
#if defined(KESTROW_HAVE_JACK)
        std::shared_ptr<JackSession> m_jack; ///< null but for JACK
#endif
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
