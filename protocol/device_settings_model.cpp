#include "protocol/device_settings_model.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace kestrow {

namespace {

    /// Whole text as a decimal integer with an optional sign; nothing else.
    bool parseInteger(std::string_view text, long long& value)
    {
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        if (text.empty())
            return false;
        const char* end = text.data() + text.size();
        auto [ptr, error] = std::from_chars(text.data(), end, value);
        return error == std::errc() && ptr == end;
    }

    /// Without the blanks and tabs around it.
    std::string_view trimmed(std::string_view text)
    {
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t") - first + 1);
    }

} // namespace

DelayEntry interpretDelayText(std::string_view text)
{
    long long value = 0;
    DelayEntry entry;
    if (!parseInteger(trimmed(text), value) || value > 2147483647LL || value < -2147483647LL)
        entry.delay = kDefaultDelay;
    else
        entry.delay = value < 1 ? 1 : static_cast<int>(value);
    entry.text = std::to_string(entry.delay);
    return entry;
}

int masterChannelFromText(std::string_view text)
{
    long long value = 0;
    if (!parseInteger(text, value))
        return 1;
    if (value < 1)
        return 1;
    if (value > 16)
        return 16;
    return static_cast<int>(value);
}

DeviceSettingsModel::DeviceSettingsModel() = default;

void DeviceSettingsModel::setPortNames(
    std::vector<std::string> outputs, std::vector<std::string> inputs)
{
    m_outputs = std::move(outputs);
    m_inputs = std::move(inputs);
    selectedOutput = static_cast<int>(m_outputs.size());
    selectedInput = -1;
}

void DeviceSettingsModel::updatePortNames(
    std::vector<std::string> outputs, std::vector<std::string> inputs)
{
    const auto chosen = [](const std::vector<std::string>& names, int index) {
        return index >= 0 && index < std::ssize(names) ? names[static_cast<std::size_t>(index)]
                                                       : std::optional<std::string>();
    };
    const std::optional<std::string> output = chosen(m_outputs, selectedOutput);
    const std::optional<std::string> input = chosen(m_inputs, selectedInput);
    setPortNames(std::move(outputs), std::move(inputs));
    if (output) {
        if (const auto at = std::ranges::find(m_outputs, *output); at != m_outputs.end())
            selectedOutput = static_cast<int>(at - m_outputs.begin());
    }
    if (input) {
        if (const auto at = std::ranges::find(m_inputs, *input); at != m_inputs.end())
            selectedInput = static_cast<int>(at - m_inputs.begin());
    }
}

std::vector<std::string> DeviceSettingsModel::outputList() const
{
    std::vector<std::string> list = m_outputs;
    list.emplace_back(kNoDeviceEntry);
    return list;
}

std::vector<std::string> DeviceSettingsModel::inputList() const
{
    std::vector<std::string> list = m_inputs;
    list.emplace_back(kNoDeviceEntry);
    return list;
}

bool DeviceSettingsModel::outputChosen() const
{
    return selectedOutput >= 0 && selectedOutput < outputDeviceCount();
}

bool DeviceSettingsModel::inputChosen() const
{
    return selectedInput >= 0 && selectedInput < inputDeviceCount();
}

std::uint8_t DeviceSettingsModel::thruFlags() const
{
    return static_cast<std::uint8_t>((channelEventsThru ? 0x01 : 0) | (sysexEventsThru ? 0x02 : 0)
        | (realtimeEventsThru ? 0x04 : 0));
}

void DeviceSettingsModel::applyConfiguration(std::uint8_t flags, std::uint8_t channelByte)
{
    channelEventsThru = (flags & 0x01) != 0;
    sysexEventsThru = (flags & 0x02) != 0;
    realtimeEventsThru = (flags & 0x04) != 0;
    masterChannelText = std::to_string((channelByte & 0x0F) + 1);
    masterChannelKnown = true;
}

std::string DeviceSettingsModel::chosenOutputName() const
{
    return outputChosen() ? outputList()[static_cast<std::size_t>(selectedOutput)]
                          : std::string(kNoDeviceEntry);
}

std::string DeviceSettingsModel::chosenInputName() const
{
    return inputChosen() ? inputList()[static_cast<std::size_t>(selectedInput)]
                         : std::string(kNoDeviceEntry);
}

} // namespace kestrow
