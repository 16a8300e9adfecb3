#include "ui/pickers/events_form.h"

#include "core/text_codec.h"

namespace kestrow {

TEventsForm::TEventsForm(EditorState& state, QWidget* parent)
    // Event names are long: wider columns than the other 4 x 32 pickers.
    : GridPicker(state, Layout { 4, 32, 154, 13, false }, QStringLiteral("EventsForm"),
        QSize(622, 451), parent)
{
}

QString TEventsForm::cellText(int value) const
{
    return QString::fromStdString(
        cp1252ToUtf8(m_state.catalogue.eventTypeNames[static_cast<std::size_t>(value)]));
}

bool TEventsForm::greyed(int value) const { return !eventFitsVariant(m_state.variant, value); }

void TEventsForm::assign(int value)
{
    if (greyed(value))
        return;
    PresetBank& bank = m_state.bank;
    const bool allKnobs = bank.allKnobsPending;
    m_state.assignSelectedField(value);
    if (allKnobs) {
        m_state.refreshKnobTable(bank.selectedPreset);
        return;
    }
    // The channel and fixed-parameter texts depend on the event type.
    const int row = bank.selectedKnob + 1;
    m_state.refreshCell({ 3, row });
    m_state.refreshCell({ 4, row });
    m_state.refreshCell({ 2, row });
}

QString TEventsForm::moveCaption(int value) const
{
    return QStringLiteral("(Event: %1)  %2").arg(QString::number(value), cellText(value));
}

QString TEventsForm::releaseCaption(int value) const
{
    return QStringLiteral("(Ctrl: %1)  %2").arg(QString::number(value), cellText(value));
}

void TEventsForm::done(int result)
{
    m_state.bank.allKnobsPending = false;
    GridPicker::done(result);
}

} // namespace kestrow
