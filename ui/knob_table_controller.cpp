#include "ui/knob_table_controller.h"

#include "core/knob_drops.h"
#include "core/knob_edits.h"
#include "core/preset_names.h"
#include "ui/screen_pointer.h"

#include <algorithm>

namespace kestrow {

KnobTableController::KnobTableController(EditorState& state, PickerHost& host)
    : m_state(state)
    , m_host(host)
{
}

void KnobTableController::setCurrentCell(CellPos cell)
{
    if (!isTableCell(cell) || cell == m_current)
        return;
    m_current = cell;
    if (onCurrentCellChanged)
        onCurrentCellChanged(cell);
}

bool KnobTableController::hover(CellPos cell)
{
    if (!isTableCell(cell) || cell == m_hover)
        return false;
    m_hover = cell;
    setCurrentCell(cell);
    refresh();
    m_state.hoverKnob = cell.row;
    m_state.showKnob(cell.row);
    return true;
}

void KnobTableController::classify(CellPos cell) { classifyGesture(m_state.bank, cell); }

void KnobTableController::rightClick(CellPos cell, QPoint screenPos)
{
    actAsRightButton(cell, screenPos, false);
}

void KnobTableController::actAsRightButton(CellPos cell, QPoint popupPos, bool byKeyboard)
{
    if (!isTableCell(cell))
        return;
    classify(cell);
    savePointer(m_state);
    const Preset& p = m_state.preset();
    const int knob = cell.row - 1;
    const auto k = static_cast<std::size_t>(std::max(knob, 0));

    switch (cell.column) {
    case 1:
        if (cell.row == 0
            && m_host.popupMenu({ { QStringLiteral("Init Description") } }, popupPos) == 0)
            initDescription();
        break;
    case 2:
        if (cell.row == 0 || !channelIsFixedByEvent(p.eventType[k]))
            channelPopup(cell, popupPos);
        break;
    case 3:
        m_host.openEventPicker(cell.row == 0 ? -1 : p.eventType[k], byKeyboard);
        break;
    case 4:
        if (cell.row == 0) {
            const int choice = m_host.popupMenu(
                { { QStringLiteral("Inc. Values") }, { QStringLiteral("Dec. Values") } }, popupPos);
            if (choice == 0)
                incValues();
            else if (choice == 1)
                decValues();
        } else {
            fixedParameterPicker(knob, byKeyboard);
        }
        break;
    case 5:
        switch (initValueAccess(m_state.variant, m_state.bank.selectedPreset)) {
        case InitValueAccess::none:
            return;
        case InitValueAccess::notForLast:
            m_host.warning(QStringLiteral("Warning !"),
                QStringLiteral("Init Values are not available for Preset 128"));
            return;
        case InitValueAccess::available:
            break;
        }
        if (cell.row == 0)
            initValuesPopup(popupPos);
        else
            m_host.openValuePicker(p.initValue[k], byKeyboard);
        break;
    default:
        break;
    }
}

void KnobTableController::channelPopup(CellPos cell, QPoint popupPos)
{
    std::vector<PopupEntry> entries;
    const bool numbering = cell.row == 0;
    if (numbering)
        entries.push_back({ QStringLiteral("1 - 16") });
    for (int c = 1; c <= 16; ++c)
        entries.push_back({ QString::number(c) });
    entries.push_back({ QStringLiteral("Master") });

    int choice = m_host.popupMenu(entries, popupPos);
    if (choice < 0 || choice >= static_cast<int>(entries.size()))
        return;
    restorePointer(m_state);
    if (numbering) {
        if (choice == 0) {
            {
                const EditHistory::Scope step = m_state.recordEdit("Number Channels 1 - 16");
                m_state.bank.assignSelectedFieldNumbering();
            }
            refresh();
            return;
        }
        --choice;
    }
    // Entries 0..15 are channels 1..16, the last one is the master channel (0).
    m_state.assignSelectedField(choice == 16 ? 0 : choice + 1);
    refresh();
}

void KnobTableController::initValuesPopup(QPoint popupPos)
{
    const std::vector<PopupEntry> entries {
        { QStringLiteral("Copy Init Values") },
        { QStringLiteral("Paste Init Values"), m_state.initValues.filled },
        { QStringLiteral("-") },
        { QStringLiteral("select Value") },
        { QStringLiteral("Left            (0)") },
        { QStringLiteral("Center      (64)") },
        { QStringLiteral("Right      (127)") },
        { QStringLiteral("-") },
        { QStringLiteral("get Init Values from zembraDial") },
        { QStringLiteral("send Init Values to zembraDial") },
    };
    switch (m_host.popupMenu(entries, popupPos)) {
    case 0:
        copyInitValues();
        break;
    case 1:
        pasteInitValues();
        break;
    case 3:
        // Opened as by keyboard so that the release which chose the entry is not taken.
        m_host.openValuePicker(-1, true);
        break;
    case 4:
        setAllInitValues(0);
        break;
    case 5:
        setAllInitValues(64);
        break;
    case 6:
        setAllInitValues(127);
        break;
    case 8:
        if (m_state.hooks.requestInitValues)
            m_state.hooks.requestInitValues();
        break;
    case 9:
        if (m_state.hooks.sendInitValues)
            m_state.hooks.sendInitValues();
        break;
    default:
        break;
    }
}

void KnobTableController::fixedParameterPicker(int knob, bool byKeyboard)
{
    const Preset& p = m_state.preset();
    const auto k = static_cast<std::size_t>(knob);
    const std::int32_t value = p.fixedParameter[k];
    const FixedParameterPicker picker = fixedParameterPickerFor(p.eventType[k]);
    switch (picker.kind) {
    case PickerKind::controller:
        m_host.openControllerPicker(value, byKeyboard);
        break;
    case PickerKind::note:
        m_host.openNotePicker(value);
        break;
    case PickerKind::parameter:
        m_host.openParameterPicker(picker.list, value, byKeyboard);
        break;
    case PickerKind::value:
        m_host.openValuePicker(value, byKeyboard);
        break;
    case PickerKind::none:
        break;
    }
}

bool KnobTableController::leftPress(CellPos cell, bool shift, bool ctrl)
{
    if (!isTableCell(cell) || cell.row == 0)
        return false;
    m_state.dragOperation = m_state.operationFor(shift, ctrl);
    startKnobDrag(m_state, cell.row, cell.column);
    return true;
}

bool KnobTableController::keyPress(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat)
{
    if (!autoRepeat && !m_strokeStarted) {
        m_strokeStarted = true;
        m_savedCursor = m_current;
    }
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    PresetBank& bank = m_state.bank;

    switch (key) {
    case Qt::Key_PageUp:
        if (bank.selectedPreset > 0 && m_state.hooks.selectPreset)
            m_state.hooks.selectPreset(bank.selectedPreset - 1);
        return true;
    case Qt::Key_PageDown:
        if (bank.selectedPreset < kPresetCount - 1 && m_state.hooks.selectPreset)
            m_state.hooks.selectPreset(bank.selectedPreset + 1);
        return true;
    case Qt::Key_Home:
        setCurrentCell({ 0, 0 });
        return true;
    case Qt::Key_C:
        if (!ctrl)
            return false;
        copy();
        return true;
    case Qt::Key_V:
        if (!ctrl)
            return false;
        paste();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Menu:
        actAsRightButton(m_current, kKeyboardPopupPos, true);
        return true;
    case Qt::Key_F10:
        if (!shift)
            return false;
        actAsRightButton(m_current, kKeyboardPopupPos, true);
        return true;
    default:
        break;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !ctrl && m_current.column >= 2) {
        numberEntry(QString(QChar('0' + (key - Qt::Key_0))));
        return true;
    }
    return false;
}

void KnobTableController::keyRelease(int key, bool autoRepeat)
{
    if (autoRepeat)
        return;
    m_strokeStarted = false;
    if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
        setCurrentCell(m_savedCursor);
        m_lastKeyUpCell = m_current;
        return;
    }
    if (m_current == m_lastKeyUpCell)
        return;
    m_lastKeyUpCell = m_current;
    refresh();
    m_state.hoverKnob = m_current.row;
    m_state.showKnob(m_current.row);
}

