#pragma once

#include "midi_event.h"
#include "midi_port.h"

#include <cstdint>
#include <functional>

namespace kestrow {

class TMidiScore;

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
    bool Open(std::uint16_t id, std::uint32_t param);
    void Close();
    void Reset();
    void Flush();
    /// True when the library took the event, and on a closed port.
    bool Put(const MidiEvent* event);

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
