#include "midi/midi_score.h"

#include "midi/midi_out.h"
#include "midi/midi_track.h"

#include <algorithm>

namespace kestrow {

TMidiScore::TMidiScore(std::int32_t n)
{
    m_entries.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (std::int32_t i = 0; i < n; ++i)
        Add(nullptr);
}

TMidiScore::~TMidiScore() { Clear(); }

void TMidiScore::Clear() { m_entries.clear(); }

void TMidiScore::Insert(std::int32_t index, TMidiTrack* track)
{
    Entry entry;
    entry.track.reset(track ? track : new TMidiTrack);
    index = std::clamp(index, 0, getCount());
    m_entries.insert(m_entries.begin() + index, std::move(entry));
}

TMidiTrack* TMidiScore::Get(std::int32_t index) const
{
    if (index < 0 || index >= getCount())
        return nullptr;
    return m_entries[static_cast<std::size_t>(index)].track.get();
}

void TMidiScore::Put(std::int32_t index, TMidiTrack* track)
{
    if (index < 0 || index >= getCount() || !track)
        return;
    auto& slot = m_entries[static_cast<std::size_t>(index)].track;
    if (slot.get() != track)
        slot.reset(track);
}

std::int32_t TMidiScore::Add(TMidiTrack* track)
{
    Insert(getCount(), track);
    return getCount() - 1;
}

std::int32_t TMidiScore::Remove(TMidiTrack* track)
{
    std::int32_t index = Find(track);
    if (index < 0)
        return -1;
    m_entries[static_cast<std::size_t>(index)].track.release();
    m_entries.erase(m_entries.begin() + index);
    return index;
}

std::int32_t TMidiScore::Find(const TMidiTrack* track) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (track && m_entries[i].track.get() == track)
            return static_cast<std::int32_t>(i);
    return -1;
}

void TMidiScore::MergeTracks()
{
    if (m_merge.empty())
        m_merge.assign(kMergeSize, MidiEvent {});
    Entry* owner = nullptr;
    for (Entry& entry : m_entries) {
        entry.count = kMergeSize;
        entry.window = entry.track->GetAbsBuffer(entry.start, entry.count);
        entry.position = 0;
        if (entry.count > 0 && entry.inSysEx && !owner)
            owner = &entry;
    }
    std::int32_t merged = 0;
    while (merged < kMergeSize) {
        Entry* next = nullptr;
        if (owner) {
            if (owner->position < owner->count) {
                next = owner;
            } else if (owner->start + owner->count < owner->track->GetEventCount()) {
                break; // the rest of its SysEx comes with the next window
            } else {
                owner->inSysEx = false; // the track ends inside a message
                owner = nullptr;
            }
        }
        if (!next) {
            for (Entry& entry : m_entries) {
                if (entry.position >= entry.count)
                    continue;
                if (!next
                    || entry.window[static_cast<std::size_t>(entry.position)].time
                        < next->window[static_cast<std::size_t>(next->position)].time)
                    next = &entry;
            }
        }
        if (!next)
            break;
        const MidiEvent& event = next->window[static_cast<std::size_t>(next->position++)];
        m_merge[static_cast<std::size_t>(merged++)] = event;
        if (event.status == 0xF0 && event.data1 == 0xF0) {
            next->inSysEx = true;
            owner = next;
        } else if (event.status == 0xF0 && event.data1 == 0xF7) {
            next->inSysEx = false;
            owner = nullptr;
        }
    }
    for (Entry& entry : m_entries) {
        entry.start += entry.position;
        entry.window.clear();
        entry.window.shrink_to_fit();
        entry.count = 0;
        entry.position = 0;
    }
    // Absolute times back to deltas, each from the event before.
    std::uint32_t firstAbs = merged > 0 ? m_merge[0].time : 0;
    std::uint32_t lastAbs
        = merged > 0 ? m_merge[static_cast<std::size_t>(merged - 1)].time : m_lastTime;
    for (std::int32_t i = merged - 1; i > 0; --i) {
        auto& current = m_merge[static_cast<std::size_t>(i)].time;
        std::uint32_t before = m_merge[static_cast<std::size_t>(i - 1)].time;
        current = current > before ? current - before : 0;
    }
    if (merged > 0) {
        m_merge[0].time = firstAbs > m_lastTime ? firstAbs - m_lastTime : 0;
        m_lastTime = lastAbs;
    }
    m_mergeCount = merged;
    m_mergePos = 0;
}

void TMidiScore::MergeOut(TMidiOut* port)
{
    if (!port)
        return;
    bool sentAny = false;
    for (int round = 0; round < 2; ++round) {
        while (m_mergePos < m_mergeCount) {
            if (!port->Put(&m_merge[static_cast<std::size_t>(m_mergePos)]))
                return;
            ++m_mergePos;
            sentAny = true;
        }
        MergeTracks();
        // Started with nothing merged (StartOut): send the first batch now.
        if (sentAny || m_mergeCount == 0)
            return;
    }
}

void TMidiScore::StartOut(TMidiOut* port)
{
    for (Entry& entry : m_entries) {
        entry.position = 0;
        entry.start = 0;
        entry.inSysEx = false;
        entry.count = kMergeSize;
    }
    m_mergeCount = 0;
    m_mergePos = 0;
    m_lastTime = 0;
    MergeOut(port);
}

} // namespace kestrow
