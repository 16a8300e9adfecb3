#pragma once

#include "link/midi_event.h"

#include <span>
#include <string>

namespace kestrow {

/// Outcome of opening a port or sending to it: done, or what failed and why.
struct [[nodiscard]] PortResult {
    bool ok = true;
    std::string reason; ///< names the port and the cause, for the user; empty when ok

    static PortResult success() { return {}; }
    static PortResult failure(std::string reason) { return { false, std::move(reason) }; }
    explicit operator bool() const { return ok; }
};

/// The ports as the protocol needs them. Device indices are those of the
/// settings model's port lists (0-based, "no device" never reaches here).
/// The toolkit's TMidiOut/TMidiIn objects are adapted to this; tests use fakes.
class DeviceLink {
public:
    virtual ~DeviceLink() = default;

    /// TMidiOut::IsOpen of output device `device`.
    virtual bool outputIsOpen(int device) const = 0;
    /// TMidiOut::Open(device, 78624); an open port stays open and succeeds.
    virtual PortResult openOutput(int device) = 0;
    /// TMidiOut::Put of each event in order; one call carries one whole
    /// message (a SysEx run F0..F7, or one channel message). Fails on a port
    /// that is not open and stops at the first event the port does not take.
    virtual PortResult put(int device, std::span<const MidiEvent> events) = 0;
    /// TMidiIn::Stop and TMidiIn::Close when the input component is open.
    virtual void closeInput() = 0;
    /// TMidiIn::Open(device, 78624) and TMidiIn::Start, on the port that
    /// bears input `device`'s name now.
    virtual PortResult openInput(int device) = 0;

    /// Closes output `device` when it is open and opens the port that bears
    /// its name now, so that a device that went and came back is reached
    /// again. Links whose ports cannot go keep an open port.
    virtual PortResult reopenOutput(int device) { return openOutput(device); }
    /// Whether a port of output (input) `device`'s name is there now; may
    /// list the devices afresh, which takes a few milliseconds.
    virtual bool outputPresent(int /*device*/) { return true; }
    virtual bool inputPresent(int /*device*/) { return true; }
};

} // namespace kestrow
