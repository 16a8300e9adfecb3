// The commands of the Verify report: its rows, sending the presets it names
// again, and taking what the device holds into the working set.

#include "editor/editor_session.h"

#include <algorithm>

namespace kestrow {

std::vector<VerifyRow> EditorSession::verifyRows(const SyncReport& report) const
{
    return kestrow::verifyRows(
        m_catalogue, m_bank.presets, heldPresets(m_bank.presets, m_sync.memory()), report);
}

PortCheck EditorSession::sendPresets(const std::vector<int>& presetIndices)
{
    return m_protocol.sendPresets(presetIndices);
}

std::vector<int> EditorSession::takeFromDevice(const std::vector<int>& presetIndices)
{
    std::vector<int> presets;
    for (int p : presetIndices) {
        if (p >= 0 && p < kPresetCount && m_sync.memory().held(p).data)
            presets.push_back(p);
    }
    std::ranges::sort(presets);
    presets.erase(std::unique(presets.begin(), presets.end()), presets.end());
    if (presets.empty())
        return {};
    const PresetSet device = heldPresets(m_bank.presets, m_sync.memory());
    std::vector<int> changed;
    {
        EditHistory::Scope step = m_history.record("Take From Device", presets.front());
        for (int p : presets) {
            const auto i = static_cast<std::size_t>(p);
            step.preset(p);
            if (m_bank.presets[i] != device[i]) {
                m_bank.presets[i] = device[i];
                changed.push_back(p);
            }
        }
    }
    if (std::ranges::find(changed, m_bank.selectedPreset) != changed.end())
        refreshKnobTable(m_bank.selectedPreset);
    if (m_host != nullptr && !changed.empty()) {
        m_host->historyChanged();
        m_host->deviceMarksChanged();
    }
    return changed;
}

} // namespace kestrow
