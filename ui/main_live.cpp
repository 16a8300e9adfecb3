// The main window's views of the live MIDI traffic: the monitor and knob learn.
#include "core/bank_search.h"
#include "ui/knob_table.h"
#include "ui/main_form.h"
#include "ui/midi_monitor_form.h"

#include <QAction>

namespace kestrow {

void TMainForm::openMidiMonitor()
{
    if (m_monitor == nullptr)
        m_monitor = new TMidiMonitorForm(m_session.traffic(), catalogue(), this);
    m_monitor->show();
    m_monitor->raise();
    m_monitor->activateWindow();
}

void TMainForm::setKnobLearn(bool on)
{
    if (!m_learn) {
        m_learn = std::make_unique<KnobLearnMode>(
            m_session.traffic(), bank(), m_session.deviceSettings());
        m_learn->onKnob = [this](int knob) { showLearnedKnob(knob); };
    }
    m_learn->setOn(on);
    if (QAction* action = findAction({ QStringLiteral("&Device"), QStringLiteral("Learn") }))
        action->setChecked(on);
}

void TMainForm::showLearnedKnob(int knob)
{
    if (knob < 0 || knob >= kKnobCount)
        return;
    const int row = knob + 1;
    KnobTable* table = knobTable();
    table->setCurrentCell(row, std::max(table->currentColumn(), 1));
    table->setFocus();
    m_state.hoverKnob = row;
    m_state.showKnob(row);
    const Preset& preset = bank().presets[static_cast<std::size_t>(bank().selectedPreset)];
    showStatus("Learn: knob " + std::to_string(row) + " \""
        + preset.knobName[static_cast<std::size_t>(knob)] + "\", "
        + sendsText(catalogue(), preset, knob));
}

} // namespace kestrow
