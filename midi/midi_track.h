#pragma once

#include "link/midi_event.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kestrow {

class TMidiIn;
class TMidiSMF;

/// Events in memory, times as delta ticks. Indices are 0-based. Capacity
/// grows in steps of kGrowth events and new places read as zero. The
/// capacity is what callers see; memory is only taken for the places that
/// have been written or asked for, so a fresh or empty track costs nothing.
class TMidiTrack {
public:
    static constexpr std::int32_t kGrowth = 8192;

    TMidiTrack();
    /// Leaves its input port first.
    ~TMidiTrack();
    TMidiTrack(const TMidiTrack&) = delete;
    TMidiTrack& operator=(const TMidiTrack&) = delete;

    /// Appends, only while recording.
    void Write(const MidiEvent& event);
    /// index -1 (or past the end) appends.
    void InsertEvent(const MidiEvent& event, std::int32_t index);
    /// No effect for an index outside the events held.
    void DeleteEvent(std::int32_t index);
    /// Indices below the capacity; others have no effect.
    void SetEvent(const MidiEvent& event, std::int32_t index);
    /// Null for an index at or beyond the capacity.
    MidiEvent* GetEvent(std::int32_t index)
    {
        if (index >= 0 && index < m_filled)
            return m_store.get() + index;
        return placeAt(index);
    }
    /// 0 for an index at or beyond the capacity.
    std::uint32_t GetTime(std::int32_t index) const;
    /// Events not yet handed out by Read.
    std::int32_t GetNumEvents() const { return m_numEvents - m_position; }
    void IsRecording(bool recording) { m_recording = recording; }
    bool IsRecording() const { return m_recording; }
    void Mute(bool muted) { m_muted = muted; }
    bool IsMuted() const { return m_muted; }
    /// The name is a byte string (Windows-1252 in the editor).
    void SetTrackName(const std::string& name) { m_trackName = name; }
    /// Read from the attached file (meta type 3) when none is cached.
    std::string GetTrackName();

    void Attach(TMidiSMF* smf) { m_smf = smf; }
    void Detach(TMidiSMF* smf);
    void Attach(TMidiIn* midiIn);
    void Detach(TMidiIn* midiIn);
    /// Leaves the file and the input port.
    void Detach();
    TMidiSMF* GetSMF() const { return m_smf; }
    TMidiIn* GetMidiIn() const { return m_midiIn; }

    /// Playback: the next event, or null at the end, when muted or recording.
    MidiEvent* Read();
    /// Forgets every event; the capacity stays.
    void Flush();
    /// Only when there is no buffer yet.
    void CreateBuffer(std::int32_t size);
    void FreeBuffer();
    /// Adds delta to one event's time; below 0 becomes 0.
    void SlideTrack(std::int32_t index, std::int32_t delta);
    /// Absolute time of event index (sum of the deltas 0..index).
    std::uint32_t AbsNow(std::int32_t index) const;
    /// buffer holds n events taken from index start: deltas to absolute times.
    void DeltaToAbs(MidiEvent* buffer, std::int32_t start, std::int32_t n) const;
    void AbsToDelta(MidiEvent* buffer, std::int32_t start, std::int32_t n) const;
    /// Up to count events from start with absolute times; count is set to the
    /// number given (0, and an empty buffer, when muted, recording or past the end).
    std::vector<MidiEvent> GetAbsBuffer(std::int32_t start, std::int32_t& count) const;
    /// Reads this track from the attached file; false without one.
    bool Load();
    /// Writes this track to the attached file unless muted.
    bool Save();

    /// The whole capacity, zero-filled where nothing was written (this
    /// takes its memory).
    MidiEvent* GetBuffer();
    /// The events held (GetEventCount() of them); null when there are none.
    const MidiEvent* GetBuffer() const { return m_store.get(); }
    /// Takes the events; the capacity becomes buffer.size(), the count is
    /// clamped to it.
    void SetBuffer(std::vector<MidiEvent> buffer);
    std::int32_t GetBufferSize() const { return m_capacity; }
    /// Keeps the content that fits, zero-fills the rest.
    void SetBufferSize(std::int32_t size);
    /// Flushes, then claims n events (up to the capacity).
    void SetNumEvents(std::int32_t n);
    /// The number of events held, whatever Read has handed out.
    std::int32_t GetEventCount() const { return m_numEvents; }

private:
    friend class TMidiSMF; // reads files straight into the store

    struct FreeStore {
        void operator()(MidiEvent* events) const { std::free(events); }
    };

    /// Room for at least `events` in the store; step by step it grows by half
    /// again (up to the capacity), so appends stay cheap. Content kept,
    /// nothing zero-filled. Throws std::bad_alloc.
    void makeRoom(std::int32_t events, bool stepwise);
    /// Places [m_filled, end) become real zeros.
    void fillTo(std::int32_t end);
    /// GetEvent beyond the places written so far.
    MidiEvent* placeAt(std::int32_t index);
    /// Appends events after the ones held (the file reader's chunks).
    void appendEvents(const MidiEvent* events, std::int32_t count);

    TMidiSMF* m_smf = nullptr;
    TMidiIn* m_midiIn = nullptr;
    std::unique_ptr<MidiEvent, FreeStore> m_store;
    std::int32_t m_room = 0; ///< events the store has memory for
    std::int32_t m_filled = 0; ///< places [0, m_filled) hold values; the rest read as 0
    std::int32_t m_capacity = 0; ///< bufferSize as callers see it
    std::int32_t m_fileIndex = -1; ///< index in the attached file's score, when it is still right
    std::int32_t m_numEvents = 0;
    std::int32_t m_position = 0;
    bool m_recording = false;
    bool m_muted = false;
    std::string m_trackName;
};

} // namespace kestrow