void KnobTableController::copy()
{
    m_state.bank.copyPresetToClipboard(m_state.bank.selectedPreset);
    m_state.copySource = m_current;
    if (m_current == CellPos { 0, 0 } && m_state.hooks.enablePresetPaste)
        m_state.hooks.enablePresetPaste();
}

void KnobTableController::paste()
{
    bool pasted = false;
    {
        const EditHistory::Scope step
            = m_state.recordEdit("Paste " + columnStepLabel(m_current.column));
        pasted = pasteCells(m_state.bank, m_state.copySource, m_current);
    }
    if (pasted)
        refresh();
}

void KnobTableController::numberEntry(const QString& firstDigit)
{
    const CellPos cell = m_current;
    if (cell.column < 2 || cell.column > 5)
        return;
    classify(cell);
    const std::optional<QString> text = m_host.editNumber(firstDigit);
    bool ok = false;
    const int value = text ? text->trimmed().toInt(&ok, 10) : -1;
    bool entered = false;
    {
        const EditHistory::Scope step = m_state.recordEdit(assignStepName(m_state.bank));
        entered = enterNumber(
            m_state.bank, cell.column, ok ? std::optional<std::int32_t>(value) : std::nullopt);
    }
    if (entered)
        refresh();
}

void KnobTableController::setKnobName(int knob, const QString& text)
{
    if (knob < 0 || knob >= kKnobCount)
        return;
    // Every keystroke of one editor on one knob is a single step.
    const int preset = m_state.bank.selectedPreset;
    const EditHistory::Scope step = m_state.recordEdit("Rename Knob " + std::to_string(knob + 1),
        "knob name " + std::to_string(preset) + " " + std::to_string(knob));
    m_state.bank.setKnobFieldText(preset, knob, knobNameFromText(text.toStdString()));
}

void KnobTableController::nameEditFinished() { m_state.history.closeBurst(); }

void KnobTableController::initDescription()
{
    edit("Init Description", [](Preset& p) { kestrow::initDescription(p); });
}

void KnobTableController::incValues()
{
    edit("Inc. Values", [](Preset& p) { kestrow::incValues(p); });
}

void KnobTableController::decValues()
{
    edit("Dec. Values", [](Preset& p) { kestrow::decValues(p); });
}

void KnobTableController::copyInitValues()
{
    kestrow::copyInitValues(m_state.initValues, m_state.preset());
}

void KnobTableController::pasteInitValues()
{
    if (m_state.initValues.filled)
        edit("Paste Init Values",
            [this](Preset& p) { kestrow::pasteInitValues(m_state.initValues, p); });
}

void KnobTableController::setAllInitValues(std::int32_t value)
{
    edit("Set Init Val of All Knobs", [value](Preset& p) { p.initValue.fill(value); });
}

void KnobTableController::edit(const std::string& name, const std::function<void(Preset&)>& change)
{
    {
        const EditHistory::Scope step = m_state.recordEdit(name);
        change(m_state.preset());
    }
    refresh();
}

void KnobTableController::refresh() { m_state.refreshKnobTable(m_state.bank.selectedPreset); }

} // namespace kestrow
