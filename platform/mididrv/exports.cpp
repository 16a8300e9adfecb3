// The C interface of libmididrv.so. Only these functions are visible; a
// test build leaves out WriteMetaEvent to show how the toolkit copes with an
// incomplete library.
#include "platform/mididrv/driver.h"
#include "platform/mididrv/mididrv.h"

using namespace kestrow::mididrv;

namespace {

/// Major 1, minor 0.
constexpr uint16_t kVersion = 0x0100;

} // namespace

extern "C" {

uint16_t GetDriverVersion(void) { return kVersion; }

uint16_t GetNumOutDevices(void) { return numOutDevices(); }
uint16_t GetMidiOutDescription(uint16_t id, char* description)
{
    return outDescription(id, description);
}
uint32_t OpenMidiOut(const MidiDrvNotify* notify, uint16_t id, uint32_t sync, uint32_t)
{
    return openOut(notify, id, sync);
}
void ResetMidiOut(uint32_t port) { resetOut(port); }
void FlushMidiOut(uint32_t port) { flushOut(port); }
void CloseMidiOut(uint32_t port) { closeOut(port); }
uint16_t PutMidiOut(uint32_t port, const MidiDrvEvent* event) { return putOut(port, event); }

uint16_t GetNumInDevices(void) { return numInDevices(); }
uint16_t GetMidiInDescription(uint16_t id, char* description)
{
    return inDescription(id, description);
}
uint32_t OpenMidiIn(const MidiDrvNotify* notify, uint16_t id, uint32_t sync, uint32_t)
{
    return openIn(notify, id, sync);
}
void StartMidiIn(uint32_t port) { startIn(port); }
void StopMidiIn(uint32_t port) { stopIn(port); }
void CloseMidiIn(uint32_t port) { closeIn(port); }
MidiDrvEvent* GetMidiIn(uint32_t port) { return getIn(port); }

uint32_t OpenSync(uint32_t previous, const MidiDrvNotify* notify, uint16_t mode, uint16_t period)
{
    return openSync(previous, notify, mode, period);
}
void CloseSync(uint32_t sync) { closeSync(sync); }
void StopSync(uint32_t sync) { stopSync(sync); }
void StartSync(uint32_t sync) { startSync(sync); }
void PauseSync(uint32_t sync, int32_t) { pauseSync(sync); }
void ReStartSync(uint32_t sync) { restartSync(sync); }
void SetTempo(uint32_t sync, uint32_t tempo) { setTempo(sync, tempo); }
void SetResolution(uint32_t sync, uint16_t resolution) { setResolution(sync, resolution); }
uint32_t GetTempo(uint32_t sync) { return getTempo(sync); }
uint16_t GetResolution(uint32_t sync) { return getResolution(sync); }
uint16_t GetPosition(uint32_t sync, uint32_t* ticks) { return getPosition(sync, ticks); }

uint32_t OpenSMF(const char* fileName, int32_t* format, char mode, int32_t* numTracks)
{
    return openSmf(fileName, format, mode, numTracks);
}
void CloseSMF(uint32_t smf) { closeSmf(smf); }
void RewindSMF(uint32_t smf) { rewindSmf(smf); }
int32_t ReadSMF(uint32_t smf, int32_t track, MidiDrvEvent* buffer, int32_t room)
{
    return readSmf(smf, track, buffer, room);
}
int32_t WriteSMF(uint32_t smf, int32_t track, const MidiDrvEvent* buffer, int32_t count)
{
    return writeSmf(smf, track, buffer, count);
}
uint16_t GetSMFResolution(uint32_t smf) { return getSmfResolution(smf); }
void SetSMFResolution(uint32_t smf, uint16_t resolution) { setSmfResolution(smf, resolution); }
int32_t ReadMetaEvent(
    uint32_t smf, int32_t track, uint8_t type, const uint8_t** data, int32_t* length)
{
    return readMeta(smf, track, type, data, length);
}
#if !defined(KESTROW_MIDIDRV_OMIT_WRITEMETA)
int32_t WriteMetaEvent(
    uint32_t smf, int32_t track, uint8_t type, const uint8_t* data, int32_t length)
{
    return writeMeta(smf, track, type, data, length);
}
#endif

uint32_t GetMidiOutName(uint16_t id, char* name, uint32_t size) { return outName(id, name, size); }
uint32_t GetMidiInName(uint16_t id, char* name, uint32_t size) { return inName(id, name, size); }
uint32_t GetMidiSystemStatus(uint16_t index, char* text, uint32_t size)
{
    return systemStatus(index, text, size);
}

int32_t GetPortChangeFd(void) { return portChangeDescriptor(); }
uint32_t GetPortChangeCount(void) { return portChangeCount(); }

} // extern "C"
