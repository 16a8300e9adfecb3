#include "platform/mididrv/port_backend.h"
#include "platform/mididrv/port_watch.h"
#include "platform/mididrv/rtmidi_connections.h"

#include <RtMidi.h>

#if defined(KESTROW_HAVE_JACK)
#include "platform/mididrv/jack_session.h"
#endif
#if defined(KESTROW_HAVE_ALSA_WATCH)
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <map>
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

    /// Where the trailing " 20:0" of "Client:Port 20:0" starts (its blank),
    /// or npos when the name has none.
    std::size_t addressStart(const std::string& raw)
    {
        auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
        std::size_t end = raw.size();
        std::size_t i = end;
        while (i > 0 && isDigit(raw[i - 1]))
            --i;
        if (i == end || i == 0 || raw[i - 1] != ':')
            return std::string::npos;
        std::size_t colon = --i;
        while (i > 0 && isDigit(raw[i - 1]))
            --i;
        if (i == colon || i == 0 || raw[i - 1] != ' ')
            return std::string::npos;
        while (i > 0 && raw[i - 1] == ' ')
            --i;
        return i;
    }

    /// "Client:Port 20:0" without the trailing " 20:0".
    std::string withoutAddress(const std::string& raw)
    {
        const std::size_t start = addressStart(raw);
        return start == std::string::npos ? raw : raw.substr(0, start);
    }

    /// "20:0" of "Client:Port 20:0"; empty when there is none.
    std::string addressOf(const std::string& raw)
    {
        const std::size_t start = addressStart(raw);
        if (start == std::string::npos)
            return {};
        const std::size_t digits = raw.find_first_not_of(' ', start);
        return raw.substr(digits);
    }

    bool ownPort(const std::string& name) { return name.starts_with(kOwnClientPrefix); }

    /// An order for each ALSA sequencer client: a card's device path in sysfs
    /// (for USB the port it is plugged into, which stays when devices are
    /// plugged in another order), else the client number.
    std::map<int, std::string> alsaClientOrder()
    {
        std::map<int, std::string> order;
#if defined(KESTROW_HAVE_ALSA_WATCH)
        snd_seq_t* seq = nullptr;
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0)
            return order;
        snd_seq_set_client_name(seq, "kestrow-scan");
        snd_seq_client_info_t* info = nullptr;
        snd_seq_client_info_alloca(&info);
        snd_seq_client_info_set_client(info, -1);
        while (snd_seq_query_next_client(seq, info) >= 0) {
            const int client = snd_seq_client_info_get_client(info);
            char number[16];
            std::snprintf(number, sizeof number, "~%05d", client);
            std::string key = number;
            if (const int card = snd_seq_client_info_get_card(info); card >= 0) {
                std::error_code error;
                const auto device = std::filesystem::canonical(
                    "/sys/class/sound/card" + std::to_string(card) + "/device", error);
                if (!error)
                    key = device.string();
            }
            order[client] = key;
        }
        snd_seq_close(seq);
