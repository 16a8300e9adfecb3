#include "knob_table_controller.h"

#include "knob_drops.h"
#include "text_codec.h"

#include <QCursor>

#include <algorithm>

namespace kestrow {

namespace {

constexpr int kMaxKnobName = 24;

bool validCell(CellPos cell)
{
    return cell.column >= 0 && cell.column <= 5 && cell.row >= 0 && cell.row <= kKnobCount;
}

bool channelIsFixedByEvent(std::int32_t eventType)
{
    return eventType == 84 || eventType == 85 || eventType == 86 || eventType == 90
        || eventType == 91 || eventType == kNoEvent;
}

} // namespace

std::string knobNameFromText(const QString& text)
{
    std::string name = utf8ToCp1252(text.toStdString());
    if (name.size() > kMaxKnobName)
        name.resize(kMaxKnobName);
    return name;
}

KnobTableController::KnobTableController(EditorState& state, PickerHost& host)
    : m_state(state)
    , m_host(host)
{
}

void KnobTableController::setCurrentCell(CellPos cell)
{
    if (!validCell(cell) || cell == m_current)
        return;
    m_current = cell;
    if (onCurrentCellChanged)
        onCurrentCellChanged(cell);
}

bool KnobTableController::hover(CellPos cell)
{
    if (!validCell(cell) || cell == m_hover)
        return false;
    m_hover = cell;
    setCurrentCell(cell);
    refresh();
    m_state.hoverKnob = cell.row;
    m_state.showKnob(cell.row);
    return true;
}

void KnobTableController::classify(CellPos cell)
{
    PresetBank& bank = m_state.bank;
    bank.allKnobsPending = cell.row == 0 && cell.column != 0;
    bank.selectedKnob = cell.row - 1;
    bank.selectedField = cell.column - 1;
}

void KnobTableController::rightClick(CellPos cell, QPoint screenPos)
{
    actAsRightButton(cell, screenPos, false);
}

void KnobTableController::actAsRightButton(CellPos cell, QPoint popupPos, bool byKeyboard)
{
    if (!validCell(cell))
        return;
    classify(cell);
    m_state.savedPointer = QCursor::pos();
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
        if (m_state.variant != DeviceVariant::zembraDial)
            break;
        if (m_state.bank.selectedPreset == kPresetCount - 1) {
            m_host.warning(QStringLiteral("Warning !"),
                           QStringLiteral("Init Values are not available for Preset 128"));
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
    m_state.restorePointer();
    if (numbering) {
        if (choice == 0) {
            m_state.bank.assignSelectedFieldNumbering();
            refresh();
            return;
        }
        --choice;
    }
    // Entries 0..15 are channels 1..16, the last one is the master channel (0).
    m_state.bank.assignSelectedField(choice == 16 ? 0 : choice + 1);
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
    if (!validCell(cell) || cell.row == 0)
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
    const CellPos source = m_state.copySource;
    const CellPos target = m_current;
    if (source.column != target.column || !validCell(source) || !validCell(target))
        return;
    PresetBank& bank = m_state.bank;
    const int column = target.column;
    if (source.row != 0) {
        if (target.row == 0) {
            for (int k = 0; k < kKnobCount; ++k)
                pasteClipboardColumn(bank, column, source.row - 1, k);
        } else {
            pasteClipboardColumn(bank, column, source.row - 1, target.row - 1);
        }
    } else if (target.row == 0) {
        for (int k = 0; k < kKnobCount; ++k)
            pasteClipboardColumn(bank, column, k, k);
    } else {
        return;
    }
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
    const int highest = cell.column == 2 ? 16 : 127;
    if (!ok || value < 0 || value > highest) {
        m_state.bank.allKnobsPending = false;
        return;
    }
    m_state.bank.assignSelectedField(value);
    refresh();
}

void KnobTableController::setKnobName(int knob, const QString& text)
{
    if (knob < 0 || knob >= kKnobCount)
        return;
    m_state.bank.setKnobFieldText(m_state.bank.selectedPreset, knob, knobNameFromText(text));
}

void KnobTableController::initDescription()
{
    for (int k = 0; k < kKnobCount; ++k)
        m_state.preset().knobName[static_cast<std::size_t>(k)] = "Knob " + std::to_string(k + 1);
    refresh();
}

void KnobTableController::incValues()
{
    Preset& p = m_state.preset();
    const std::int32_t first = p.fixedParameter[0];
    for (int k = 0; k < kKnobCount; ++k)
        p.fixedParameter[static_cast<std::size_t>(k)] = std::clamp(first + k, 0, 127);
    refresh();
}

void KnobTableController::decValues()
{
    Preset& p = m_state.preset();
    const std::int32_t first = p.fixedParameter[0];
    for (int k = 0; k < kKnobCount; ++k)
        p.fixedParameter[static_cast<std::size_t>(k)] = std::clamp(first - k, 0, 127);
    refresh();
}

void KnobTableController::copyInitValues()
{
    m_state.initValues.values = m_state.preset().initValue;
    m_state.initValues.filled = true;
}

void KnobTableController::pasteInitValues()
{
    if (!m_state.initValues.filled)
        return;
    m_state.preset().initValue = m_state.initValues.values;
    refresh();
}

void KnobTableController::setAllInitValues(std::int32_t value)
{
    m_state.preset().initValue.fill(value);
    refresh();
}

void KnobTableController::refresh()
{
    m_state.refreshKnobTable(m_state.bank.selectedPreset);
}

} // namespace kestrow
