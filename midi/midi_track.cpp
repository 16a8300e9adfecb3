#include "midi/midi_track.h"

#include "midi/midi_in.h"
#include "midi/midi_smf.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace kestrow {

TMidiTrack::TMidiTrack()
    : m_capacity(kGrowth)
{
}

TMidiTrack::~TMidiTrack()
{
    if (m_midiIn)
        Detach(m_midiIn);
}

void TMidiTrack::makeRoom(std::int32_t events, bool stepwise)
{
    if (events <= m_room)
        return;
    std::int64_t room = events;
    if (stepwise) // half again, but never beyond the capacity callers see
        room = std::max<std::int64_t>(
            room, std::min<std::int64_t>(std::int64_t { m_room } * 3 / 2 + 16, m_capacity));
    void* grown = std::realloc(m_store.get(), static_cast<std::size_t>(room) * sizeof(MidiEvent));
    if (!grown)
        throw std::bad_alloc();
    (void)m_store.release();
    m_store.reset(static_cast<MidiEvent*>(grown));
    m_room = static_cast<std::int32_t>(room);
}

void TMidiTrack::fillTo(std::int32_t end)
{
    if (end <= m_filled)
        return;
    makeRoom(end, true);
    std::memset(static_cast<void*>(m_store.get() + m_filled), 0,
        static_cast<std::size_t>(end - m_filled) * sizeof(MidiEvent));
    m_filled = end;
}

MidiEvent* TMidiTrack::placeAt(std::int32_t index)
{
    if (index < 0 || index >= m_capacity)
        return nullptr;
    fillTo(index + 1);
    return m_store.get() + index;
}

void TMidiTrack::appendEvents(const MidiEvent* events, std::int32_t count)
{
    if (count <= 0)
        return;
    const std::int32_t end = m_numEvents + count;
    makeRoom(end, true);
    std::memcpy(static_cast<void*>(m_store.get() + m_numEvents), events,
        static_cast<std::size_t>(count) * sizeof(MidiEvent));
    m_numEvents = end;
    m_filled = std::max(m_filled, end);
}

void TMidiTrack::Write(const MidiEvent& event)
{
    if (m_recording)
        InsertEvent(event, -1);
}

void TMidiTrack::InsertEvent(const MidiEvent& event, std::int32_t index)
{
    if (m_numEvents == std::numeric_limits<std::int32_t>::max())
        return;
    if (m_numEvents >= m_capacity)
        m_capacity = static_cast<std::int32_t>(std::min<std::int64_t>(
            std::int64_t { m_capacity } + kGrowth, std::numeric_limits<std::int32_t>::max()));
    makeRoom(m_numEvents + 1, true);
    MidiEvent* events = m_store.get();
    if (index < 0 || index >= m_numEvents) {
        events[m_numEvents] = event;
    } else {
        std::move_backward(events + index, events + m_numEvents, events + m_numEvents + 1);
        events[index] = event;
    }
    ++m_numEvents;
    m_filled = std::max(m_filled, m_numEvents);
}

void TMidiTrack::DeleteEvent(std::int32_t index)
{
    if (index < 0 || index >= m_numEvents)
        return;
    MidiEvent* events = m_store.get();
    std::move(events + index + 1, events + m_numEvents, events + index);
    --m_numEvents;
    events[m_numEvents] = MidiEvent {};
    m_position = std::min(m_position, m_numEvents);
}

void TMidiTrack::SetEvent(const MidiEvent& event, std::int32_t index)
{
    if (MidiEvent* place = GetEvent(index))
        *place = event;
}

std::uint32_t TMidiTrack::GetTime(std::int32_t index) const
{
    if (index < 0 || index >= m_filled)
        return 0; // beyond what was written every place reads as zero
    return m_store.get()[index].time;
}

std::string TMidiTrack::GetTrackName()
{
    if (m_trackName.empty() && m_smf && m_smf->IsOpen() && m_smf->GetMode() == 'r'
        && m_smf->Score()) {
        std::vector<std::uint8_t> data;
        std::int32_t length = 0;
        if (m_smf->ReadMeta(this, 3, data, length) != -1)
            m_trackName.assign(data.begin(), data.end());
    }
    return m_trackName;
}

void TMidiTrack::Detach(TMidiSMF* smf)
{
    if (smf == m_smf)
        m_smf = nullptr;
}

void TMidiTrack::Attach(TMidiIn* midiIn)
{
    if (m_midiIn == midiIn)
        return;
    if (m_midiIn)
        Detach(m_midiIn);
    m_midiIn = midiIn;
    if (midiIn && midiIn->Track() != this)
        midiIn->Attach(this);
}

