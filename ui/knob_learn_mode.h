#pragma once

#include "core/knob_learn.h"
#include "protocol/traffic_tap.h"

#include <functional>

namespace kestrow {

class DeviceSettingsModel;

/// "Learn": while on, every incoming channel event looks for the knob of the
/// selected preset that sends it and hands that knob to `onKnob`. Off, the
/// tap has no learner and input costs nothing here.
class KnobLearnMode : public MidiObserver {
public:
    /// All three must outlive this.
    KnobLearnMode(TrafficTap& tap, const PresetBank& bank, const DeviceSettingsModel& settings);
    ~KnobLearnMode() override;
    KnobLearnMode(const KnobLearnMode&) = delete;
    KnobLearnMode& operator=(const KnobLearnMode&) = delete;

    void setOn(bool on);
    bool on() const { return m_tap.learner() == this; }

    /// Knob 0..15 of the selected preset that sent the last event.
    std::function<void(int knob)> onKnob;

    void incoming(const MidiEvent& event, const std::string& port) override;
    void outgoing(std::span<const MidiEvent>, const std::string&, bool) override { }

private:
    TrafficTap& m_tap;
    const PresetBank& m_bank;
    const DeviceSettingsModel& m_settings;
    KnobLearner m_learner;
};

} // namespace kestrow
