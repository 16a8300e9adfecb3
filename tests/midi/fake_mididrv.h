#pragma once

#include "platform/mididrv/mididrv.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

/// A scripted stand-in for libmididrv.so: tests set what it answers and read
/// what it was asked. Reached with dlsym(handle, "FakeDrvState_get").
struct FakeDrvState {
    std::vector<std::string> calls; ///< names of the functions called, in order
    std::vector<std::string> outNames { "Fake Out A", "Fake Out B" };
    std::vector<std::string> inNames { "Fake In A" };
    std::uint32_t openResult = 0x1234; ///< what OpenMidiOut/OpenMidiIn return
    std::uint32_t lastSync = 0; ///< sync handle passed to the last open
    MidiDrvNotify inNotify {};
    MidiDrvNotify outNotify {};
    std::deque<MidiDrvEvent> input; ///< handed out by GetMidiIn
    MidiDrvEvent current {};
    std::vector<MidiDrvEvent> put; ///< what PutMidiOut received
    std::uint16_t putResult = 0;
    std::vector<MidiDrvEvent> smfEvents; ///< track 0 of the "file"
    std::size_t smfPosition = 0;
    std::vector<std::int32_t> readRooms; ///< room of every ReadSMF call
    std::int32_t smfTracks = 1;

    void reset() { *this = FakeDrvState {}; }
    int count(const std::string& name) const
    {
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }
};

using FakeDrvStateFn = FakeDrvState* (*)();
