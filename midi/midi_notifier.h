#pragma once

#include "midi/midi_dispatcher.h"
#include "platform/mididrv/mididrv.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace kestrow {

/// The bridge between the driver library's callback (any thread) and a
/// toolkit object's message handler (the dispatcher's thread), in the role
/// of a hidden message window. Messages posted before the owner is
/// destroyed but not yet run are dropped.
class MidiNotifier {
public:
    explicit MidiNotifier(std::function<void(std::uint32_t)> handler);
    ~MidiNotifier();
    MidiNotifier(const MidiNotifier&) = delete;
    MidiNotifier& operator=(const MidiNotifier&) = delete;

    /// What the open functions are given.
    const MidiDrvNotify* notify() const { return &m_notify; }
    /// Null follows the process-wide default.
    void setDispatcher(MidiDispatcher* dispatcher) { m_dispatcher.store(dispatcher); }
    MidiDispatcher& dispatcher() const;

private:
    static void received(void* context, std::uint32_t message);

    MidiDrvNotify m_notify {};
    std::atomic<MidiDispatcher*> m_dispatcher { nullptr };
    std::function<void(std::uint32_t)> m_handler;
    std::shared_ptr<bool> m_alive;
};

} // namespace kestrow
