#pragma once

#include "link/midi_event.h"
#include "midi/midi_port.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrow {

class TMidiScore;

/// What became of an event put to an output port.
enum class PutStatus {
    taken, ///< sent, or kept as a byte of the SysEx message under way
    portClosed, ///< the port is not open
    notMidi, ///< the library dropped it: a byte outside F0..F7, a status below 80 hex
    notSent, ///< the MIDI system did not take the message
};

/// For the user, e.g. "the port is not open".
std::string putStatusText(PutStatus status);

/// A MIDI output port of the driver library. Device ids are 0..n-1 in the
/// order of the driver's output list.
class TMidiOut : public TMidiPort {
public:
    explicit TMidiOut(TMidiDriver* driver = nullptr);
    /// Closes the port when open.
    ~TMidiOut();
    /// Called when the port can take more output, after an attached score
    /// has merged its next events into it.
    std::function<void(TMidiOut*)> OutBufferReady;

    /// False, without raising, when the library refuses the device.
    /// Raises "No MidiDriver", "already open".
    [[nodiscard]] bool Open(std::uint16_t id, std::uint32_t param);
    void Close();
    void Reset();
    void Flush();
    /// True when the library took the event; false on a closed port or
    /// without an event (PutEvent says why).
    bool Put(const MidiEvent* event);
    /// Puts one event and says what became of it.
    [[nodiscard]] PutStatus PutEvent(const MidiEvent& event);

    using TMidiPort::Attach;
    using TMidiPort::Detach;
    void Attach(TMidiScore* score);
    void Detach(TMidiScore* score);

private:
    void handle(std::uint32_t message);
    void reopen() override;

    TMidiScore* m_score = nullptr;
};

/// Copies between the toolkit's and the library's event records.
MidiDrvEvent toDriverEvent(const MidiEvent& event);
MidiEvent fromDriverEvent(const MidiDrvEvent& event);

} // namespace kestrow
