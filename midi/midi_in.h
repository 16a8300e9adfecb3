#pragma once

#include "link/midi_event.h"
#include "midi/midi_port.h"

#include <cstdint>
#include <functional>

namespace kestrow {

class TMidiTrack;

/// A MIDI input port of the driver library. Received events reach
/// OnMidiData one at a time, in arrival order, on the dispatcher's thread;
/// a SysEx message as one call per byte (status F0, the byte in data1).
class TMidiIn : public TMidiPort {
public:
    explicit TMidiIn(TMidiDriver* driver = nullptr);
    /// Closes the port when open and leaves an attached track.
    ~TMidiIn();
    /// accept is true on entry; set it false to drop the event (its time
    /// then moves on to the next one). Active sensing never gets here.
    std::function<void(MidiEvent* event, bool& accept)> OnMidiData;

    /// False, without raising, when the library refuses the device. Does not
    /// start the port. Raises "No MidiDriver", "already open".
    [[nodiscard]] bool Open(std::uint16_t id, std::uint32_t param);
    void Close();
    void Start();
    void Stop();
    void Reset();
    bool IsStarted() const { return m_started; }
    /// The next waiting event, or null; valid until the next call.
    MidiEvent* Get();

    using TMidiPort::Attach;
    using TMidiPort::Detach;
    /// Accepted events are written to the track (while it records).
    void Attach(TMidiTrack* track);
    void Detach(TMidiTrack* track);
    TMidiTrack* Track() const { return m_track; }

    /// What the library's "events waiting" message does: hands every
    /// waiting event on. Runs on the dispatcher's thread.
    void deliverWaiting();

private:
    void handle(std::uint32_t message);
    void reopen() override;

    bool m_started = false;
    std::uint32_t m_timeCarry = 0;
    TMidiTrack* m_track = nullptr;
    MidiEvent m_event;
};

} // namespace kestrow
