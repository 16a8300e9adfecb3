#pragma once

#include "platform/mididrv/mididrv.h"
#include "platform/mididrv/port_backend.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace kestrow::mididrv {

/// An open input: the backend hands complete messages in on its own thread;
/// they are split into one event per byte of SysEx (one per short message)
/// and queued without a lock; a notifier thread tells the toolkit that
/// events are waiting, so the backend's thread never waits for anyone.
class InputPort : public InputSink {
public:
    static constexpr std::size_t kCapacity = 1
        << 16; ///< events; more while nobody reads are dropped

    explicit InputPort(MidiDrvNotify notify);
    ~InputPort() override;
    InputPort(const InputPort&) = delete;
    InputPort& operator=(const InputPort&) = delete;

    /// Must be called before the connection may deliver.
    void attach(std::unique_ptr<InputConnection> connection)
    {
        m_connection = std::move(connection);
    }

    void received(std::span<const std::uint8_t> message) override;

    /// Discards what is waiting and takes what arrives from now on.
    void start();
    void stop();

    struct Entry {
        std::uint64_t micros = 0; ///< arrival, steady clock
        MidiDrvEvent event {};
    };
    /// Consumer side: one caller at a time.
    bool pop(Entry& entry);

    std::uint64_t lastMicros = 0; ///< arrival of the last event handed out
    MidiDrvEvent current {}; ///< what GetMidiIn returned last
    std::uint32_t sync = 0;

    std::uint64_t dropped() const { return m_dropped.load(); }

private:
    void push(const MidiDrvEvent& event, std::uint64_t micros);
    void notifierLoop();

    MidiDrvNotify m_notify;
    std::unique_ptr<InputConnection> m_connection;
    std::vector<Entry> m_ring;
    std::atomic<std::size_t> m_head { 0 }; ///< written by the producer
    std::atomic<std::size_t> m_tail { 0 }; ///< written by the consumer
    std::atomic<bool> m_started { false };
    std::atomic<std::uint64_t> m_dropped { 0 };
    bool m_inSysEx = false; ///< producer side only
    std::atomic<int> m_signal { 0 };
    std::atomic<bool> m_quit { false };
    std::thread m_notifier;
};

std::uint64_t steadyMicros();

} // namespace kestrow::mididrv
