#pragma once

#include "link/device_link.h"
#include "link/midi_event.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrow {

/// The MIDI ports of a run, owned by the editor session: the device names for
/// the settings lists and the port operations the protocol needs. Input events
/// arrive on the user-interface thread through onInput.
class MidiPorts : public DeviceLink {
public:
    /// Output device names in device order (at most 50).
    virtual std::vector<std::string> outputNames() const = 0;
    /// Input device names in device order (at most 50).
    virtual std::vector<std::string> inputNames() const = 0;

    /// One line per MIDI system: its name, whether it can be used and, when
    /// not, why and what to do. Empty when the driver cannot say.
    virtual std::vector<std::string> systemStatus() const { return {}; }

    /// Reads the device lists afresh. A device keeps its port object under its
    /// name (an open output stays open); `keepOutput` / `keepInput` (the
    /// chosen ports, empty for none) stay listed, last, while no port bears
    /// their name.
    virtual void refreshNames(const std::string& /*keepOutput*/, const std::string& /*keepInput*/)
    {
    }
    /// A descriptor that becomes readable after the MIDI system's ports
    /// changed; -1 when the system cannot tell.
    virtual int changeDescriptor() { return -1; }
    /// Changes so far; the descriptor is not readable again until the next one.
    virtual std::uint32_t changeCount() { return 0; }

    /// Every event the open input delivers (MidiIn1MidiData).
    std::function<void(const MidiEvent&)> onInput;
};

/// Why nothing opens or sends when the driver library is missing.
inline constexpr char kNoDriverReason[] = "the MIDI driver library is not loaded";

/// No driver: empty lists, nothing opens, nothing is sent; each says why.
class NoMidiPorts : public MidiPorts {
public:
    std::vector<std::string> systemStatus() const override
    {
        return { std::string("MIDI driver: ") + kNoDriverReason };
    }
    std::vector<std::string> outputNames() const override { return {}; }
    std::vector<std::string> inputNames() const override { return {}; }
    bool outputIsOpen(int) const override { return false; }
    PortResult openOutput(int) override { return PortResult::failure(kNoDriverReason); }
    PortResult put(int, std::span<const MidiEvent>) override
    {
        return PortResult::failure(kNoDriverReason);
    }
    void closeInput() override { }
    PortResult openInput(int) override { return PortResult::failure(kNoDriverReason); }
};

} // namespace kestrow
