#include "midi/midi_smf.h"

#include "midi/midi_driver.h"
#include "midi/midi_exception.h"
#include "midi/midi_score.h"
#include "midi/midi_sync.h"
#include "midi/midi_track.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>

namespace kestrow {

TMidiSMF::TMidiSMF(TMidiDriver* driver)
    : Driver(driver)
{
}

TMidiSMF::~TMidiSMF()
{
    try {
        if (m_isOpen)
            Close();
    } catch (const EMidiException& e) {
        std::cerr << "kestrow: " << e.what() << '\n';
    }
}

bool TMidiSMF::Open(const std::string& fileName, char mode, std::int32_t format)
{
    if (!Driver)
        throw EMidiException("No MidiDriver");
    if (m_isOpen)
        Close();
    m_mode = mode;
    m_format = format;
    m_numTracks = 0;
    m_handle = Driver->api().OpenSMF(fileName.c_str(), &m_format, mode, &m_numTracks);
    m_isOpen = m_handle != 0;
    if (!m_isOpen)
        m_numTracks = 0;
    // A file holds at most one event per byte: what the tracks may reserve
    // between them, so that reading never reserves more than the file warrants.
    std::error_code error;
    const auto bytes = mode == 'r' && m_isOpen ? std::filesystem::file_size(fileName, error) : 0;
    m_reserveLeft
        = error ? 0 : static_cast<std::int32_t>(std::min<std::uintmax_t>(bytes, kMaxReserve));
    return m_isOpen;
}

void TMidiSMF::requireOpen() const
{
    if (!m_isOpen || !Driver)
        throw EMidiException("SMF not open");
}

void TMidiSMF::requireRead() const
{
    if (!m_isOpen || !Driver || m_mode != 'r' || !m_score)
        throw EMidiException("SMF cant read");
}

void TMidiSMF::requireWrite() const
{
    if (!m_isOpen || !Driver || m_mode != 'w' || !m_score)
        throw EMidiException("SMF cant write");
}

void TMidiSMF::Close()
{
    requireOpen();
    Driver->api().CloseSMF(m_handle);
    if (m_score)
        Detach(m_score);
    m_handle = 0;
    m_numTracks = 0;
    m_isOpen = false;
}

void TMidiSMF::Attach(TMidiScore* score)
{
    m_score = score;
    if (score)
        for (std::int32_t i = 0; i < score->getCount(); ++i) {
            TMidiTrack* track = score->Get(i);
            track->Attach(this);
            track->m_fileIndex = i;
        }
}

void TMidiSMF::Detach(TMidiScore* score)
{
    if (!score || score != m_score)
        return;
    for (std::int32_t i = 0; i < score->getCount(); ++i)
        score->Get(i)->Detach(this);
    m_score = nullptr;
}

std::int32_t TMidiSMF::trackIndex(TMidiTrack* track) const
{
    if (!m_score || !track)
        return -1;
    // The index noted at Attach, unless the score has changed since.
    if (m_score->Get(track->m_fileIndex) == track)
        return track->m_fileIndex;
    return m_score->Find(track);
}

bool TMidiSMF::Read(TMidiTrack* track)
{
    requireOpen();
    requireRead();
    std::int32_t index = trackIndex(track);
    if (index < 0)
        throw EMidiException("SMF bad track");
    // Chunks go through one buffer of this object: a track takes memory only
    // for the events it gets, however many tracks the file declares.
    if (!m_chunk)
        m_chunk.reset(new MidiEvent[kChunk]);
    track->Flush();
    std::int32_t n = 0;
    for (;;) {
        // Room for a whole chunk, however small the buffer was (the capacity
        // callers see; memory follows the events).
        if (track->GetBufferSize() - n < kChunk)
            track->SetBufferSize(static_cast<std::int32_t>(std::min<std::int64_t>(
                std::max<std::int64_t>(std::int64_t { track->GetBufferSize() } + n, n + kChunk),
                std::numeric_limits<std::int32_t>::max())));
        // The library writes records of the same layout (checked in midi_out.cpp).
        auto* room = reinterpret_cast<MidiDrvEvent*>(m_chunk.get());
        const std::int32_t got
            = std::min(Driver->api().ReadSMF(m_handle, index, room, kChunk), kChunk);
        if (got <= 0)
            break;
        if (n == 0 && got == kChunk && m_reserveLeft > kChunk) {
            // A long track: room for what the rest of the file can hold, at once.
            track->makeRoom(m_reserveLeft, false);
            m_reserveLeft = 0;
        }
        track->appendEvents(m_chunk.get(), got);
        n += got;
    }
    if (track->GetTrackName().empty()) {
        std::vector<std::uint8_t> data;
        std::int32_t length = 0;
        if (ReadMeta(track, 3, data, length) != -1)
            track->SetTrackName(std::string(data.begin(), data.end()));
    }
    return n != 0;
}

bool TMidiSMF::Write(TMidiTrack* track)
{
    requireWrite();
    std::int32_t index = trackIndex(track);
    if (index < 0)
        throw EMidiException("SMF bad track");
    std::string name = track->GetTrackName();
    if (!name.empty())
        WriteMeta(track, 3, reinterpret_cast<const std::uint8_t*>(name.c_str()), 0);
    std::int32_t count = track->GetNumEvents();
    std::int32_t first = track->GetEventCount() - count;
    const TMidiTrack& held = *track; // the events only, not the whole capacity
    const auto* events
        = count > 0 ? reinterpret_cast<const MidiDrvEvent*>(held.GetBuffer() + first) : nullptr;
    return Driver->api().WriteSMF(m_handle, index, events, count) == count;
}

bool TMidiSMF::Load(TMidiSync* sync)
{
    requireRead();
    Driver->api().RewindSMF(m_handle);
    for (std::int32_t i = 0; i < m_score->getCount(); ++i) {
        TMidiTrack* track = m_score->Get(i);
        track->Flush();
        Read(track);
    }
    if (sync)
        sync->Resolution(Resolution());
    return true;
}

bool TMidiSMF::Save(TMidiSync* sync)
{
    requireWrite();
    if (sync)
        Resolution(sync->Resolution());
    for (std::int32_t i = 0; i < m_score->getCount(); ++i) {
        if (!Write(m_score->Get(i)))
            throw EMidiException("SMF write failed");
    }
    return true;
}

std::uint16_t TMidiSMF::Resolution() const
{
    requireOpen();
    return Driver->api().GetSMFResolution(m_handle);
}

void TMidiSMF::Resolution(std::uint16_t ticksPerQuarter)
{
    requireOpen();
    Driver->api().SetSMFResolution(m_handle, ticksPerQuarter);
}

std::int32_t TMidiSMF::ReadMeta(
    TMidiTrack* track, std::uint8_t type, std::vector<std::uint8_t>& data, std::int32_t& length)
{
    requireRead();
    const std::uint8_t* found = nullptr;
    std::int32_t size = 0;
    std::int32_t result
        = Driver->api().ReadMetaEvent(m_handle, trackIndex(track), type, &found, &size);
    if (result == -1)
        return -1;
    data.assign(static_cast<std::size_t>(std::max(size, 0)), 0);
    if (found && size > 0)
        std::copy(found, found + size, data.begin());
    length = static_cast<std::int32_t>(data.size());
    return result;
}

bool TMidiSMF::WriteMeta(
    TMidiTrack* track, std::uint8_t type, const std::uint8_t* data, std::int32_t length)
{
    requireWrite();
    std::int32_t index = trackIndex(track);
    if (index < 0)
        return false;
    return Driver->api().WriteMetaEvent(m_handle, index, type, data, length) == 0;
}

} // namespace kestrow
