#include "midi_track.h"

#include "midi_in.h"
#include "midi_smf.h"

#include <algorithm>
#include <limits>

namespace kestrow {

TMidiTrack::TMidiTrack()
{
    CreateBuffer(kGrowth);
}

TMidiTrack::~TMidiTrack()
{
    if (m_midiIn)
        Detach(m_midiIn);
}

void TMidiTrack::grow(std::int32_t minimum)
{
    if (minimum > static_cast<std::int32_t>(m_buffer.size()))
        m_buffer.resize(static_cast<std::size_t>(minimum));
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
    if (m_numEvents >= GetBufferSize())
        grow(GetBufferSize() + kGrowth);
    if (index < 0 || index >= m_numEvents) {
        m_buffer[static_cast<std::size_t>(m_numEvents)] = event;
    } else {
        auto at = m_buffer.begin() + index;
        std::move_backward(at, m_buffer.begin() + m_numEvents, m_buffer.begin() + m_numEvents + 1);
        *at = event;
    }
    ++m_numEvents;
}

void TMidiTrack::DeleteEvent(std::int32_t index)
{
    if (index < 0 || index >= m_numEvents)
        return;
    std::move(m_buffer.begin() + index + 1, m_buffer.begin() + m_numEvents, m_buffer.begin() + index);
    --m_numEvents;
    m_buffer[static_cast<std::size_t>(m_numEvents)] = MidiEvent {};
    m_position = std::min(m_position, m_numEvents);
}

void TMidiTrack::SetEvent(const MidiEvent& event, std::int32_t index)
{
    if (index >= 0 && index < GetBufferSize())
        m_buffer[static_cast<std::size_t>(index)] = event;
}

MidiEvent* TMidiTrack::GetEvent(std::int32_t index)
{
    if (index < 0 || index >= GetBufferSize())
        return nullptr;
    return &m_buffer[static_cast<std::size_t>(index)];
}

std::uint32_t TMidiTrack::GetTime(std::int32_t index) const
{
    if (index < 0 || index >= GetBufferSize())
        return 0;
    return m_buffer[static_cast<std::size_t>(index)].time;
}

std::string TMidiTrack::GetTrackName()
{
    if (m_trackName.empty() && m_smf && m_smf->IsOpen() && m_smf->GetMode() == 'r' && m_smf->Score()) {
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
    return &m_buffer[static_cast<std::size_t>(m_position++)];
}

void TMidiTrack::Flush()
{
    m_numEvents = 0;
    m_position = 0;
}

void TMidiTrack::CreateBuffer(std::int32_t size)
{
    if (m_buffer.empty() && size > 0)
        m_buffer.assign(static_cast<std::size_t>(size), MidiEvent {});
}

void TMidiTrack::FreeBuffer()
{
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_numEvents = 0;
    m_position = 0;
}

void TMidiTrack::SlideTrack(std::int32_t index, std::int32_t delta)
{
    if (index < 0 || index >= m_numEvents)
        return;
    auto& time = m_buffer[static_cast<std::size_t>(index)].time;
    std::int64_t moved = static_cast<std::int64_t>(time) + delta;
    time = static_cast<std::uint32_t>(std::clamp<std::int64_t>(moved, 0, std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t TMidiTrack::AbsNow(std::int32_t index) const
{
    std::uint32_t sum = 0;
    std::int32_t last = std::min(index, m_numEvents - 1);
    for (std::int32_t i = 0; i <= last; ++i)
        sum += m_buffer[static_cast<std::size_t>(i)].time;
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
    std::vector<MidiEvent> out(m_buffer.begin() + start, m_buffer.begin() + start + count);
    DeltaToAbs(out.data(), start, count);
    return out;
}

bool TMidiTrack::Load()
{
    return m_smf ? m_smf->Read(this) : false;
}

bool TMidiTrack::Save()
{
    if (!m_smf || m_muted)
        return false;
    if (!m_trackName.empty())
        m_smf->WriteMeta(this, 3, reinterpret_cast<const std::uint8_t*>(m_trackName.data()),
            static_cast<std::int32_t>(m_trackName.size()));
    return m_smf->Write(this);
}

void TMidiTrack::SetBuffer(std::vector<MidiEvent> buffer)
{
    m_buffer = std::move(buffer);
    m_numEvents = std::min(m_numEvents, GetBufferSize());
    m_position = std::min(m_position, m_numEvents);
}

void TMidiTrack::SetBufferSize(std::int32_t size)
{
    m_buffer.resize(static_cast<std::size_t>(std::max(size, 0)));
    m_numEvents = std::min(m_numEvents, GetBufferSize());
    m_position = std::min(m_position, m_numEvents);
}

void TMidiTrack::SetNumEvents(std::int32_t n)
{
    Flush();
    m_numEvents = std::clamp(n, 0, GetBufferSize());
}

} // namespace kestrow
