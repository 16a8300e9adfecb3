#pragma once

/* The driver library's C interface (libmididrv.so). The toolkit in midi/
 * loads the library at run time and resolves these 40 functions by name;
 * nothing else is exported. Handles are 32-bit: a port or sync handle above
 * 32 is valid, 0..32 means failure; a file handle of 0 means failure.
 * Every function may be called from the user-interface thread only; the
 * notification callback may be called from any thread. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define MIDIDRV_API __attribute__((visibility("default")))
#else
#define MIDIDRV_API
#endif

/* One event: the same 8-byte layout as the toolkit's MidiEvent. A SysEx
 * message is a run of events, one per byte, status F0, the byte in data1. */
typedef struct MidiDrvEvent {
    uint32_t time;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
    uint8_t data3;
} MidiDrvEvent;

/* Message numbers passed to the notification callback. */
#define MIDIDRV_MSG_INPUT_WAITING 0x3C3u
#define MIDIDRV_MSG_OUTPUT_READY 0x5453u
#define MIDIDRV_MSG_SYNC_BEAT 0x5452u
#define MIDIDRV_MSG_SYNC_DONE 0x5457u

/* The library's way of telling a port or sync object that something
 * happened. Called from any thread, possibly a real-time one: do no more
 * than hand the message on. Copied at open; never called after the
 * matching close has returned. */
typedef void (*MidiDrvCallback)(void* context, uint32_t message);
typedef struct MidiDrvNotify {
    MidiDrvCallback callback;
    void* context;
} MidiDrvNotify;

/* Results of PutMidiOut:
 * TAKEN    sent, or kept as a byte of the SysEx message under way;
 * NO_PORT  no open port with that handle, or no event;
 * NOT_MIDI dropped: a byte outside F0..F7, a status below 80 hex, or a
 *          SysEx message too long to be real;
 * NOT_SENT the MIDI system did not take the message. */
#define MIDIDRV_PUT_TAKEN 0u
#define MIDIDRV_PUT_NO_PORT 1u
#define MIDIDRV_PUT_NOT_MIDI 2u
#define MIDIDRV_PUT_NOT_SENT 3u

/* Length of a device description buffer, terminator included. */
#define MIDIDRV_DESCRIPTION_SIZE 32

MIDIDRV_API uint16_t GetDriverVersion(void);

MIDIDRV_API uint16_t GetNumOutDevices(void);
/* Fills a 32-byte buffer with the zero-terminated name; 0 on success. */
MIDIDRV_API uint16_t GetMidiOutDescription(uint16_t id, char* description);
MIDIDRV_API uint32_t OpenMidiOut(
    const MidiDrvNotify* notify, uint16_t id, uint32_t sync, uint32_t param);
MIDIDRV_API void ResetMidiOut(uint32_t port);
MIDIDRV_API void FlushMidiOut(uint32_t port);
MIDIDRV_API void CloseMidiOut(uint32_t port);
/* One of the MIDIDRV_PUT_ results; 0 when the event was taken. */
MIDIDRV_API uint16_t PutMidiOut(uint32_t port, const MidiDrvEvent* event);

MIDIDRV_API uint16_t GetNumInDevices(void);
MIDIDRV_API uint16_t GetMidiInDescription(uint16_t id, char* description);
MIDIDRV_API uint32_t OpenMidiIn(
    const MidiDrvNotify* notify, uint16_t id, uint32_t sync, uint32_t param);
MIDIDRV_API void StartMidiIn(uint32_t port);
MIDIDRV_API void StopMidiIn(uint32_t port);
MIDIDRV_API void CloseMidiIn(uint32_t port);
/* Next received event or NULL; valid until the next call for this port.
 * time is the delta in milliseconds since the previous event handed out
 * (in ticks when a running sync is attached). */
MIDIDRV_API MidiDrvEvent* GetMidiIn(uint32_t port);

/* mode: 0 runs until stopped, 1 stops after one period and reports done.
 * period: ticks between beat notifications (0 = one quarter note);
 * 0xFFFF keeps the current value of mode or period. */
