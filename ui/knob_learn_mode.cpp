#include "ui/knob_learn_mode.h"

#include "protocol/device_settings_model.h"

namespace kestrow {

KnobLearnMode::KnobLearnMode(
    TrafficTap& tap, const PresetBank& bank, const DeviceSettingsModel& settings)
    : m_tap(tap)
    , m_bank(bank)
    , m_settings(settings)
{
}

KnobLearnMode::~KnobLearnMode() { setOn(false); }

void KnobLearnMode::setOn(bool on)
{
    if (on == this->on())
        return;
    m_learner.reset(); // selections seen before do not count
    m_tap.setLearner(on ? this : nullptr);
}

void KnobLearnMode::incoming(const MidiEvent& event, const std::string& /*port*/)
{
    const int preset = m_bank.selectedPreset;
    if (preset < 0 || preset >= kPresetCount)
        return;
    const std::optional<int> knob = m_learner.feed(m_bank.presets[static_cast<std::size_t>(preset)],
        m_settings.masterChannel(), event.status, event.data1, event.data2);
    if (knob && onKnob)
        onKnob(*knob);
}

} // namespace kestrow
