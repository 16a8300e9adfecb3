#pragma once

#include "midi_event.h"
#include "midi_notifier.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrow {

class TMidiDriver;
class TMidiScore;
class TMidiSync;

/// A MIDI output port of the driver library. Device ids are 0..n-1 in the
/// order of the driver's output list.
class TMidiOut {
public:
    static constexpr std::uint16_t kNoDevice = 0xFFF0;

    explicit TMidiOut(TMidiDriver* driver = nullptr);
    /// Closes the port when open.
    ~TMidiOut();
    TMidiOut(const TMidiOut&) = delete;
    TMidiOut& operator=(const TMidiOut&) = delete;

    TMidiDriver* Driver = nullptr;
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
    bool IsOpen() const { return m_isOpen; }
    /// The device's name as it was at open; "" when closed.
    std::string GetDescription() const { return m_description; }
    std::uint16_t GetNumDevices() const;
    /// kNoDevice (FFF0 hex) when no output device has that name.
    std::uint16_t GetIDFromName(const std::string& name) const;

    void Attach(TMidiSync* sync);
    void Detach(TMidiSync* sync);
    void Attach(TMidiScore* score);
    void Detach(TMidiScore* score);
    TMidiSync* Sync() const { return m_sync; }

    void setDispatcher(MidiDispatcher* dispatcher) { m_notifier.setDispatcher(dispatcher); }

private:
    void requireDriver() const;
    void handle(std::uint32_t message);
    void reopen();

    std::uint32_t m_handle = 0;
    std::uint16_t m_deviceId = 0;
    std::uint32_t m_param = 0;
    std::string m_description;
    bool m_isOpen = false;
    TMidiSync* m_sync = nullptr;
    TMidiScore* m_score = nullptr;
    MidiNotifier m_notifier;
};

/// Copies between the toolkit's and the library's event records.
MidiDrvEvent toDriverEvent(const MidiEvent& event);
MidiEvent fromDriverEvent(const MidiDrvEvent& event);

} // namespace kestrow
