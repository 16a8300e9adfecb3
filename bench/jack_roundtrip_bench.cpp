// jack_roundtrip_bench: request -> reply round trips over a running JACK
// server, for scripts/bench.
//
//   jack_roundtrip_bench loopback NAME          a JACK client NAME that sends
//                                               back every event it gets
//   jack_roundtrip_bench raw NAME COUNT         the floor: a bare JACK client
//                                               asks NAME's loopback COUNT times
//   jack_roundtrip_bench editor NAME COUNT      the editor's path: its port
//                                               objects over libmididrv.so ask
//                                               the device whose ports carry
//                                               NAME for preset 1, COUNT times
//
// raw and editor print the round trips in microseconds on one line: from just
// before the request is handed over to the moment the whole reply has reached
// the main thread. Requests are spaced irregularly, so they meet the server's
// cycle at different phases, the same spacing in both modes.

#include "midi/midi_driver.h"
#include "midi/toolkit_ports.h"
#include "protocol/dump_frame.h"
#include "ui/qt_midi_dispatcher.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

/// Spacing before request i: 3 to 6 ms in steps that do not divide a cycle.
std::chrono::microseconds spacing(int i)
{
    return std::chrono::microseconds(3000 + (i * 1370) % 3000);
}

/// Requests that may go unanswered one after the other (a message lost on a
/// loaded machine) before a run gives up.
constexpr int kLostInARow = 3;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void printRoundTrips(const std::vector<double>& trips)
{
    for (std::size_t i = 0; i < trips.size(); ++i)
        std::printf("%s%.1f", i ? " " : "", trips[i]);
    std::printf("\n");
    std::fflush(stdout);
}

/// A JACK client with one MIDI input and one MIDI output.
class JackClient {
public:
    explicit JackClient(const std::string& name)
    {
        jack_status_t status {};
        m_client = jack_client_open(name.c_str(), JackNoStartServer, &status);
        if (!m_client)
            return;
        m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        m_requests = jack_ringbuffer_create(4096);
        jack_set_process_callback(m_client, &JackClient::process, this);
    }
    ~JackClient()
    {
        if (m_client) {
            jack_deactivate(m_client);
            jack_client_close(m_client);
        }
        if (m_requests)
            jack_ringbuffer_free(m_requests);
    }
    bool ok() const { return m_client && m_in && m_out && m_requests; }
    bool activate() { return jack_activate(m_client) == 0; }
    std::string portName(const char* port) const
    {
        return std::string(jack_get_client_name(m_client)) + ":" + port;
    }
    jack_client_t* client() const { return m_client; }

    /// Loopback: every input event goes out again in the same cycle.
    bool echo = false;
    /// Posted when an event ending in F7 arrives.
    std::counting_semaphore<64> replies { 0 };

    /// Queued for the next cycle (whole message).
    void send(const std::vector<std::uint8_t>& bytes)
    {
        const auto size = static_cast<std::uint32_t>(bytes.size());
        jack_ringbuffer_write(m_requests, reinterpret_cast<const char*>(bytes.data()), size);
        m_queued.fetch_add(size, std::memory_order_release);
    }

private:
    static int process(jack_nframes_t frames, void* self)
    {
        auto& c = *static_cast<JackClient*>(self);
        void* out = jack_port_get_buffer(c.m_out, frames);
        void* in = jack_port_get_buffer(c.m_in, frames);
        jack_midi_clear_buffer(out);
        if (const auto size = c.m_queued.exchange(0, std::memory_order_acquire); size > 0) {
            std::vector<char> bytes(size); // a bench: the allocation is the same in every cycle
            jack_ringbuffer_read(c.m_requests, bytes.data(), size);
            jack_midi_event_write(out, 0, reinterpret_cast<jack_midi_data_t*>(bytes.data()), size);
        }
        const std::uint32_t count = jack_midi_get_event_count(in);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event {};
            if (jack_midi_event_get(&event, in, i) != 0)
                continue;
            if (c.echo)
                jack_midi_event_write(out, event.time, event.buffer, event.size);
            else if (event.size > 0 && event.buffer[event.size - 1] == 0xF7)
                c.replies.release();
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    jack_port_t* m_out = nullptr;
    jack_ringbuffer_t* m_requests = nullptr;
    std::atomic<std::uint32_t> m_queued { 0 };
};

std::atomic<bool> g_stop { false };

int loopback(const std::string& name)
{
    JackClient client(name);
    if (!client.ok())
        return 1;
    client.echo = true;
    if (!client.activate())
        return 1;
    std::signal(SIGTERM, [](int) { g_stop = true; });
    std::signal(SIGINT, [](int) { g_stop = true; });
    std::printf("ready\n");
    std::fflush(stdout);
    while (!g_stop)
        std::this_thread::sleep_for(50ms);
    return 0;
}

int raw(const std::string& loop, int count)
{
    JackClient client("kestrow-bench-raw");
    if (!client.ok() || !client.activate())
        return 1;
    if (jack_connect(client.client(), client.portName("out").c_str(), (loop + ":in").c_str()) != 0
        || jack_connect(client.client(), (loop + ":out").c_str(), client.portName("in").c_str())
            != 0)
        return 1;
    const std::vector<std::uint8_t> request
        = kestrow::requestMessage(kestrow::dump::kPresetRequest, 0).bytes();
    std::vector<double> trips;
    int lost = 0;
    for (int i = -1; i < count; ++i) { // the first one only settles the connections
        std::this_thread::sleep_for(spacing(i + 1));
        const auto start = Clock::now();
        client.send(request);
        if (!client.replies.try_acquire_for(1s)) {
            if (++lost > kLostInARow) {
                std::fprintf(stderr, "jack_roundtrip_bench: no reply from %s\n", loop.c_str());
                return 1;
            }
            --i; // asked again
            continue;
        }
        lost = 0;
        if (i >= 0)
            trips.push_back(micros(Clock::now() - start));
    }
    printRoundTrips(trips);
    return 0;
}

int portWith(const std::vector<std::string>& names, const std::string& part)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].find(part) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

