#pragma once

#include "midi/midi_event.h"

#include <span>

namespace kestrow {

/// The ports as the protocol needs them. Device indices are those of the
/// settings model's port lists (0-based, "no device" never reaches here).
/// The window adapts its TMidiOut/TMidiIn objects to this; tests use fakes.
class DeviceLink {
public:
    virtual ~DeviceLink() = default;

    /// TMidiOut::IsOpen of output device `device`.
    virtual bool outputIsOpen(int device) const = 0;
    /// TMidiOut::Open(device, 78624); false when it failed.
    virtual bool openOutput(int device) = 0;
    /// TMidiOut::Put of each event in order; one call carries one whole
    /// message (a SysEx run F0..F7, or one channel message).
    virtual void put(int device, std::span<const MidiEvent> events) = 0;
    /// TMidiIn::Stop and TMidiIn::Close when the input component is open.
    virtual void closeInput() = 0;
    /// TMidiIn::Open(device, 78624) and TMidiIn::Start; false when it failed.
    virtual bool openInput(int device) = 0;
};

} // namespace kestrow
