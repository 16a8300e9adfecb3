#pragma once

#include "link/midi_event.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrow {

class TMidiOut;
class TMidiTrack;

/// Tracks that play together. The score owns its tracks; the merge hands
/// their events out in time order, 512 at a time, and never splits a SysEx
/// message (F0..F7) with another track's events.
class TMidiScore {
public:
    static constexpr std::int32_t kMergeSize = 512;

    /// n entries, each with a new track.
    explicit TMidiScore(std::int32_t n = 0);
    ~TMidiScore();
    TMidiScore(const TMidiScore&) = delete;
    TMidiScore& operator=(const TMidiScore&) = delete;

    /// Destroys every entry with its track.
    void Clear();
    std::int32_t getCount() const { return static_cast<std::int32_t>(m_entries.size()); }
    /// Takes ownership; a null track makes a new one. The index is clamped
    /// to 0..getCount().
    void Insert(std::int32_t index, TMidiTrack* track);
    /// Null for an index out of range.
    TMidiTrack* Get(std::int32_t index) const;
    /// Replaces the entry's track and destroys the old one (unless it is the
    /// same). Out of range: no effect, the track is not taken.
    void Put(std::int32_t index, TMidiTrack* track);
    /// Takes ownership; a null track makes a new one. The new entry's index.
    std::int32_t Add(TMidiTrack* track);
    /// Takes the entry out without destroying its track, which goes back to
    /// the caller; -1 when no entry holds it, else its former index.
    std::int32_t Remove(TMidiTrack* track);
    /// -1 when no entry holds the track.
    std::int32_t Find(const TMidiTrack* track) const;

    /// Merges up to 512 next events of all tracks into the merge buffer.
    void MergeTracks();
    /// Hands merged events to the port until it refuses or they run out,
    /// then merges the next ones.
    void MergeOut(TMidiOut* port);
    /// From the start of every track.
    void StartOut(TMidiOut* port);

    /// What the last MergeTracks gave, times as deltas from the event before.
    const std::vector<MidiEvent>& merged() const { return m_merge; }
    std::int32_t mergeCount() const { return m_mergeCount; }

private:
    struct Entry {
        std::unique_ptr<TMidiTrack> track;
        std::vector<MidiEvent> window; ///< absolute times
        std::int32_t count = 0;
        std::int32_t position = 0;
        std::int32_t start = 0; ///< index in the track where the window starts
        bool inSysEx = false;
    };

    std::vector<Entry> m_entries;
    std::vector<MidiEvent> m_merge;
    std::int32_t m_mergeCount = 0;
    std::int32_t m_mergePos = 0;
    std::uint32_t m_lastTime = 0;
};

} // namespace kestrow
