#include "protocol/preset_fetch.h"

#include <algorithm>
#include <utility>

namespace kestrow {

PresetFetch::PresetFetch(FetchPlan plan)
    : m_plan(std::move(plan))
{
    std::erase_if(m_plan.presets, [](int p) { return p < 0 || p >= kPresetCount; });
    startPass(m_plan.presets);
}

void PresetFetch::startPass(std::vector<int> presets)
{
    m_queue = std::move(presets);
    m_position = 0;
    m_again.clear();
    m_answeredInPass = 0;
    m_silentInARow = 0;
    m_askingInit = false;
    if (m_queue.empty())
        finish({});
}

void PresetFetch::finish(std::vector<int> missing)
{
    m_done = true;
    m_awaiting = false;
    // In the order of the plan, as asked the first time.
    for (int p : m_plan.presets)
        if (std::ranges::find(missing, p) != missing.end())
            m_noReply.push_back(p);
}

int PresetFetch::currentPreset() const { return m_done ? -1 : m_queue[m_position]; }

bool PresetFetch::complete(int presetIndex) const
{
    const std::optional<FetchedPreset>& got = m_got[static_cast<std::size_t>(presetIndex)];
    return got && (!m_plan.initValues || got->initValues);
}

std::int64_t PresetFetch::replyWait() const
{
    std::int64_t wait = m_plan.replyTimeout;
    if (m_answerTime >= 0)
        wait = std::min<std::int64_t>(wait,
            std::max<std::int64_t>(
                kMinReplyWait, static_cast<std::int64_t>(kReplyWaitFactor * m_answerTime)));
    return wait << std::min(m_pass, 3);
}

DumpFrame PresetFetch::request() const
{
    return requestMessage(
        m_askingInit ? dump::kInitValuesRequest : dump::kPresetRequest, currentPreset());
}

void PresetFetch::advance()
{
    ++m_position;
    m_askingInit = false;
    if (m_position < m_queue.size())
        return;
    if (m_again.empty()) {
        finish({});
    } else if (m_answeredInPass == 0 || m_pass + 1 >= kFetchPasses) {
        // Nothing answered the whole pass: the device is not there.
        finish(m_again);
    } else {
        ++m_pass;
        startPass(std::move(m_again));
    }
}

std::optional<DumpFrame> PresetFetch::poll(std::int64_t now)
{
    if (m_done)
        return std::nullopt;
    if (m_replyCame) {
        m_replyCame = false;
        const auto took = static_cast<double>(now - m_lastPut);
        m_answerTime = m_answerTime < 0 ? took : m_answerTime + (took - m_answerTime) / 8;
    }
    if (m_awaiting) {
        if (now < m_deadline)
            return std::nullopt;
        m_awaiting = false;
        m_again.push_back(currentPreset());
        if (++m_silentInARow >= kSilentPresetsLimit) {
            // A bad spell or a device gone: the rest waits for the next pass.
            m_again.insert(m_again.end(),
                m_queue.begin() + static_cast<std::ptrdiff_t>(m_position) + 1, m_queue.end());
            m_position = m_queue.size() - 1;
        }
        advance();
        if (m_done)
            return std::nullopt;
    }
    if (!m_started) {
        // One Delay after whatever went before (a transfer's Program Change):
        // a device still busy with it would lose the first request.
        m_started = true;
        m_lastPut = now;
    }
    if (now < m_lastPut + m_plan.delay)
        return std::nullopt;
    // A preset whose data came in an earlier pass is asked only for what is missing.
    if (!m_askingInit && m_got[static_cast<std::size_t>(currentPreset())])
        m_askingInit = true;
    m_awaiting = true;
    m_lastPut = now;
    m_deadline = now + replyWait();
    return request();
}

bool PresetFetch::take(const DecodedFrame& reply)
{
    const FrameKind expected = m_askingInit ? FrameKind::initValues : FrameKind::presetData;
    if (!m_awaiting || reply.kind != expected || !reply.carriesPreset()
        || reply.frame.firstParam != currentPreset())
        return false;
    m_awaiting = false;
    m_replyCame = true;
    m_silentInARow = 0;
    ++m_answeredInPass;
    std::optional<FetchedPreset>& got = m_got[static_cast<std::size_t>(currentPreset())];
    if (m_askingInit) {
        got->initValues = reply;
    } else {
        got = FetchedPreset { currentPreset(), reply, std::nullopt };
        if (m_plan.initValues) {
            m_askingInit = true;
            return true;
        }
    }
    advance();
    return true;
}

std::vector<FetchedPreset> PresetFetch::answered() const
{
    std::vector<FetchedPreset> whole;
    for (int p : m_plan.presets)
        if (complete(p))
            whole.push_back(*m_got[static_cast<std::size_t>(p)]);
    return whole;
}

void PresetFetch::cancel()
{
    m_cancelled = true;
    m_awaiting = false;
    m_done = true;
}

} // namespace kestrow
