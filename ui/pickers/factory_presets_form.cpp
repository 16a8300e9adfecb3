#include "ui/pickers/factory_presets_form.h"

#include "core/bank_operations.h"
#include "core/text_codec.h"

#include <string>

namespace kestrow {

TFactoryPresetsForm::TFactoryPresetsForm(EditorState& state, QWidget* parent)
    : GridPicker(state, kTallGrid, QStringLiteral("Factory Presets"), QSize(488, 451), parent)
{
}

QString TFactoryPresetsForm::cellText(int value) const
{
    return QString::fromStdString(
        cp1252ToUtf8(m_state.bank.factoryPresets[static_cast<std::size_t>(value)].name));
}

bool TFactoryPresetsForm::greyed(int value) const
{
    const Preset& preset = m_state.bank.factoryPresets[static_cast<std::size_t>(value)];
    return !fitsVariant(preset, m_state.variant);
}

void TFactoryPresetsForm::assign(int value)
{
    bool taken = false;
    {
        const EditHistory::Scope step
            = m_state.recordEdit("Select Factory Preset " + std::to_string(value + 1));
        taken = takeFactoryPreset(m_state.bank, value, m_state.variant);
    }
    if (taken)
        m_state.refreshKnobTable(m_state.bank.selectedPreset);
}

void TFactoryPresetsForm::buttonPressed(QPoint gridPos, Qt::MouseButton button)
{
    const int value = valueAtPos(gridPos);
    if (button == Qt::LeftButton && value >= 0)
        assign(value);
}

void TFactoryPresetsForm::buttonReleased(QPoint, Qt::MouseButton) { accept(); }

QString TFactoryPresetsForm::moveCaption(int value) const
{
    return QStringLiteral("%1:  %2").arg(QString::number(value), cellText(value));
}

QString TFactoryPresetsForm::keyCaption(int value) const
{
    return QStringLiteral("( %1 )  %2").arg(QString::number(value), cellText(value));
}

} // namespace kestrow
