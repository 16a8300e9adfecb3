#include "platform/mididrv/jack_midi_input.h"

#include <jack/midiport.h>

namespace kestrow::mididrv {

namespace {

    /// Each record in the ring: the event's length, then its bytes.
    using RecordSize = std::uint32_t;

} // namespace

JackMidiInput::JackMidiInput(Handler handler)
    : m_handler(std::move(handler))
{
}

std::unique_ptr<JackMidiInput> JackMidiInput::open(const std::string& clientName,
    const std::string& portName, const std::string& source, Handler handler)
{
    std::unique_ptr<JackMidiInput> input(new JackMidiInput(std::move(handler)));
    input->m_ring = jack_ringbuffer_create(kRingBytes);
    input->m_client = JackClient::open(clientName);
    if (!input->m_ring || !input->m_client)
        return nullptr;
    const auto held = JackClient::hold();
    jack_client_t* client = input->m_client->get();
    if (client == nullptr)
        return nullptr;
    input->m_port
        = jack_port_register(client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!input->m_port)
        return nullptr;
    input->m_reader = std::thread([self = input.get()] { self->readerLoop(); });
    if (jack_set_process_callback(client, process, input.get()) != 0 || jack_activate(client) != 0)
        return nullptr;
    if (!source.empty() && jack_connect(client, source.c_str(), jack_port_name(input->m_port)) != 0)
        return nullptr;
    return input;
}

JackMidiInput::~JackMidiInput()
{
    // Closing deactivates first, and libjack joins its process thread
    // before that returns: nothing is written into the ring after this.
    m_client.reset();
    m_quit.store(true);
    m_signal.store(1);
    m_signal.notify_one();
    if (m_reader.joinable())
        m_reader.join();
    if (m_ring)
        jack_ringbuffer_free(m_ring);
}

std::string JackMidiInput::fullPortName() const
{
    const auto held = JackClient::hold();
    return m_port && m_client->get() ? jack_port_name(m_port) : "";
}

int JackMidiInput::process(jack_nframes_t frames, void* arg)
{
    // JACK's real-time thread, which libjack cancels asynchronously when the
    // client closes: no locks, no allocation, and every record is either
    // whole or not yet visible to the reader.
    auto& self = *static_cast<JackMidiInput*>(arg);
    void* buffer = jack_port_get_buffer(self.m_port, frames);
    const std::uint32_t count = buffer ? jack_midi_get_event_count(buffer) : 0;
    bool queued = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
            continue;
        const auto size = static_cast<RecordSize>(event.size);
        if (event.size > kMaxMessage
            || jack_ringbuffer_write_space(self.m_ring) < sizeof size + event.size) {
            self.m_dropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        // The reader takes a record only once its length and all its bytes are in.
        jack_ringbuffer_write(self.m_ring, reinterpret_cast<const char*>(&size), sizeof size);
        jack_ringbuffer_write(self.m_ring, reinterpret_cast<const char*>(event.buffer), size);
        queued = true;
    }
    if (queued && self.m_signal.exchange(1) == 0)
        self.m_signal.notify_one();
    return 0;
}

void JackMidiInput::readerLoop()
{
    for (;;) {
        m_signal.wait(0);
        if (m_quit.load())
            return;
        m_signal.store(0);
        drain();
    }
}

void JackMidiInput::drain()
{
    std::vector<std::uint8_t> event;
    while (!m_quit.load(std::memory_order_relaxed)) {
        RecordSize size = 0;
        const std::size_t ready = jack_ringbuffer_read_space(m_ring);
        if (ready < sizeof size
            || jack_ringbuffer_peek(m_ring, reinterpret_cast<char*>(&size), sizeof size)
                != sizeof size
            || ready < sizeof size + size)
            return; // the rest comes with the next signal
        jack_ringbuffer_read_advance(m_ring, sizeof size);
        event.resize(size);
        jack_ringbuffer_read(m_ring, reinterpret_cast<char*>(event.data()), size);
        deliver(event);
    }
}

void JackMidiInput::deliver(std::span<const std::uint8_t> event)
{
    const std::uint8_t first = event.front();
    if (first >= 0xF8) { // realtime, which may fall between the pieces of a SysEx
        m_handler(event);
        return;
    }
    const bool piece = first < 0x80 || first == 0xF7;
    if (m_sysExState != SysEx::none && !piece) { // a new message cuts a SysEx off
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        m_sysEx.clear();
        m_sysExState = SysEx::none;
    }
    if (m_sysExState == SysEx::none) {
        if (first != 0xF0 || event.back() == 0xF7) {
            m_handler(event);
            return;
        }
        m_sysExState = SysEx::collecting;
    }
    const bool last = event.back() == 0xF7;
    if (m_sysExState == SysEx::collecting) {
        if (m_sysEx.size() + event.size() <= kMaxMessage) {
            m_sysEx.insert(m_sysEx.end(), event.begin(), event.end());
            if (last)
                m_handler(m_sysEx);
        } else {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            m_sysExState = SysEx::skipping;
        }
    }
    if (last) {
        m_sysEx.clear();
        m_sysExState = SysEx::none;
    }
}

} // namespace kestrow::mididrv
