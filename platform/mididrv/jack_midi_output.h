#pragma once

#include "platform/mididrv/jack_client.h"

#include <atomic>
#include <cstdint>
#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kestrow::mididrv {

/// A JACK MIDI output on a client of its own, used instead of RtMidi 5.0's.
/// That one unregisters its port while its client keeps running, and its
/// process callback hands whatever jack_port_get_buffer returns to
/// jack_midi_clear_buffer: PipeWire's JACK returns null for a port being
/// unregistered and says "'mb != NULL' failed" each such cycle. Ours never
/// unregisters (closing the client stops the callbacks first) and skips a
/// cycle without a buffer, its messages waiting. The sender only puts whole
/// messages into libjack's lock-free ring; JACK's thread writes each as one event.
class JackMidiOutput {
public:
    static constexpr std::size_t kRingBytes = 1 << 16;
    /// The largest message a send takes, with its length in front it fills the ring.
    static constexpr std::size_t kMaxMessage = kRingBytes - 1 - sizeof(std::uint32_t);

    /// Opens client `clientName` with output `portName`, connected to
    /// `destination` unless it is empty. Null when no server answers or the
    /// port cannot be made or connected.
    static std::unique_ptr<JackMidiOutput> open(
        const std::string& clientName, const std::string& portName, const std::string& destination);

    /// Gives what is queued up to a second to leave, then closes the client.
    ~JackMidiOutput();
    JackMidiOutput(const JackMidiOutput&) = delete;
    JackMidiOutput& operator=(const JackMidiOutput&) = delete;

    /// Queues one whole message (a SysEx F0..F7 or a short message) for the
    /// next cycle. False when the ring has no room for it, the port's buffer
    /// could never hold it or the server has gone; messages come paced, so a
    /// full ring means JACK stopped taking them.
    [[nodiscard]] bool send(std::span<const std::uint8_t> message);

    /// "client:port" as JACK names it.
    std::string fullPortName() const;
    /// Messages that did not fit even an empty port buffer, since opening.
    std::uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    JackMidiOutput() = default;
    static int process(jack_nframes_t frames, void* self);
    void flush();

    std::unique_ptr<JackClient> m_client;
    jack_port_t* m_port = nullptr;
    jack_ringbuffer_t* m_ring = nullptr;
    std::vector<std::uint8_t> m_scratch; ///< JACK's thread: one record, never reallocated
    std::mutex m_sendMutex; ///< the ring takes one writer at a time
    std::uint64_t m_queued = 0; ///< under m_sendMutex
    std::atomic<std::uint64_t> m_taken { 0 }; ///< messages out of the ring, written or dropped
    std::atomic<std::uint64_t> m_cycles { 0 };
    std::atomic<std::uint64_t> m_dropped { 0 };
    std::atomic<std::size_t> m_capacity {
        0
    }; ///< the largest event an empty buffer takes; 0 before
};

} // namespace kestrow::mididrv
