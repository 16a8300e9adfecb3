#include "device_protocol.h"

#include "dump_frame.h"

namespace kestrow {

namespace {

const char* const kPortWarnings[] = {
    "",
    "You need to select the \"PC -> zembraControl\" port corresponding to your zembraDevice in the "
    "Device Settings Menu.",
    "You need to select the \"zembraControl -> PC\" port corresponding to your zembraDevice in the "
    "Device Settings Menu.",
    "You need to select the MidiIn/Out ports corresponding to your zembraDevice in the Device "
    "Settings Menu.",
};

constexpr EncodeOptions kLiveAll { true, true, true };

} // namespace

DeviceProtocol::DeviceProtocol(
    PresetBank& bank, DeviceSettingsModel& settings, DeviceLink& link, ProtocolHost& host)
    : m_bank(bank)
    , m_settings(settings)
    , m_link(link)
    , m_host(host)
    , m_sendBuffer(kSendBufferSize)
{
}

// --- sending ---

PortCheck DeviceProtocol::checkPorts(bool needOutput, bool needInput) const
{
    int code = 0;
    if (needOutput && !m_settings.outputChosen())
        code += static_cast<int>(MissingPorts::output);
    if (needInput && !m_settings.inputChosen())
        code += static_cast<int>(MissingPorts::input);
    return PortCheck { static_cast<MissingPorts>(code), kPortWarnings[code] };
}

bool DeviceProtocol::outputUsable() const
{
    return m_settings.outputChosen() && m_link.outputIsOpen(m_settings.selectedOutput);
}

void DeviceProtocol::putMessage(std::span<const MidiEvent> events)
{
    if (outputUsable())
        report(m_link.put(m_settings.selectedOutput, events));
}

void DeviceProtocol::report(const PortResult& result)
{
    if (!result)
        m_host.portFailed(result);
}

void DeviceProtocol::setTimer(ProtocolTimer timer, bool enabled)
{
    switch (timer) {
    case ProtocolTimer::Timer1:
        m_timer1 = enabled;
        break;
    case ProtocolTimer::Timer3:
        m_timer3 = enabled;
        break;
    case ProtocolTimer::Timer4:
        m_timer4 = enabled;
        break;
    }
    m_host.setTimerEnabled(timer, enabled);
}

bool DeviceProtocol::timerEnabled(ProtocolTimer timer) const
{
    switch (timer) {
    case ProtocolTimer::Timer1:
        return m_timer1;
    case ProtocolTimer::Timer3:
        return m_timer3;
    case ProtocolTimer::Timer4:
        break;
    }
    return m_timer4;
}

void DeviceProtocol::sendPreset(int presetIndex, bool withPresetData, bool withInitValues)
{
    m_sendCount = encodePreset(m_bank, m_settings.deviceVariant, presetIndex,
        EncodeOptions { withInitValues, withPresetData, true }, 0, m_sendBuffer, 0);
    m_sendPosition = 0;
    startPacedSend();
}

PortCheck DeviceProtocol::sendSelectedPreset(bool withPresetData, bool withInitValues)
{
    PortCheck check = checkPorts(true, false);
    if (!check.abandon())
        sendPreset(m_bank.selectedPreset, withPresetData, withInitValues);
    return check;
}

PortCheck DeviceProtocol::sendAllPresets()
{
    PortCheck check = checkPorts(true, false);
    if (check.abandon())
        return check;
    m_sendCount = encodeAllPresets(m_bank, m_settings.deviceVariant, kLiveAll, m_sendBuffer);
    m_sendPosition = 0;
    startPacedSend();
    return check;
}

PortCheck DeviceProtocol::sendBanks()
{
    PortCheck check = checkPorts(true, false);
    if (check.abandon())
        return check;
    maskBanks(m_bank, m_bank.selectedPreset);
    m_sendCount = encodeMaskedPresets(m_bank, m_settings.deviceVariant, kLiveAll, m_sendBuffer);
    m_sendPosition = 0;
    startPacedSend();
    return check;
}

void DeviceProtocol::startPacedSend()
{
    if (outputUsable())
        setTimer(ProtocolTimer::Timer1, true);
}

void DeviceProtocol::sendInitValuesNow()
{
    if (m_settings.deviceVariant != DeviceVariant::zembraDial)
        return;
    const Preset& preset = m_bank.presets[static_cast<std::size_t>(m_bank.selectedPreset)];
    putMessage(initValuesFrame(preset, m_bank.selectedPreset).events(0));
}

void DeviceProtocol::sendProgramChange(int presetIndex)
{
    const MidiEvent event = programChangeEvent(m_settings.masterChannel(), presetIndex);
    putMessage(std::span<const MidiEvent>(&event, 1));
}

void DeviceProtocol::Timer1Timer()
{
    if (m_sendCount == 0)
        return;
    if (m_sendPosition >= m_sendCount) {
        // A tick queued behind the end of a transfer: nothing left to send.
        setTimer(ProtocolTimer::Timer1, false);
        return;
    }
    const int start = m_sendPosition;
    int end = start;
    while (end < m_sendCount && m_sendBuffer[static_cast<std::size_t>(end)].data1 != dump::kSysExEnd)
        ++end;
    if (end < m_sendCount)
        ++end; // the F7 belongs to the message
    putMessage(std::span<const MidiEvent>(m_sendBuffer).subspan(
        static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));

    if (start + dump::kFirstParamOffset < m_sendCount)
        m_lastSentPreset = m_sendBuffer[static_cast<std::size_t>(start + dump::kFirstParamOffset)].data1;
    m_host.setCaption(kSendingPresetCaption + std::to_string(m_lastSentPreset + 1));
    m_sendPosition = end;

    if (m_sendPosition >= m_sendCount) {
        setTimer(ProtocolTimer::Timer1, false);
        m_host.setCaption(variantTitle(m_settings.deviceVariant));
        setTimer(ProtocolTimer::Timer4, true);
    }
}

void DeviceProtocol::Timer3Timer()
{
    // The preset "Get Preset" asked for, even if another is selected by now:
    // the reply carries that preset's number and goes into that preset.
    putRequest(dump::kInitValuesRequest, m_initValuesPreset);
    setTimer(ProtocolTimer::Timer3, false);
    m_host.refreshKnobTable(m_bank.selectedPreset);
}

void DeviceProtocol::Timer4Timer()
{
    sendProgramChange(m_bank.selectedPreset);
    setTimer(ProtocolTimer::Timer4, false);
}

// --- requests and replies ---

void DeviceProtocol::putRequest(std::uint8_t command, int presetIndex)
{
    putMessage(requestMessage(command, presetIndex).events(0));
}

void DeviceProtocol::portRefresh()
{
    m_link.closeInput();
    if (m_settings.inputChosen())
        report(m_link.openInput(m_settings.selectedInput));
    if (m_settings.outputChosen() && !m_link.outputIsOpen(m_settings.selectedOutput))
        report(m_link.openOutput(m_settings.selectedOutput));
    m_collector.reset();
}

PortCheck DeviceProtocol::getPreset()
{
    PortCheck check = checkPorts(true, true);
    if (check.abandon())
        return check;
    portRefresh();
    putRequest(dump::kPresetRequest, m_bank.selectedPreset);
    if (m_settings.deviceVariant == DeviceVariant::zembraDial) {
        m_initValuesPreset = m_bank.selectedPreset;
        setTimer(ProtocolTimer::Timer3, true);
    }
    return check;
}

void DeviceProtocol::getInitValues()
{
    portRefresh();
    putRequest(dump::kInitValuesRequest, m_bank.selectedPreset);
}

void DeviceProtocol::replyCollector(const MidiEvent& event)
{
    if (std::optional<DecodedFrame> reply = m_collector.feed(event))
        applyReply(*reply);
}

void DeviceProtocol::applyReply(const DecodedFrame& reply)
{
    const DumpFrame& frame = reply.frame;
    switch (reply.kind) {
    case FrameKind::versionReply:
        m_settings.versionText
            = std::to_string(frame.firstParam) + "." + std::to_string(frame.secondParam);
        m_host.deviceSettingsChanged();
        break;
    case FrameKind::configuration:
        m_settings.applyConfiguration(frame.firstParam, frame.secondParam);
        m_host.deviceSettingsChanged();
        break;
    case FrameKind::presetData:
    case FrameKind::initValues:
        if (reply.carriesPreset()) {
            const int presetIndex = frame.firstParam;
            const std::function<bool()> store
                = [&] { return storeFrame(reply, m_bank.presets[presetIndex]); };
            const bool initValues = reply.kind == FrameKind::initValues;
            if (replyChange ? replyChange(presetIndex, initValues, store) : store())
                presetReplyStored(presetIndex);
        }
        break;
    default:
        break;
    }
}

void DeviceProtocol::presetReplyStored(int presetIndex)
{
    m_host.refreshKnobTable(presetIndex);
    if (presetIndex < kPresetCount - 1)
        m_host.setCaption(kGettingPresetCaption + std::to_string(presetIndex + 1));
    else
        m_host.setCaption(variantTitle(m_settings.deviceVariant));
}

// --- device settings dialog ---

void DeviceProtocol::chooseOutput(int index)
{
    m_settings.selectedOutput = index;
    if (m_settings.outputChosen() && !m_link.outputIsOpen(index))
        report(m_link.openOutput(index));
}

void DeviceProtocol::chooseInput(int index)
{
    m_settings.selectedInput = (index >= 0 && index < m_settings.inputDeviceCount()) ? index : -1;
    reopenInputAndRequestConfiguration();
}

void DeviceProtocol::reopenInputAndRequestConfiguration()
{
    portRefresh();
    putMessage(deviceQuery(dump::kVersionQuery).events(0));
    putMessage(deviceQuery(dump::kConfigurationQuery).events(0));
}

void DeviceProtocol::sendThruConfiguration()
{
    putMessage(thruSettingsMessage(m_settings.thruFlags(), m_settings.masterChannel()).events(0));
}

DelayEntry DeviceProtocol::setDelayText(std::string_view text)
{
    DelayEntry entry = interpretDelayText(text);
    m_settings.delay = entry.delay;
    m_settings.delayText = entry.text;
    m_host.setTimerInterval(ProtocolTimer::Timer1, entry.delay);
    m_host.setTimerInterval(ProtocolTimer::Timer4, entry.delay);
    return entry;
}

void DeviceProtocol::setDeviceVariant(DeviceVariant variant)
{
    m_settings.deviceVariant = variant;
    m_host.setCaption(variantTitle(variant));
}

} // namespace kestrow