#endif
        return order;
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

        std::vector<PortInfo> outputs() override { return list<RtMidiOut>(); }
        std::vector<PortInfo> inputs() override { return list<RtMidiIn>(); }

        std::string status() override
        {
            if (m_api == RtMidi::LINUX_ALSA) {
                constexpr const char* kDevice = "/dev/snd/seq";
                if (::access(kDevice, R_OK | W_OK) == 0)
                    return "ALSA sequencer: ready";
                const int error = errno;
                if (error == ENOENT)
                    return "ALSA sequencer: /dev/snd/seq is missing \u2014 load the kernel's "
                           "sequencer (modprobe snd-seq) or plug in a MIDI device";
                if (error == EACCES || error == EPERM)
                    return "ALSA sequencer: /dev/snd/seq: permission denied \u2014 add your user "
                           "to the audio group, then log in again";
                return std::string("ALSA sequencer: /dev/snd/seq: ") + std::strerror(error);
            }
            if (apiAvailable())
                return "JACK: ready";
            return "JACK: no server answers \u2014 start PipeWire's JACK support or jackd if "
                   "your devices are there";
        }

        std::unique_ptr<OutputConnection> openOutput(const PortInfo& target) override
        {
#if defined(KESTROW_HAVE_JACK)
            // RtMidi's JACK output clears the null buffer PipeWire gives its
            // port while the port is unregistered (see jack_midi_output.h);
            // JACK outputs are our own.
            if (m_api == RtMidi::UNIX_JACK) {
                if (!apiAvailable())
                    return nullptr;
                const auto cycles
                    = std::chrono::microseconds(std::clamp(4 * m_jack->cycle(), 5000L, 50000L));
                auto connection = openJackOutput(
                    clientName("out"), target.address == kJackOwnPort ? "" : target.address);
                // A new connection carries data only from the cycles after the
                // server has rewired its graph; a message put at once (a request
                // right after the port was reopened) would be lost.
                if (connection)
                    std::this_thread::sleep_for(cycles);
                return connection;
            }
#endif
            try {
                return rtmidi::openOutput<RtMidiOut>(create<RtMidiOut>("out"),
                    [&](RtMidiOut& out) { return openNamed(out, target, "out"); });
            } catch (const RtMidiError& error) {
                rtmidi::debugLog(error.getMessage());
                return nullptr;
            }
        }

        std::unique_ptr<InputConnection> openInput(const PortInfo& target, InputSink& sink) override
        {
#if defined(KESTROW_HAVE_JACK)
            // RtMidi's JACK input does not stop its thread on closing (see
            // jack_midi_input.h); JACK inputs are our own.
            if (m_api == RtMidi::UNIX_JACK)
                return apiAvailable() ? openJackInput(clientName("in"),
                           target.address == kJackOwnPort ? "" : target.address, sink)
                                      : nullptr;
#endif
            try {
                return rtmidi::openInput<RtMidiIn>(
                    create<RtMidiIn>("in"),
                    [&](RtMidiIn& in) { return openNamed(in, target, "in"); }, sink);
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
        /// Our own ports and other Kestrow processes' are left out: a user
        /// never means them, and they would move the other entries about.
        template <typename T> std::vector<PortInfo> list()
        {
            auto& last = std::is_same_v<T, RtMidiOut> ? m_lastOutputs : m_lastInputs;
#if defined(KESTROW_HAVE_JACK)
            if (m_jack)
                return listJack(std::is_same_v<T, RtMidiOut>, last);
#endif
            std::vector<PortInfo> ports;
            bool failed = false;
            try {
                auto port = create<T>("scan", &failed);
                if (!port) {
                    last.clear();
                    return ports;
                }
                unsigned count = port->getPortCount();
                for (unsigned i = 0; i < count && !failed; ++i) {
                    const std::string raw = port->getPortName(i);
                    if (!ownPort(raw))
                        ports.push_back({ stableName(raw), addressOf(raw), {} });
                }
            } catch (const RtMidiError&) {
                failed = true;
            }
            if (failed)
                return last;
            if (m_api == RtMidi::LINUX_ALSA) {
                const auto order = alsaClientOrder();
                for (PortInfo& port : ports) {
                    const auto client = order.find(std::atoi(port.address.c_str()));
                    if (client != order.end())
                        port.order = client->second + " "
                            + port.address.substr(
                                std::min(port.address.find(':'), port.address.size()));
                }
            }
            last = ports;
            return ports;
        }

#if defined(KESTROW_HAVE_JACK)
        /// RtMidi's JACK lists, read on the shared client instead of a client
        /// per scan: its outputs are the MIDI ports that take data, its inputs
        /// those that give it, full names in the server's order.
        std::vector<PortInfo> listJack(bool outputs, std::vector<PortInfo>& last)
        {
            if (!apiAvailable()) {
                last.clear();
                return {};
            }
            auto names = m_jack->midiPorts(outputs ? JackPortIsInput : JackPortIsOutput);
            if (!names)
                return last;
            std::vector<PortInfo> ports;
            for (std::string& name : *names)
                if (!ownPort(name))
                    ports.push_back({ name, name, {} });
            ports.push_back({ kJackOwnPort, kJackOwnPort, {} });
            last = std::move(ports);
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

        /// Opens exactly the ALSA port listed as `target`: indices move when
        /// devices come and go, and a name may be shared by several devices.
        template <typename T>
        bool openNamed(T& port, const PortInfo& target, const char* ownPortName)
        {
            unsigned count = port.getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                const std::string raw = port.getPortName(i);
                if (addressOf(raw) == target.address && stableName(raw) == target.name) {
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
        std::vector<PortInfo> m_lastOutputs;
        std::vector<PortInfo> m_lastInputs;
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
