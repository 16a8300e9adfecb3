#include "ui/pickers/parameter_form.h"

#include "core/text_codec.h"

namespace kestrow {

TParameter1Form::TParameter1Form(EditorState& state, QWidget* parent)
    : GridPicker(state, kTallGrid, QStringLiteral("Parameter Form"), QSize(488, 451), parent)
{
    setList(ParameterList::xgDrum);
}

void TParameter1Form::setList(ParameterList list)
{
    m_list = list;
    m_texts.clear();
    for (const std::string& text : m_state.catalogue.parameterGrid(list))
        m_texts.push_back(QString::fromStdString(cp1252ToUtf8(text)));
    while (m_texts.size() < valueCount())
        m_texts.push_back(QString());
    grid()->update();
}

int TParameter1Form::openParameterPicker(ParameterList list, int value, bool byKeyboard)
{
    setList(list);
    return openPicker(value, byKeyboard);
}

QString TParameter1Form::cellText(int value) const
{
    return value >= 0 && value < m_texts.size() ? m_texts[value] : QString();
}

void TParameter1Form::assign(int value)
{
    m_state.assignSelectedField(value);
    m_state.refreshKnobCell();
}

QString TParameter1Form::moveCaption(int value) const
{
    return QStringLiteral("%1  (0x%2)    %3")
        .arg(QString::number(value), hexByte(value), cellText(value));
}

} // namespace kestrow
