#include "ui/pickers/values_form.h"

namespace kestrow {

TValuesForm::TValuesForm(EditorState& state, QWidget* parent)
    : GridPicker(state, Layout { 16, 8, 30, 20, true }, QStringLiteral("ValuesForm"),
        QSize(502, 173), parent)
{
}

QString TValuesForm::cellText(int value) const { return QString::number(value); }

void TValuesForm::assign(int value)
{
    PresetBank& bank = m_state.bank;
    const bool allKnobs = bank.allKnobsPending;
    m_state.assignSelectedField(value);
    if (allKnobs)
        m_state.refreshKnobTable(bank.selectedPreset);
    else
        m_state.refreshKnobCell();
}

QString TValuesForm::moveCaption(int value) const { return QStringLiteral("Value:%1").arg(value); }

QString TValuesForm::keyCaption(int value) const
{
    return QStringLiteral("(Ctrl: %1)  %2").arg(QString::number(value), cellText(value));
}

} // namespace kestrow
