#include "core/knob_drops.h"

#include "core/knob_edits.h"

#include <string>

namespace kestrow {

namespace {

    bool isKnob(int knob) { return knob >= 1 && knob <= kKnobCount; }

    /// One undo step for a drop on the selected preset; the clipboard changes too.
    EditHistory::Scope recordDrop(EditorState& state, const std::string& what)
    {
        EditHistory::Scope step = state.recordEdit(what);
        step.clipboard();
        return step;
    }

    std::string operationName(DragOperation operation)
    {
        switch (operation) {
        case DragOperation::copy:
            return "Copy";
        case DragOperation::swap:
            return "Swap";
        case DragOperation::move:
            return "Move";
        case DragOperation::none:
            break;
        }
        return "Drop";
    }

} // namespace

void pasteClipboardColumn(PresetBank& bank, int column, int from, int to)
{
    Preset& p = bank.presets[static_cast<std::size_t>(bank.selectedPreset)];
    const Preset& clip = bank.clipboardPreset;
    const auto f = static_cast<std::size_t>(from);
    const auto t = static_cast<std::size_t>(to);
    switch (column) {
    case 0:
        copyKnob(clip, from, p, to);
        break;
    case 1:
        p.knobName[t] = clip.knobName[f];
        break;
    case 2:
        p.channel[t] = clip.channel[f];
        break;
    case 3:
        p.eventType[t] = clip.eventType[f];
        break;
    case 4:
        p.fixedParameter[t] = clip.fixedParameter[f];
        break;
    case 5:
        p.initValue[t] = clip.initValue[f];
        break;
    default:
        break;
    }
}

void startKnobDrag(EditorState& state, int knob, int column)
{
    if (!isKnob(knob))
        return;
    state.dragSourceKnob = knob;
    state.dragColumn = column;
    state.dragOrigin = 2;
    state.bank.copyKnobToClipboard(state.bank.selectedPreset, knob - 1);
}

bool tableAcceptsDrag(const EditorState& state, CellPos cell)
{
    if (state.dragOrigin != 2 || cell.column != state.dragColumn)
        return false;
    return state.dragOperation == DragOperation::copy || (state.dragColumn == 0 && cell.row != 0);
}

void moveKnobChain(EditorState& state, int from, int to)
{
    const int step = from > to ? 1 : -1;
    for (int i = to;; i += step) {
        state.bank.swapKnobWithClipboard(state.bank.selectedPreset, i - 1);
        if (i == from)
            break;
    }
}

bool dropOnTable(EditorState& state, CellPos cell)
{
    if (!tableAcceptsDrag(state, cell) || state.dragOperation == DragOperation::none)
        return false;
    if (cell.row < 0 || cell.row > kKnobCount)
        return false;
    state.dropTargetKnob = cell.row;
    PresetBank& bank = state.bank;
    const int p = bank.selectedPreset;
    const int r = cell.row;
    const std::string source = "Knob " + std::to_string(state.dragSourceKnob);
    const EditHistory::Scope step = recordDrop(state,
        state.dragColumn != 0 ? "Copy " + columnStepLabel(state.dragColumn) + " of " + source
                              : operationName(state.dragOperation) + " " + source);

    if (state.dragColumn != 0) {
        // Every clipboard slot holds the dragged knob, so slot 0 serves any target.
        if (r == 0) {
            for (int k = 0; k < kKnobCount; ++k)
                pasteClipboardColumn(bank, state.dragColumn, k, k);
        } else {
            pasteClipboardColumn(bank, state.dragColumn, r - 1, r - 1);
        }
    } else {
        switch (state.dragOperation) {
        case DragOperation::copy:
            if (r == 0) {
                for (int k = 0; k < kKnobCount; ++k)
                    bank.pasteKnobFromClipboard(p, k);
            } else {
                bank.pasteKnobFromClipboard(p, r - 1);
            }
            break;
        case DragOperation::swap:
            if (r == 0 || !isKnob(state.dragSourceKnob))
                return false;
            bank.swapKnobWithClipboard(p, r - 1);
            bank.pasteKnobFromClipboard(p, state.dragSourceKnob - 1);
            break;
        case DragOperation::move:
            if (r == 0 || !isKnob(state.dragSourceKnob) || r == state.dragSourceKnob)
                return false;
            moveKnobChain(state, state.dragSourceKnob, r);
            break;
        case DragOperation::none:
            return false;
        }
    }
    state.refreshKnobTable(p);
    return true;
}

bool pictureAcceptsDrag(const EditorState& state) { return state.dragOrigin == 2; }

bool dropOnPicture(EditorState& state, int targetKnob)
{
    if (!pictureAcceptsDrag(state) || !isKnob(targetKnob) || !isKnob(state.dragSourceKnob))
        return false;
    state.dropTargetKnob = targetKnob;
    PresetBank& bank = state.bank;
    const int p = bank.selectedPreset;
    const int s = state.dragSourceKnob;
    const int t = targetKnob;
    const EditHistory::Scope step = recordDrop(state,
        (state.dragOperation == DragOperation::none ? std::string("Swap")
                                                    : operationName(state.dragOperation))
            + " Knob " + std::to_string(s));
    switch (state.dragOperation) {
    case DragOperation::move:
        if (s == t)
            return false;
        moveKnobChain(state, s, t);
        break;
    case DragOperation::copy:
        bank.pasteKnobFromClipboard(p, t - 1);
        break;
    case DragOperation::swap:
    case DragOperation::none:
        // Both keys held still exchanges on the picture; only the table refuses None.
        bank.swapKnobWithClipboard(p, t - 1);
        bank.pasteKnobFromClipboard(p, s - 1);
        break;
    }
    state.refreshKnobTable(p);
    return true;
}

bool releaseOnPicture(EditorState& state, int knob)
{
    if (!isKnob(knob))
        return false;
    state.dropTargetKnob = knob;
    {
        const EditHistory::Scope step = recordDrop(state, "Paste Knob " + std::to_string(knob));
        state.bank.pasteKnobFromClipboard(state.bank.selectedPreset, knob - 1);
    }
    state.refreshKnobTable(state.bank.selectedPreset);
    return true;
}

} // namespace kestrow
