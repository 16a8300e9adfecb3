#pragma once

#include "midi/midi_notifier.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestrow {

class TMidiDriver;
class TMidiSync;

/// What TMidiIn and TMidiOut share: the driver, the device the port was
/// opened on (kept for reopening), the device's name, and the clock the
/// library is given at open.
class TMidiPort {
public:
    static constexpr std::uint16_t kNoDevice = 0xFFF0;

    TMidiPort(const TMidiPort&) = delete;
    TMidiPort& operator=(const TMidiPort&) = delete;

    TMidiDriver* Driver = nullptr;

    bool IsOpen() const { return m_isOpen; }
    /// The device's name as it was at open; "" when closed.
    std::string GetDescription() const { return m_description; }
    std::uint16_t GetNumDevices() const;
    /// kNoDevice (FFF0 hex) when no device of the port's kind has that name.
    std::uint16_t GetIDFromName(const std::string& name) const;

    /// The port is opened again so that the library learns of the clock.
    void Attach(TMidiSync* sync);
    void Detach(TMidiSync* sync);
    TMidiSync* Sync() const { return m_sync; }

    void setDispatcher(MidiDispatcher* dispatcher) { m_notifier.setDispatcher(dispatcher); }

protected:
    TMidiPort(TMidiDriver* driver, bool output, std::function<void(std::uint32_t)> handler);
    ~TMidiPort() = default;

    void requireDriver() const;
    /// Open without raising when the library refuses the device (false).
    /// Raises "No MidiDriver", "already open".
    bool openDevice(std::uint16_t id, std::uint32_t param);
    /// After the library closed the handle.
    void forgetDevice();
    /// Close and Open on the same device with the same parameter, when open.
    virtual void reopen() = 0;

    std::uint32_t m_handle = 0;
    std::uint16_t m_deviceId = 0;
    std::uint32_t m_param = 0;

private:
    bool m_output;
    std::string m_description;
    bool m_isOpen = false;
    TMidiSync* m_sync = nullptr;
    MidiNotifier m_notifier;
};

} // namespace kestrow