int editor(int argc, char** argv, const std::string& device, int count)
{
    QCoreApplication app(argc, argv);
    kestrow::QtMidiDispatcher dispatcher(&app);
    kestrow::setDefaultMidiDispatcher(&dispatcher);
    int result = 1;
    {
        kestrow::TMidiDriver driver(
            QCoreApplication::applicationDirPath().toStdString() + "/libmididrv.so");
        kestrow::ToolkitMidiPorts ports(driver, dispatcher);
        const int out = portWith(ports.outputNames(), device);
        const int in = portWith(ports.inputNames(), device);
        if (out < 0 || in < 0 || !ports.openOutput(out).ok || !ports.openInput(in).ok) {
            std::fprintf(
                stderr, "jack_roundtrip_bench: the ports of %s did not open\n", device.c_str());
        } else {
            const std::vector<MidiEvent> request
                = kestrow::requestMessage(kestrow::dump::kPresetRequest, 0).events();
            std::vector<double> trips;
            Clock::time_point start;
            std::size_t replyBytes = 0;
            bool settled = false;
            QTimer timeout;
            timeout.setSingleShot(true);
            int lost = 0;
            std::function<void()> next;
            QObject::connect(&timeout, &QTimer::timeout, &app, [&] {
                if (++lost > kLostInARow) {
                    std::fprintf(
                        stderr, "jack_roundtrip_bench: no reply from %s\n", device.c_str());
                    app.exit(1);
                    return;
                }
                next(); // asked again
            });
            // Spaced as in raw mode: the loop has nothing else to do meanwhile.
            next = [&] {
                std::this_thread::sleep_for(spacing(static_cast<int>(trips.size()) + settled));
                replyBytes = 0;
                timeout.start(1000);
                start = Clock::now();
                if (const kestrow::PortResult sent = ports.put(out, request); !sent)
                    std::fprintf(stderr, "jack_roundtrip_bench: %s\n", sent.reason.c_str());
            };
            ports.onInput = [&](const MidiEvent& event) {
                if (event.status != 0xF0)
                    return;
                ++replyBytes;
                if (event.data1 != 0xF7 || replyBytes != kestrow::dump::kPresetDataLength)
                    return;
                lost = 0;
                if (settled)
                    trips.push_back(micros(Clock::now() - start));
                settled = true; // the first one only settles the connections
                timeout.stop();
                if (std::ssize(trips) == count) {
                    app.exit(0);
                    return;
                }
                QTimer::singleShot(0, &app, next);
            };
            QTimer::singleShot(0, &app, next);
            result = app.exec();
            ports.onInput = nullptr;
            ports.closeInput();
            if (result == 0)
                printRoundTrips(trips);
        }
    }
    kestrow::setDefaultMidiDispatcher(nullptr);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string name = argc > 2 ? argv[2] : "";
    const int count = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    if (mode == "loopback" && !name.empty())
        return loopback(name);
    if (mode == "raw" && !name.empty())
        return raw(name, count);
    if (mode == "editor" && !name.empty())
        return editor(argc, argv, name, count);
    std::fprintf(stderr, "usage: jack_roundtrip_bench loopback|raw|editor NAME [COUNT]\n");
    return 2;
}
