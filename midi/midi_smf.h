#pragma once

#include "link/midi_event.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrow {

class TMidiDriver;
class TMidiScore;
class TMidiSync;
class TMidiTrack;

/// A standard MIDI file read or written through the driver library, one
/// score track per file track (track index = index in the attached score).
class TMidiSMF {
public:
    static constexpr std::int32_t kChunk = 8192; ///< events per library read
    /// Events all tracks of one file may reserve ahead of reading them.
    static constexpr std::int32_t kMaxReserve = 1 << 20;

    explicit TMidiSMF(TMidiDriver* driver = nullptr);
    /// Closes an open file.
    virtual ~TMidiSMF();
    TMidiSMF(const TMidiSMF&) = delete;
    TMidiSMF& operator=(const TMidiSMF&) = delete;

    TMidiDriver* Driver = nullptr;

    /// mode 'r' or 'w'; closes an open file first. False, without raising,
    /// when the library cannot open the file. Raises "No MidiDriver".
    bool Open(const std::string& fileName, char mode, std::int32_t format);
    /// Detaches the score. Raises "SMF not open".
    void Close();
    bool IsOpen() const { return m_isOpen; }
    std::int32_t NumTracks() const { return m_numTracks; }
    char GetMode() const { return m_mode; }
    std::int32_t GetFormat() const { return m_format; }

    /// The score's tracks are attached to this file too.
    void Attach(TMidiScore* score);
    void Detach(TMidiScore* score);
    TMidiScore* Score() const { return m_score; }

    /// Reads the whole track in chunks of kChunk; true when it has events.
    virtual bool Read(TMidiTrack* track);
    /// Writes the track's unread events; true when all were written.
    virtual bool Write(TMidiTrack* track);
    /// Every score track from the start; the sync, if given, takes the
    /// file's resolution.
    bool Load(TMidiSync* sync);
    /// Every score track; the file takes the sync's resolution if given.
    bool Save(TMidiSync* sync);
    std::uint16_t Resolution() const;
    void Resolution(std::uint16_t ticksPerQuarter);
    /// -1 when the track has no meta event of that type; data gets a copy.
    std::int32_t ReadMeta(TMidiTrack* track, std::uint8_t type, std::vector<std::uint8_t>& data,
        std::int32_t& length);
    /// length 0: data is a zero-terminated text. False when the track is
    /// not in the score or the library refuses.
    bool WriteMeta(
        TMidiTrack* track, std::uint8_t type, const std::uint8_t* data, std::int32_t length);

private:
    void requireOpen() const;
    void requireRead() const;
    void requireWrite() const;
    std::int32_t trackIndex(TMidiTrack* track) const;

    std::uint32_t m_handle = 0;
    bool m_isOpen = false;
    char m_mode = 'r';
    std::int32_t m_format = 1;
    std::int32_t m_numTracks = 0;
    TMidiScore* m_score = nullptr;
    std::unique_ptr<MidiEvent[]> m_chunk; ///< what the library reads into
    std::int32_t m_reserveLeft = 0; ///< events tracks may still reserve (from the file's size)
};

} // namespace kestrow