MIDIDRV_API uint32_t OpenSync(
    uint32_t previous, const MidiDrvNotify* notify, uint16_t mode, uint16_t period);
MIDIDRV_API void CloseSync(uint32_t sync);
MIDIDRV_API void StopSync(uint32_t sync);
MIDIDRV_API void StartSync(uint32_t sync);
MIDIDRV_API void PauseSync(uint32_t sync, int32_t pause);
MIDIDRV_API void ReStartSync(uint32_t sync);
/* Microseconds per quarter note. */
MIDIDRV_API void SetTempo(uint32_t sync, uint32_t tempo);
/* Ticks per quarter note. */
MIDIDRV_API void SetResolution(uint32_t sync, uint16_t resolution);
MIDIDRV_API uint32_t GetTempo(uint32_t sync);
MIDIDRV_API uint16_t GetResolution(uint32_t sync);
/* Stores the position in ticks since start; 0 on success. */
MIDIDRV_API uint16_t GetPosition(uint32_t sync, uint32_t* ticks);

/* mode 'r' or 'w'. Reading stores the file's format and track count; a
 * write is put on disk by WriteSMF and CloseSMF. */
MIDIDRV_API uint32_t OpenSMF(const char* fileName, int32_t* format, char mode, int32_t* numTracks);
MIDIDRV_API void CloseSMF(uint32_t smf);
MIDIDRV_API void RewindSMF(uint32_t smf);
/* Up to room events of the track, continuing where the last call stopped;
 * their number, 0 at the end. Times are delta ticks. */
MIDIDRV_API int32_t ReadSMF(uint32_t smf, int32_t track, MidiDrvEvent* buffer, int32_t room);
/* Appends the events to the track and writes the file; the number written,
 * 0 when the file could not be written. */
MIDIDRV_API int32_t WriteSMF(
    uint32_t smf, int32_t track, const MidiDrvEvent* buffer, int32_t count);
MIDIDRV_API uint16_t GetSMFResolution(uint32_t smf);
MIDIDRV_API void SetSMFResolution(uint32_t smf, uint16_t resolution);
/* -1 when the track has no such meta event; else 0 with a pointer to the
 * data (valid until the file is closed) and its length. */
MIDIDRV_API int32_t ReadMetaEvent(
    uint32_t smf, int32_t track, uint8_t type, const uint8_t** data, int32_t* length);
/* length 0: data is a zero-terminated text. 0 on success. */
MIDIDRV_API int32_t WriteMetaEvent(
    uint32_t smf, int32_t track, uint8_t type, const uint8_t* data, int32_t length);

/* Ports and clients that come, go or are renamed in the MIDI systems.
 * GetPortChangeFd: a descriptor (owned by the library) that becomes readable
 * after a change; -1 when no MIDI system can report changes. Each call also
 * starts watching a system that was not watched yet (a JACK server started
 * since). Nothing runs while nothing changes.
 * GetPortChangeCount: changes so far; the descriptor is not readable again
 * until the next change. Both are optional: an older library lacks them. */
MIDIDRV_API int32_t GetPortChangeFd(void);
MIDIDRV_API uint32_t GetPortChangeCount(void);

/* A device's whole name, as the 32-byte description is cut: unique in its
 * list (" #2", " #3" on repeats, numbered in an order that stays the same
 * from run to run). Stores at most size bytes, terminator included; returns
 * the whole name's length without it (0 for no such device). Optional. */
MIDIDRV_API uint32_t GetMidiOutName(uint16_t id, char* name, uint32_t size);
MIDIDRV_API uint32_t GetMidiInName(uint16_t id, char* name, uint32_t size);
/* One line on MIDI system `index` (0, 1, ...): its name, whether it can be
 * used and, when not, why and what to do. Stored as above; 0 past the last
 * system. Optional. */
MIDIDRV_API uint32_t GetMidiSystemStatus(uint16_t index, char* text, uint32_t size);

#ifdef __cplusplus
}
#endif
