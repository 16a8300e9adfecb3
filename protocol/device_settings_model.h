#pragma once

#include "core/preset_bank.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

/// Default of the "Delay" field, in milliseconds.
constexpr int kDefaultDelay = 200;
/// Last entry of both port lists.
inline constexpr char kNoDeviceEntry[] = "no device";

/// What the "Delay" field becomes after a change: the interval and the
/// text to show instead of what was typed.
struct DelayEntry {
    int delay = kDefaultDelay; ///< milliseconds, >= 1
    std::string text;
};

/// The delay rule: the text as a decimal integer, blanks around it allowed
/// ("0350" and " 350 " give 350); anything else gives 200. Below 1 becomes
/// 1, because an interval of 0 would stream the dump with no pacing at all.
DelayEntry interpretDelayText(std::string_view text);

/// The "Masterchannel" field as a channel 1..16: a non-number is 1, a typed
/// number is kept within 1..16 (so "0" never makes status BF).
int masterChannelFromText(std::string_view text);

/// The device-related state the settings dialog shows and edits. Qt-free;
/// the dialog binds its controls to it, the protocol reads it.
class DeviceSettingsModel {
public:
    DeviceSettingsModel();

    /// Fills both lists from the MIDI layer's device names; "no device" is
    /// appended to each and chosen (selectedOutput = its index, selectedInput = -1).
    void setPortNames(std::vector<std::string> outputs, std::vector<std::string> inputs);
    /// New lists from the MIDI layer; the chosen ports stay chosen by name, and
    /// become "no device" when their name is no longer listed.
    void updatePortNames(std::vector<std::string> outputs, std::vector<std::string> inputs);
    /// Device names plus the final "no device" entry, as the drop-downs show them.
    std::vector<std::string> outputList() const;
    std::vector<std::string> inputList() const;
    int outputDeviceCount() const { return static_cast<int>(m_outputs.size()); }
    int inputDeviceCount() const { return static_cast<int>(m_inputs.size()); }

    /// Index into outputList(); "no device" is the last entry. -1 also means none.
    int selectedOutput = -1;
    /// Index into inputList(); -1 = none.
    int selectedInput = -1;

    /// True when selectedOutput / selectedInput names a device.
    bool outputChosen() const;
    bool inputChosen() const;
    /// The chosen output's (input's) name, "no device" for none.
    std::string chosenOutputName() const;
    std::string chosenInputName() const;

    /// "Configure zembraC" is enabled while an output is chosen.
    bool configureEnabled() const { return outputChosen(); }
    /// "get zembraC Configuration" needs both ports.
    bool getConfigurationEnabled() const { return outputChosen() && inputChosen(); }

    DeviceVariant deviceVariant = DeviceVariant::zembraControl;

    /// The "Masterchannel" field as typed (1..16 with its up/down control).
    std::string masterChannelText = "1";
    /// masterChannelFromText of the field.
    int masterChannel() const { return masterChannelFromText(masterChannelText); }
    /// The device told its master channel, or was sent the one shown.
    bool masterChannelKnown = false;

    bool channelEventsThru = true;
    bool sysexEventsThru = true;
    bool realtimeEventsThru = true;
    /// Bit 0 channel, bit 1 SysEx, bit 2 realtime.
    std::uint8_t thruFlags() const;
    /// Takes the thru flags and channel byte of a configuration reply.
    void applyConfiguration(std::uint8_t thruFlags, std::uint8_t channelByte);

    /// The value label after "zembraC Version:"; empty until the device answers.
    std::string versionText;

    /// Current interval of the send and Program Change timers, and the field's text.
    int delay = kDefaultDelay;
    std::string delayText = "200";

    bool showBankGroups = true;
    bool bankGroupsVariable = false; ///< "&variable" rather than "fi&xed"

private:
    std::vector<std::string> m_outputs;
    std::vector<std::string> m_inputs;
};

} // namespace kestrow
