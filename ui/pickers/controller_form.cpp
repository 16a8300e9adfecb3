#include "ui/pickers/controller_form.h"

#include "core/text_codec.h"

namespace kestrow {

TController1Form::TController1Form(EditorState& state, QWidget* parent)
    : GridPicker(state, kTallGrid, QStringLiteral("Controller1Form"), QSize(488, 451), parent)
{
}

QString TController1Form::cellText(int value) const
{
    return QString::fromStdString(
        cp1252ToUtf8(m_state.catalogue.controllerNames[static_cast<std::size_t>(value)]));
}

void TController1Form::assign(int value)
{
    m_state.assignSelectedField(value);
    m_state.refreshKnobCell();
}

QString TController1Form::moveCaption(int value) const
{
    return QStringLiteral("(Ctrl: %1)  %2").arg(QString::number(value), cellText(value));
}

} // namespace kestrow
