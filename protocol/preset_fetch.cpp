#include "protocol/preset_fetch.h"

#include <utility>

namespace kestrow {

PresetFetch::PresetFetch(FetchPlan plan)
    : m_plan(std::move(plan))
{
    std::erase_if(m_plan.presets, [](int p) { return p < 0 || p >= kPresetCount; });
    if (!m_plan.presets.empty())
        m_current.presetIndex = m_plan.presets.front();
}

int PresetFetch::currentPreset() const { return finished() ? -1 : m_current.presetIndex; }

DumpFrame PresetFetch::request() const
{
    return requestMessage(
        m_askingInit ? dump::kInitValuesRequest : dump::kPresetRequest, m_current.presetIndex);
}

std::optional<DumpFrame> PresetFetch::poll(std::int64_t now)
{
    if (finished())
        return std::nullopt;
    if (m_awaiting) {
        if (now < m_deadline)
            return std::nullopt;
        if (m_attempts < kRequestAttempts) {
            ++m_attempts;
            m_lastPut = now;
            m_deadline = now + m_plan.replyTimeout;
            return request();
        }
        m_awaiting = false;
        m_noReply.push_back(m_current.presetIndex);
        nextPreset();
        if (++m_silentInARow >= kSilentPresetsLimit) {
            // The device is gone: asking the rest would only take their time-outs.
            for (; !finished(); nextPreset())
                m_noReply.push_back(m_current.presetIndex);
            return std::nullopt;
        }
    }
    if (finished() || (m_anyPut && now < m_lastPut + m_plan.delay))
        return std::nullopt;
    m_awaiting = true;
    m_anyPut = true;
    m_attempts = 1;
    m_lastPut = now;
    m_deadline = now + m_plan.replyTimeout;
    return request();
}

bool PresetFetch::take(const DecodedFrame& reply)
{
    const FrameKind expected = m_askingInit ? FrameKind::initValues : FrameKind::presetData;
    if (!m_awaiting || reply.kind != expected || !reply.carriesPreset()
        || reply.frame.firstParam != m_current.presetIndex)
        return false;
    m_awaiting = false;
    m_silentInARow = 0;
    if (m_askingInit) {
        m_current.initValues = reply;
    } else {
        m_current.data = reply;
        if (m_plan.initValues) {
            m_askingInit = true;
            return true;
        }
    }
    m_answered.push_back(m_current);
    nextPreset();
    return true;
}

void PresetFetch::nextPreset()
{
    ++m_index;
    m_askingInit = false;
    m_current = {};
    if (!finished())
        m_current.presetIndex = m_plan.presets[m_index];
}

void PresetFetch::cancel()
{
    m_cancelled = true;
    m_awaiting = false;
    m_index = m_plan.presets.size();
}

} // namespace kestrow
