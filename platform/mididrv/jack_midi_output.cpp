#include "platform/mididrv/jack_midi_output.h"

#include <chrono>
#include <jack/midiport.h>
#include <thread>

namespace kestrow::mididrv {

namespace {

    /// Each record in the ring: the message's length, then its bytes.
    using RecordSize = std::uint32_t;

    /// As long as RtMidi's close waited for its ring to empty.
    constexpr std::chrono::seconds kFlushWithin { 1 };

} // namespace

std::unique_ptr<JackMidiOutput> JackMidiOutput::open(
    const std::string& clientName, const std::string& portName, const std::string& destination)
{
    std::unique_ptr<JackMidiOutput> output(new JackMidiOutput);
    output->m_ring = jack_ringbuffer_create(kRingBytes);
    output->m_scratch.resize(kRingBytes);
    output->m_client = JackClient::open(clientName);
    if (!output->m_ring || !output->m_client)
        return nullptr;
    const auto held = JackClient::hold();
    jack_client_t* client = output->m_client->get();
    if (client == nullptr)
        return nullptr;
    // The port exists before the first cycle, so a process callback never
    // sees a half-made output.
    output->m_port
        = jack_port_register(client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!output->m_port)
        return nullptr;
    if (jack_set_process_callback(client, process, output.get()) != 0 || jack_activate(client) != 0)
        return nullptr;
    if (!destination.empty()
        && jack_connect(client, jack_port_name(output->m_port), destination.c_str()) != 0)
        return nullptr;
    return output;
}

JackMidiOutput::~JackMidiOutput()
{
    if (m_client)
        flush();
    // Closing deactivates first, and libjack joins its process thread
    // before that returns: nothing reads the ring after this.
    m_client.reset();
    if (m_ring)
        jack_ringbuffer_free(m_ring);
}

void JackMidiOutput::flush()
{
    const std::uint64_t queued = [this] {
        std::lock_guard lock(m_sendMutex);
        return m_queued;
    }();
    if (queued == 0)
        return;
    const auto until = std::chrono::steady_clock::now() + kFlushWithin;
    const auto waitFor = [&](auto done) {
        while (!done() && m_client->alive() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    waitFor([&] { return m_taken.load() >= queued; });
    // The cycle that wrote the last message may still be under way, and the
    // receiving client reads our buffer only after it: two more cycles.
    const std::uint64_t cycles = m_cycles.load();
    waitFor([&] { return m_cycles.load() >= cycles + 2; });
}

bool JackMidiOutput::send(std::span<const std::uint8_t> message)
{
    const std::size_t capacity = m_capacity.load(std::memory_order_relaxed);
    if (message.empty() || message.size() > kMaxMessage
        || (capacity > 0 && message.size() > capacity))
        return false;
    const auto size = static_cast<RecordSize>(message.size());
    std::lock_guard lock(m_sendMutex);
    if (!m_client->alive() || jack_ringbuffer_write_space(m_ring) < sizeof size + size)
        return false;
    // JACK's thread takes a record only once its length and all its bytes are in.
    jack_ringbuffer_write(m_ring, reinterpret_cast<const char*>(&size), sizeof size);
    jack_ringbuffer_write(m_ring, reinterpret_cast<const char*>(message.data()), size);
    ++m_queued;
    return true;
}

std::string JackMidiOutput::fullPortName() const
{
    const auto held = JackClient::hold();
    return m_port && m_client->get() ? jack_port_name(m_port) : "";
}

int JackMidiOutput::process(jack_nframes_t frames, void* arg)
{
    // JACK's real-time thread, which libjack cancels asynchronously when the
    // client closes: no locks, no allocation.
    auto& self = *static_cast<JackMidiOutput*>(arg);
    void* buffer = jack_port_get_buffer(self.m_port, frames);
    if (buffer == nullptr)
        return 0; // no buffer set up yet: the messages wait in the ring
    jack_midi_clear_buffer(buffer);
    self.m_capacity.store(jack_midi_max_event_size(buffer), std::memory_order_relaxed);
    int written = 0;
    for (;;) {
        RecordSize size = 0;
        const std::size_t ready = jack_ringbuffer_read_space(self.m_ring);
        if (ready < sizeof size
            || jack_ringbuffer_peek(self.m_ring, reinterpret_cast<char*>(&size), sizeof size)
                != sizeof size
            || ready < sizeof size + size)
            break;
        // A record may wrap around the ring's end; the event needs it whole.
        char* record = reinterpret_cast<char*>(self.m_scratch.data());
        jack_ringbuffer_peek(self.m_ring, record, sizeof size + size);
        const auto* bytes = reinterpret_cast<const jack_midi_data_t*>(record + sizeof size);
        if (jack_midi_event_write(buffer, 0, bytes, size) == 0)
            ++written;
        else if (written > 0)
            break; // this cycle's buffer is full: the rest next cycle, in order
        else
            self.m_dropped.fetch_add(
                1, std::memory_order_relaxed); // not even an empty one takes it
        jack_ringbuffer_read_advance(self.m_ring, sizeof size + size);
        self.m_taken.fetch_add(1, std::memory_order_release);
    }
    self.m_cycles.fetch_add(1, std::memory_order_release);
    return 0;
}

} // namespace kestrow::mididrv
