// The test stand-in for libmididrv.so (see fake_mididrv.h).
#include "fake_mididrv.h"

#include <algorithm>
#include <cstdio>

namespace {

FakeDrvState g_state;

void called(const char* name) { g_state.calls.emplace_back(name); }

/// Records the call and gives `value` back: one line for a call with a fixed answer.
template <class T> T answer(const char* name, T value)
{
    called(name);
    return value;
}

uint16_t describe(const std::vector<std::string>& names, uint16_t id, char* text)
{
    if (id >= names.size()) {
        text[0] = '\0';
        return 1;
    }
    std::snprintf(text, MIDIDRV_DESCRIPTION_SIZE, "%s", names[id].c_str());
    return 0;
}

uint32_t open(const char* name, MidiDrvNotify& slot, const MidiDrvNotify* notify, uint32_t sync)
{
    called(name);
    slot = *notify;
    g_state.lastSync = sync;
    return g_state.openResult;
}

} // namespace

extern "C" {

MIDIDRV_API FakeDrvState* FakeDrvState_get() { return &g_state; }

uint16_t GetDriverVersion(void) { return answer<uint16_t>("GetDriverVersion", 0x0203); }
uint16_t GetNumOutDevices(void)
{
    return answer<uint16_t>("GetNumOutDevices", static_cast<uint16_t>(g_state.outNames.size()));
}
uint16_t GetMidiOutDescription(uint16_t id, char* text)
{
    return answer<uint16_t>("GetMidiOutDescription", describe(g_state.outNames, id, text));
}
uint32_t OpenMidiOut(const MidiDrvNotify* notify, uint16_t, uint32_t sync, uint32_t)
{
    return open("OpenMidiOut", g_state.outNotify, notify, sync);
}
void ResetMidiOut(uint32_t) { called("ResetMidiOut"); }
void FlushMidiOut(uint32_t) { called("FlushMidiOut"); }
void CloseMidiOut(uint32_t) { called("CloseMidiOut"); }
uint16_t PutMidiOut(uint32_t, const MidiDrvEvent* event)
{
    called("PutMidiOut");
    if (g_state.putResult == 0)
        g_state.put.push_back(*event);
    return g_state.putResult;
}
uint16_t GetNumInDevices(void)
{
    return answer<uint16_t>("GetNumInDevices", static_cast<uint16_t>(g_state.inNames.size()));
}
uint16_t GetMidiInDescription(uint16_t id, char* text)
{
    return answer<uint16_t>("GetMidiInDescription", describe(g_state.inNames, id, text));
}
uint32_t OpenMidiIn(const MidiDrvNotify* notify, uint16_t, uint32_t sync, uint32_t)
{
    return open("OpenMidiIn", g_state.inNotify, notify, sync);
}
void StartMidiIn(uint32_t) { called("StartMidiIn"); }
void StopMidiIn(uint32_t) { called("StopMidiIn"); }
void CloseMidiIn(uint32_t) { called("CloseMidiIn"); }
MidiDrvEvent* GetMidiIn(uint32_t)
{
    called("GetMidiIn");
    if (g_state.input.empty())
        return nullptr;
    g_state.current = g_state.input.front();
    g_state.input.pop_front();
    return &g_state.current;
}
uint32_t OpenSync(uint32_t previous, const MidiDrvNotify*, uint16_t, uint16_t)
{
    return answer<uint32_t>("OpenSync", previous ? previous : 0x777);
}
void CloseSync(uint32_t) { called("CloseSync"); }
void StopSync(uint32_t) { called("StopSync"); }
void StartSync(uint32_t) { called("StartSync"); }
void PauseSync(uint32_t, int32_t) { called("PauseSync"); }
void ReStartSync(uint32_t) { called("ReStartSync"); }
void SetTempo(uint32_t, uint32_t) { called("SetTempo"); }
void SetResolution(uint32_t, uint16_t) { called("SetResolution"); }
uint32_t GetTempo(uint32_t) { return answer<uint32_t>("GetTempo", 500000); }
uint16_t GetResolution(uint32_t) { return answer<uint16_t>("GetResolution", 96); }
uint16_t GetPosition(uint32_t, uint32_t* ticks)
{
    called("GetPosition");
    *ticks = 0;
    return 0;
}
uint32_t OpenSMF(const char*, int32_t* format, char mode, int32_t* numTracks)
{
    called("OpenSMF");
    if (mode == 'r') {
        *format = 1;
        *numTracks = g_state.smfTracks;
    }
    g_state.smfPosition = 0;
    return 0x55;
}
void CloseSMF(uint32_t) { called("CloseSMF"); }
void RewindSMF(uint32_t)
{
    called("RewindSMF");
    g_state.smfPosition = 0;
}
int32_t ReadSMF(uint32_t, int32_t track, MidiDrvEvent* buffer, int32_t room)
{
    called("ReadSMF");
    g_state.readRooms.push_back(room);
    if (track != 0)
        return 0;
    std::size_t n
        = std::min(g_state.smfEvents.size() - g_state.smfPosition, static_cast<std::size_t>(room));
    std::copy_n(
        g_state.smfEvents.begin() + static_cast<std::ptrdiff_t>(g_state.smfPosition), n, buffer);
    g_state.smfPosition += n;
    return static_cast<int32_t>(n);
}
int32_t WriteSMF(uint32_t, int32_t, const MidiDrvEvent*, int32_t count)
{
    return answer<int32_t>("WriteSMF", count);
}
uint16_t GetSMFResolution(uint32_t) { return answer<uint16_t>("GetSMFResolution", 96); }
void SetSMFResolution(uint32_t, uint16_t) { called("SetSMFResolution"); }
int32_t ReadMetaEvent(uint32_t, int32_t, uint8_t, const uint8_t**, int32_t*)
{
    return answer<int32_t>("ReadMetaEvent", -1);
}
int32_t WriteMetaEvent(uint32_t, int32_t, uint8_t, const uint8_t*, int32_t)
{
    return answer<int32_t>("WriteMetaEvent", 0);
}

} // extern "C"
