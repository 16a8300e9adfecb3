// Our JACK MIDI output against this binary's stand-ins for libjack's client
// calls, whose port has no buffer for some cycles (as PipeWire's while it goes).
#include "platform/mididrv/jack_midi_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Message = std::vector<std::uint8_t>;

/// One client and port; while active, each cycle hands on what the client
/// left in the port's buffer, as JACK would.
struct FakeJack {
    int client = 0;
    int port = 0;
    JackProcessCallback process = nullptr;
    void* processArg = nullptr;
    std::thread cycles;
    std::atomic<bool> running { false };
    std::atomic<bool> bufferReady { false };
    std::atomic<int> cyclesRun { 0 };
    std::atomic<int> nullCleared { 0 };

    std::vector<Message> buffer; ///< the process thread's alone
    std::mutex mutex;
    std::vector<Message> delivered;

    void run()
    {
        while (running.load()) {
            process(64, processArg);
            {
                std::lock_guard lock(mutex);
                delivered.insert(delivered.end(), buffer.begin(), buffer.end());
            }
            ++cyclesRun;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

FakeJack g_jack;

} // namespace

extern "C" {

// Not jackd's library, so no server socket is looked for.
const char* jack_get_version_string() { return "fake"; }

jack_client_t* jack_client_open(const char*, jack_options_t, jack_status_t*, ...)
{
    return reinterpret_cast<jack_client_t*>(&g_jack.client);
}

jack_port_t* jack_port_register(
    jack_client_t*, const char*, const char*, unsigned long, unsigned long)
{
    return reinterpret_cast<jack_port_t*>(&g_jack.port);
}

const char* jack_port_name(const jack_port_t*) { return "kestrow-out-1:out"; }

int jack_set_process_callback(jack_client_t*, JackProcessCallback callback, void* arg)
{
    g_jack.process = callback;
    g_jack.processArg = arg;
    return 0;
}

void jack_on_shutdown(jack_client_t*, JackShutdownCallback, void*) { }

int jack_activate(jack_client_t*)
{
    g_jack.running = true;
    g_jack.cycles = std::thread([] { g_jack.run(); });
    return 0;
}

int jack_client_close(jack_client_t*)
{
    g_jack.running = false;
    if (g_jack.cycles.joinable())
        g_jack.cycles.join();
    return 0;
}

void* jack_port_get_buffer(jack_port_t*, jack_nframes_t)
{
    return g_jack.bufferReady.load() ? &g_jack.buffer : nullptr;
}

void jack_midi_clear_buffer(void* buffer)
{
    if (buffer == nullptr) {
        ++g_jack.nullCleared;
        return;
    }
    static_cast<std::vector<Message>*>(buffer)->clear();
}

size_t jack_midi_max_event_size(void* buffer) { return buffer ? 32768 : 0; }

int jack_midi_event_write(void* buffer, jack_nframes_t, const jack_midi_data_t* data, size_t size)
{
    if (buffer == nullptr)
        return -EINVAL;
    static_cast<std::vector<Message>*>(buffer)->emplace_back(data, data + size);
    return 0;
}

} // extern "C"

TEST(JackMidiOutput, CyclesWithoutABufferTouchNothingAndWhatWasSentMeanwhileLeavesWhole)
{
    auto output = kestrow::mididrv::JackMidiOutput::open("kestrow-out-1", "out", "");
    ASSERT_NE(output, nullptr);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_jack.cyclesRun.load() < 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(g_jack.cyclesRun.load(), 3) << "the stand-in ran no cycles";

    Message sysEx { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x20, 0x05 };
    for (int i = 0; i < 300; ++i)
        sysEx.push_back(static_cast<std::uint8_t>(i & 0x7F));
    sysEx.push_back(0xF7);
    const Message noteOn { 0x90, 0x3C, 0x64 };
    EXPECT_TRUE(output->send(noteOn));
    EXPECT_TRUE(output->send(sysEx));
    const int nullCycles = g_jack.cyclesRun.load() + 2;
    while (g_jack.cyclesRun.load() < nullCycles && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    // The buffer appears; closing gives what is queued its cycle first.
    g_jack.bufferReady = true;
    output.reset();

    EXPECT_EQ(g_jack.nullCleared.load(), 0);
    std::lock_guard lock(g_jack.mutex);
    EXPECT_EQ(g_jack.delivered, (std::vector<Message> { noteOn, sysEx }));
}
