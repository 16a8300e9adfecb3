#pragma once

#include "midi_event.h"
#include "midi_notifier.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrow {

class TMidiDriver;
class TMidiSync;
class TMidiTrack;

/// A MIDI input port of the driver library. Received events reach
/// OnMidiData one at a time, in arrival order, on the dispatcher's thread;
/// a SysEx message as one call per byte (status F0, the byte in data1).
class TMidiIn {
public:
    static constexpr std::uint16_t kNoDevice = 0xFFF0;

    explicit TMidiIn(TMidiDriver* driver = nullptr);
    /// Closes the port when open and leaves an attached track.
    ~TMidiIn();
    TMidiIn(const TMidiIn&) = delete;
    TMidiIn& operator=(const TMidiIn&) = delete;

    TMidiDriver* Driver = nullptr;
    /// accept is true on entry; set it false to drop the event (its time
    /// then moves on to the next one). Active sensing never gets here.
    std::function<void(MidiEvent* event, bool& accept)> OnMidiData;

    /// False, without raising, when the library refuses the device. Does not
    /// start the port. Raises "No MidiDriver", "already open".
    bool Open(std::uint16_t id, std::uint32_t param);
    void Close();
    void Start();
    void Stop();
    void Reset();
    bool IsOpen() const { return m_isOpen; }
    bool IsStarted() const { return m_started; }
    std::string GetDescription() const { return m_description; }
    std::uint16_t GetNumDevices() const;
    std::uint16_t GetIDFromName(const std::string& name) const;
    /// The next waiting event, or null; valid until the next call.
    MidiEvent* Get();

    void Attach(TMidiSync* sync);
    void Detach(TMidiSync* sync);
    /// Accepted events are written to the track (while it records).
    void Attach(TMidiTrack* track);
    void Detach(TMidiTrack* track);
    TMidiSync* Sync() const { return m_sync; }
    TMidiTrack* Track() const { return m_track; }

    void setDispatcher(MidiDispatcher* dispatcher) { m_notifier.setDispatcher(dispatcher); }

    /// What the library's "events waiting" message does: hands every
    /// waiting event on. Runs on the dispatcher's thread.
    void deliverWaiting();

private:
    void requireDriver() const;
    void handle(std::uint32_t message);
    void reopen();

    std::uint32_t m_handle = 0;
    std::uint16_t m_deviceId = 0;
    std::uint32_t m_param = 0;
    std::string m_description;
    bool m_isOpen = false;
    bool m_started = false;
    std::uint32_t m_timeCarry = 0;
    TMidiSync* m_sync = nullptr;
    TMidiTrack* m_track = nullptr;
    MidiEvent m_event;
    MidiNotifier m_notifier;
};

} // namespace kestrow