void TMidiTrack::Detach(TMidiIn* midiIn)
{
    if (midiIn != m_midiIn)
        return;
    m_midiIn = nullptr;
    if (midiIn && midiIn->Track() == this)
        midiIn->Detach(this);
}

void TMidiTrack::Detach()
{
    m_smf = nullptr;
    if (m_midiIn)
        Detach(m_midiIn);
}

MidiEvent* TMidiTrack::Read()
{
    if (m_position >= m_numEvents || m_muted || m_recording)
        return nullptr;
    return m_store.get() + m_position++;
}

void TMidiTrack::Flush()
{
    m_numEvents = 0;
    m_position = 0;
}

void TMidiTrack::CreateBuffer(std::int32_t size)
{
    if (m_capacity == 0 && size > 0)
        m_capacity = size;
}

void TMidiTrack::FreeBuffer()
{
    m_store.reset();
    m_room = m_filled = m_capacity = 0;
    m_numEvents = 0;
    m_position = 0;
}

void TMidiTrack::SlideTrack(std::int32_t index, std::int32_t delta)
{
    if (index < 0 || index >= m_numEvents)
        return;
    auto& time = m_store.get()[index].time;
    std::int64_t moved = static_cast<std::int64_t>(time) + delta;
    time = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(moved, 0, std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t TMidiTrack::AbsNow(std::int32_t index) const
{
    std::uint32_t sum = 0;
    std::int32_t last = std::min(index, m_numEvents - 1);
    for (std::int32_t i = 0; i <= last; ++i)
        sum += m_store.get()[i].time;
    return sum;
}

void TMidiTrack::DeltaToAbs(MidiEvent* buffer, std::int32_t start, std::int32_t n) const
{
    if (!buffer || n <= 0)
        return;
    buffer[0].time = AbsNow(start);
    for (std::int32_t i = 1; i < n; ++i)
        buffer[i].time += buffer[i - 1].time;
}

void TMidiTrack::AbsToDelta(MidiEvent* buffer, std::int32_t start, std::int32_t n) const
{
    if (!buffer || n <= 0)
        return;
    for (std::int32_t i = n - 1; i > 0; --i)
        buffer[i].time -= buffer[i - 1].time;
    buffer[0].time -= start > 0 ? AbsNow(start - 1) : 0;
}

std::vector<MidiEvent> TMidiTrack::GetAbsBuffer(std::int32_t start, std::int32_t& count) const
{
    if (m_muted || m_recording || start < 0 || start >= m_numEvents || count <= 0) {
        count = 0;
        return {};
    }
    count = std::min(count, m_numEvents - start);
    const MidiEvent* from = m_store.get() + start;
    std::vector<MidiEvent> out(from, from + count);
    DeltaToAbs(out.data(), start, count);
    return out;
}

bool TMidiTrack::Load() { return m_smf ? m_smf->Read(this) : false; }

bool TMidiTrack::Save()
{
    if (!m_smf || m_muted)
        return false;
    if (!m_trackName.empty())
        m_smf->WriteMeta(this, 3, reinterpret_cast<const std::uint8_t*>(m_trackName.data()),
            static_cast<std::int32_t>(m_trackName.size()));
    return m_smf->Write(this);
}

MidiEvent* TMidiTrack::GetBuffer()
{
    fillTo(m_capacity);
    return m_store.get();
}

void TMidiTrack::SetBuffer(std::vector<MidiEvent> buffer)
{
    const auto size = static_cast<std::int32_t>(
        std::min<std::size_t>(buffer.size(), std::numeric_limits<std::int32_t>::max()));
    makeRoom(size, false);
    if (size > 0)
        std::memcpy(static_cast<void*>(m_store.get()), buffer.data(),
            static_cast<std::size_t>(size) * sizeof(MidiEvent));
    m_filled = m_capacity = size;
    m_numEvents = std::min(m_numEvents, size);
    m_position = std::min(m_position, m_numEvents);
}

void TMidiTrack::SetBufferSize(std::int32_t size)
{
    m_capacity = std::max(size, 0);
    m_filled = std::min(m_filled, m_capacity);
    m_numEvents = std::min(m_numEvents, m_capacity);
    m_position = std::min(m_position, m_numEvents);
}

void TMidiTrack::SetNumEvents(std::int32_t n)
{
    Flush();
    m_numEvents = std::clamp(n, 0, m_capacity);
    fillTo(m_numEvents);
}

} // namespace kestrow
