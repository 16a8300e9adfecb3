#pragma once

#include "platform/mididrv/jack_client.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kestrow::mididrv {

/// A JACK MIDI input on a client of its own, used instead of RtMidi 5.0's,
/// whose process thread reads the user callback and its data without
/// synchronisation and so may call a null callback, or ours with null data,
/// while an input is being closed. Here JACK's thread only copies events into
/// libjack's lock-free ring buffer, never waits and never allocates; a reader
/// thread of this object hands whole messages to the handler.
class JackMidiInput {
public:
    using Handler = std::function<void(std::span<const std::uint8_t> message)>;

    static constexpr std::size_t kRingBytes = 1 << 20; ///< about 87,000 short messages
    static constexpr std::size_t kMaxMessage = 1 << 16; ///< longer SysEx is dropped

    /// Opens client `clientName` with input `portName`, connected from
    /// `source` unless it is empty. The handler runs on this object's reader
    /// thread, one message at a time. Null when no server answers or the port
    /// cannot be made or connected.
    static std::unique_ptr<JackMidiInput> open(const std::string& clientName,
        const std::string& portName, const std::string& source, Handler handler);

    /// Stops JACK's callbacks, then the reader; what is still queued is
    /// discarded and the handler is not called again.
    ~JackMidiInput();
    JackMidiInput(const JackMidiInput&) = delete;
    JackMidiInput& operator=(const JackMidiInput&) = delete;

    /// "client:port" as JACK names it.
    std::string fullPortName() const;
    /// Events lost because the reader fell behind, or parts of an overlong
    /// or cut-off SysEx, since opening.
    std::uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    JackMidiInput(Handler handler);
    static int process(jack_nframes_t frames, void* self);
    void readerLoop();
    void drain();
    void deliver(std::span<const std::uint8_t> event);

    Handler m_handler;
    std::unique_ptr<JackClient> m_client;
    jack_port_t* m_port = nullptr;
    jack_ringbuffer_t* m_ring = nullptr;
    std::atomic<std::uint64_t> m_dropped { 0 };
    std::atomic<std::uint32_t> m_signal { 0 };
    std::atomic<bool> m_quit { false };
    enum class SysEx : std::uint8_t { none, collecting, skipping };
    SysEx m_sysExState = SysEx::none; ///< reader side, for a SysEx sent in pieces
    std::vector<std::uint8_t> m_sysEx;
    std::thread m_reader;
};

} // namespace kestrow::mididrv
