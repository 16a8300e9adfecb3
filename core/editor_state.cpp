#include "core/editor_state.h"

#include "core/knob_edits.h"

#include <utility>

namespace kestrow {

EditorState::EditorState(PresetBank& presetBank, Catalogue& eventCatalogue,
    const DeviceVariant& deviceVariant, EditHistory& editHistory)
    : bank(presetBank)
    , catalogue(eventCatalogue)
    , variant(deviceVariant)
    , history(editHistory)
{
}

DragOperation EditorState::operationFor(bool shift, bool ctrl) const
{
    if (shift && ctrl)
        return DragOperation::none;
    if (shift)
        return dragKeyMap[0];
    if (ctrl)
        return dragKeyMap[1];
    return dragKeyMap[2];
}

bool EditorState::initValuesAvailable() const
{
    return initValueAccess(variant, bank.selectedPreset) == InitValueAccess::available;
}

EditHistory::Scope EditorState::recordEdit(std::string name, std::string mergeKey)
{
    EditHistory::Scope step
        = history.record(std::move(name), bank.selectedPreset, std::move(mergeKey));
    step.preset(bank.selectedPreset);
    return step;
}

void EditorState::assignSelectedField(std::int32_t value)
{
    const EditHistory::Scope step = recordEdit(assignStepName(bank));
    bank.assignSelectedField(value);
}

void EditorState::refreshKnobTable(int presetIndex)
{
    for (const auto& [owner, view] : m_views) {
        if (view.table)
            view.table(presetIndex);
    }
    if (hooks.refreshPresetView)
        hooks.refreshPresetView(presetIndex);
}

void EditorState::refreshKnobCell()
{
    refreshCell({ bank.selectedField + 1, bank.selectedKnob + 1 });
}

void EditorState::refreshCell(CellPos cell)
{
    for (const auto& [owner, view] : m_views) {
        if (view.cell)
            view.cell(cell);
    }
}

void EditorState::showKnob(int knob)
{
    for (const auto& [owner, view] : m_views) {
        if (view.knob)
            view.knob(knob);
    }
}

} // namespace kestrow
