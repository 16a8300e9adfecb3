#pragma once

#include "platform/mididrv/mididrv.h"
#include "platform/mididrv/smf_files.h"

#include <cstdint>

/// The driver library's state behind the C functions: device lists, open
/// ports, sync clocks and open files, looked up by handle. The exported
/// functions in exports.cpp only forward here.
namespace kestrow::mididrv {

std::uint16_t numOutDevices();
std::uint16_t outDescription(std::uint16_t id, char* description);
std::uint32_t openOut(const MidiDrvNotify* notify, std::uint16_t id, std::uint32_t sync);
void resetOut(std::uint32_t port);
void flushOut(std::uint32_t port);
void closeOut(std::uint32_t port);
std::uint16_t putOut(std::uint32_t port, const MidiDrvEvent* event);

std::uint16_t numInDevices();
std::uint16_t inDescription(std::uint16_t id, char* description);
std::uint32_t openIn(const MidiDrvNotify* notify, std::uint16_t id, std::uint32_t sync);
void startIn(std::uint32_t port);
void stopIn(std::uint32_t port);
void closeIn(std::uint32_t port);
MidiDrvEvent* getIn(std::uint32_t port);

std::uint32_t openSync(
    std::uint32_t previous, const MidiDrvNotify* notify, std::uint16_t mode, std::uint16_t period);
void closeSync(std::uint32_t sync);
void stopSync(std::uint32_t sync);
void startSync(std::uint32_t sync);
void pauseSync(std::uint32_t sync);
void restartSync(std::uint32_t sync);
void setTempo(std::uint32_t sync, std::uint32_t tempo);
void setResolution(std::uint32_t sync, std::uint16_t resolution);
std::uint32_t getTempo(std::uint32_t sync);
std::uint16_t getResolution(std::uint32_t sync);
std::uint16_t getPosition(std::uint32_t sync, std::uint32_t* ticks);

std::uint32_t outName(std::uint16_t id, char* text, std::uint32_t size);
std::uint32_t inName(std::uint16_t id, char* text, std::uint32_t size);
std::uint32_t systemStatus(std::uint16_t index, char* text, std::uint32_t size);

std::int32_t portChangeDescriptor();
std::uint32_t portChangeCount();

} // namespace kestrow::mididrv
