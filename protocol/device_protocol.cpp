#include "protocol/device_protocol.h"

#include "protocol/dump_frame.h"
#include "protocol/status_text.h"

#include <algorithm>
#include <utility>

namespace kestrow {

namespace {

    constexpr EncodeOptions kLiveAll { true, true, true };

    /// The reply a request or query is answered with.
    FrameKind replyTo(std::uint8_t command)
    {
        switch (command) {
        case dump::kPresetRequest:
            return FrameKind::presetData;
        case dump::kInitValuesRequest:
            return FrameKind::initValues;
        case dump::kVersionQuery:
            return FrameKind::versionReply;
        default:
            return FrameKind::configuration;
        }
    }

} // namespace

DeviceProtocol::DeviceProtocol(PresetBank& bank, DeviceSettingsModel& settings, DeviceLink& link,
    ProtocolHost& host, std::function<PaceClock::time_point()> clock)
    : m_bank(bank)
    , m_settings(settings)
    , m_link(link)
    , m_host(host)
    , m_paceClock(std::move(clock))
    , m_timer4Anchor(m_paceClock()) // Timer4 runs from creation
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

bool DeviceProtocol::putMessage(std::span<const MidiEvent> events)
{
    if (!outputUsable())
        return false;
    const PortResult result = m_link.put(m_settings.selectedOutput, events);
    m_lastPutAt = m_paceClock();
    report(result);
    if (result && m_observer != nullptr)
        m_observer->messageSent(events);
    return result.ok;
}

bool DeviceProtocol::report(const PortResult& result)
{
    if (!result)
        m_host.showStatus(result.reason);
    return result.ok;
}

std::string DeviceProtocol::outputName() const { return m_settings.chosenOutputName(); }

std::string DeviceProtocol::inputName() const { return m_settings.chosenInputName(); }

void DeviceProtocol::setTimer(ProtocolTimer timer, bool enabled)
{
    switch (timer) {
    case ProtocolTimer::Timer1:
        m_timer1 = enabled;
        break;
    case ProtocolTimer::Timer3:
        if (enabled)
            m_timer3Anchor = m_paceClock();
        m_timer3 = enabled;
        break;
    case ProtocolTimer::Timer4:
        m_timer4 = enabled;
        break;
    case ProtocolTimer::Timer5:
        if (m_timer5 == enabled)
            return; // the watch is switched often; the window needs only the changes
        if (enabled)
            m_timer5Anchor = m_paceClock();
        m_timer5 = enabled;
        break;
    }
    m_host.scheduleChanged();
}

PaceClock::duration DeviceProtocol::delay() const
{
    return std::chrono::milliseconds(std::max(1, m_settings.delay));
}

std::optional<PaceClock::time_point> DeviceProtocol::deadline(ProtocolTimer timer) const
{
    switch (timer) {
    case ProtocolTimer::Timer1:
        return m_timer1 ? std::optional(m_timer1Anchor + delay()) : std::nullopt;
    case ProtocolTimer::Timer3:
        return m_timer3
            ? std::optional(m_timer3Anchor + std::chrono::milliseconds(kInitValuesRequestDelay))
            : std::nullopt;
    case ProtocolTimer::Timer4:
        // After the device queries, which go first.
        return m_timer4 && !m_programChangeHeld && !m_configurationQueryPending
            ? std::optional(std::max(m_timer4Anchor, m_lastPutAt) + delay())
            : std::nullopt;
    case ProtocolTimer::Timer5:
        if (!m_timer5)
            return std::nullopt;
        return std::min(m_timer5Anchor + std::chrono::milliseconds(kWatchInterval),
            configurationQueryDue().value_or(PaceClock::time_point::max()));
    }
    return std::nullopt;
}

std::optional<PaceClock::time_point> DeviceProtocol::nextDeadline() const
{
    std::optional<PaceClock::time_point> next;
    for (ProtocolTimer timer : { ProtocolTimer::Timer1, ProtocolTimer::Timer3,
             ProtocolTimer::Timer4, ProtocolTimer::Timer5 }) {
        const auto due = deadline(timer);
        if (due && (!next || *due < *next))
            next = due;
    }
    return next;
}

void DeviceProtocol::holdProgramChange(bool held)
{
    if (m_programChangeHeld == held)
        return;
    m_programChangeHeld = held;
    m_host.scheduleChanged();
}

void DeviceProtocol::tick(PaceClock::time_point now)
{
    const auto due = [&](ProtocolTimer timer) {
        const auto at = deadline(timer);
        return at && now >= *at;
    };
    if (due(ProtocolTimer::Timer1))
        sendNextMessage(now);
    if (due(ProtocolTimer::Timer4))
        Timer4Timer();
    if (due(ProtocolTimer::Timer3))
        Timer3Timer();
    if (due(ProtocolTimer::Timer5))
        watch(now);
}

bool DeviceProtocol::timerEnabled(ProtocolTimer timer) const
{
    switch (timer) {
    case ProtocolTimer::Timer1:
        return m_timer1;
    case ProtocolTimer::Timer3:
        return m_timer3;
    case ProtocolTimer::Timer5:
        return m_timer5;
    case ProtocolTimer::Timer4:
        break;
    }
    return m_timer4;
}

std::span<MidiEvent> DeviceProtocol::encodeTarget()
{
    // Made at the first send: a protocol that only listens (a replay, a
    // verify, a test) need not carry 100 KB of events.
    if (m_sendBuffer.empty())
        m_sendBuffer.resize(kSendBufferSize);
    return m_sendBuffer;
}

void DeviceProtocol::sendPreset(int presetIndex, bool withPresetData, bool withInitValues)
{
    m_sendCount = encodePreset(m_bank, m_settings.deviceVariant, presetIndex,
        EncodeOptions { withInitValues, withPresetData, true }, 0, encodeTarget(), 0);
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
    m_sendCount = encodeAllPresets(m_bank, m_settings.deviceVariant, kLiveAll, encodeTarget());
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
    m_sendCount = encodeMaskedPresets(m_bank, m_settings.deviceVariant, kLiveAll, encodeTarget());
    m_sendPosition = 0;
    startPacedSend();
    return check;
}

PortCheck DeviceProtocol::sendFrames(std::span<const DumpFrame> frames)
{
    PortCheck check = checkPorts(true, false);
    if (check.abandon())
        return check;
    const std::span<MidiEvent> target = encodeTarget();
    m_sendCount = 0;
    for (const DumpFrame& frame : frames)
        for (const MidiEvent& event : frame.events(0))
            if (static_cast<std::size_t>(m_sendCount) < target.size())
                target[static_cast<std::size_t>(m_sendCount++)] = event;
    m_sendPosition = 0;
    if (m_sendCount > 0)
        startPacedSend();
    return check;
}

PortCheck DeviceProtocol::sendPresets(std::span<const int> presetIndices)
{
    PortCheck check = checkPorts(true, false);
    if (check.abandon())
        return check;
    m_bank.presetMask.fill(0);
    for (int p : presetIndices) {
        if (p >= 0 && p < kPresetCount)
            m_bank.presetMask[static_cast<std::size_t>(p)] = 1;
    }
    m_sendCount = encodeMaskedPresets(m_bank, m_settings.deviceVariant, kLiveAll, encodeTarget());
    m_sendPosition = 0;
    if (m_sendCount > 0)
        startPacedSend();
    return check;
}

void DeviceProtocol::startPacedSend()
{
    if (!m_settings.outputChosen()) {
        m_host.showStatus(status::kNoOutputPort);
        return;
    }
    const int output = m_settings.selectedOutput;
    if (!m_host.outputWanted()) {
        m_host.showStatus(status::portsGone({ outputName() }));
        return;
    }
    if (!m_link.outputIsOpen(output)) {
        const PortResult opened = m_link.openOutput(output);
        if (!opened) {
            m_host.showStatus(opened.reason);
            return;
        }
    }
    // Progress counts presets: a preset is one or two messages.
    m_presetCount = 0;
    int previous = -1;
    for (int start = 0; start + dump::kFirstParamOffset < m_sendCount;) {
        const int preset
            = m_sendBuffer[static_cast<std::size_t>(start + dump::kFirstParamOffset)].data1;
        m_presetCount += preset != previous;
        previous = preset;
        while (start < m_sendCount
            && m_sendBuffer[static_cast<std::size_t>(start)].data1 != dump::kSysExEnd)
            ++start;
        ++start;
    }
    m_presetsStarted = 0;
    m_transferPreset = -1;
    // A send during a transfer keeps the running schedule, as a running
    // timer would; the first message follows one delay after the command.
    if (!m_timer1)
        m_timer1Anchor = m_paceClock();
    setTimer(ProtocolTimer::Timer1, true);
    updateWatch();
}

void DeviceProtocol::stopTransfer(const std::string& reason)
{
    m_sendPosition = m_sendCount;
    setTimer(ProtocolTimer::Timer1, false);
    m_host.setCaption(variantTitle(m_settings.deviceVariant));
    m_host.showStatus(status::transferStopped(m_presetsStarted, m_presetCount, reason));
    updateWatch();
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

void DeviceProtocol::Timer1Timer() { sendNextMessage(m_paceClock()); }

void DeviceProtocol::sendNextMessage(PaceClock::time_point now)
{
    // The next tick is due one delay after this one, whenever this one ran:
    // a late tick moves the rest by its own lateness and no more, and never
    // lets two messages go closer than the delay.
    m_timer1Anchor = now;
    if (m_sendCount == 0)
        return;
    if (m_sendPosition >= m_sendCount) {
        // A tick queued behind the end of a transfer: nothing left to send.
        setTimer(ProtocolTimer::Timer1, false);
        return;
    }
    const int start = m_sendPosition;
    int end = start;
    while (
        end < m_sendCount && m_sendBuffer[static_cast<std::size_t>(end)].data1 != dump::kSysExEnd)
        ++end;
    if (end < m_sendCount)
        ++end; // the F7 belongs to the message
    // A message that cannot go ends the transfer here: the device would get
    // a set with holes while the caption counted on.
    if (!m_settings.outputChosen())
        return stopTransfer(status::kNoOutputPort);
    const std::span<const MidiEvent> message
        = std::span<const MidiEvent>(m_sendBuffer)
              .subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    const PortResult put = m_link.put(m_settings.selectedOutput, message);
    if (!put)
        return stopTransfer(put.reason);
    if (m_observer != nullptr)
        m_observer->messageSent(message);

    if (start + dump::kFirstParamOffset < m_sendCount)
        m_lastSentPreset
            = m_sendBuffer[static_cast<std::size_t>(start + dump::kFirstParamOffset)].data1;
    const bool nextPreset = m_lastSentPreset != m_transferPreset;
    if (nextPreset) {
        m_transferPreset = m_lastSentPreset;
        ++m_presetsStarted;
    }
    m_host.setCaption(kSendingPresetCaption + std::to_string(m_lastSentPreset + 1));
    m_sendPosition = end;

    if (m_sendPosition >= m_sendCount) {
        setTimer(ProtocolTimer::Timer1, false);
        m_host.setCaption(variantTitle(m_settings.deviceVariant));
        m_timer4Anchor = now; // the Program Change follows one delay after the last message
        m_host.showStatus(status::kSent);
        setTimer(ProtocolTimer::Timer4, true);
        updateWatch();
        if (m_observer != nullptr)
            m_observer->transferEnded();
    } else if (nextPreset) {
        m_host.showStatus(status::sending(m_presetsStarted, m_presetCount));
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

void DeviceProtocol::Timer5Timer() { watch(m_paceClock()); }

void DeviceProtocol::watch(PaceClock::time_point now)
{
    m_timer5Anchor = now;
    if (const auto due = configurationQueryDue(); due && now >= *due) {
        m_configurationQueryPending = false;
        askDevice(dump::kConfigurationQuery);
    }
    const int timeout = kReplyTimeout + m_settings.delay;
    const ReplyTracker::Expired expired = m_replies.expire(now, std::chrono::milliseconds(timeout));
    for (std::uint8_t query : expired.repeat)
        putMessage(deviceQuery(query).events(0));
    if (!expired.unanswered.empty())
        m_host.showStatus(status::noReply(expired.unanswered, timeout));
    updateWatch();
}

void DeviceProtocol::updateWatch()
{
    setTimer(ProtocolTimer::Timer5,
        transferRunning() || !m_replies.empty() || m_configurationQueryPending);
}

void DeviceProtocol::portsGone(const std::vector<std::string>& names)
{
    m_replies.clear();
    m_configurationQueryPending = false;
    if (transferRunning())
        stopTransfer(status::portsGone(names));
    else
        m_host.showStatus(status::portsGone(names));
    updateWatch();
}

void DeviceProtocol::expectReply(FrameKind reply, int preset, bool repeatOnce)
{
    if (!m_settings.inputChosen())
        return; // nothing could be heard
    m_replies.expect(reply, preset, repeatOnce, m_paceClock());
    updateWatch();
}

void DeviceProtocol::replyArrived(FrameKind reply, int preset)
{
    m_replies.arrived(reply, preset);
    updateWatch();
}

// --- requests and replies ---

void DeviceProtocol::putRequest(std::uint8_t command, int presetIndex)
{
    if (!m_settings.outputChosen()) {
        m_host.showStatus(status::kNoOutputPort);
        return;
    }
    // Expected before it goes: a quick device answers inside the put.
    expectReply(replyTo(command), presetIndex, false);
    if (!putMessage(requestMessage(command, presetIndex).events(0)))
        replyArrived(replyTo(command), presetIndex);
}

void DeviceProtocol::portRefresh()
{
    m_link.closeInput();
    if (m_settings.inputChosen())
        report(m_link.openInput(m_settings.selectedInput));
    // Reopened whatever its state: a port of the same name may be a new one
    // (the device went and came back), and an open handle would still point
    // at the old one.
    if (m_settings.outputChosen())
        report(m_link.reopenOutput(m_settings.selectedOutput));
    m_collector.reset();
    m_host.portsOpened();
    updateWatch();
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
        replyArrived(reply.kind, 0);
        m_host.deviceSettingsChanged();
        break;
    case FrameKind::configuration:
        m_settings.applyConfiguration(frame.firstParam, frame.secondParam);
        replyArrived(reply.kind, 0);
        m_host.deviceSettingsChanged();
        break;
    case FrameKind::presetData:
    case FrameKind::initValues:
        if (!reply.carriesPreset())
            break;
        replyArrived(reply.kind, frame.firstParam);
        if (m_observer != nullptr && m_observer->presetReply(reply))
            break;
        if (storeReply ? storeReply(reply) : storeFrame(reply, m_bank.presets[frame.firstParam]))
            presetReplyStored(frame.firstParam);
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
    m_host.showStatus(status::kReceived);
}

// --- device settings dialog ---

void DeviceProtocol::selectOutput(int index) { m_settings.selectedOutput = index; }

void DeviceProtocol::chooseOutput(int index)
{
    selectOutput(index);
    if (m_settings.outputChosen())
        report(m_link.reopenOutput(index));
    m_host.portsOpened();
    updateWatch();
}

void DeviceProtocol::chooseInput(int index)
{
    m_settings.selectedInput = (index >= 0 && index < m_settings.inputDeviceCount()) ? index : -1;
    reopenInputAndRequestConfiguration();
}

void DeviceProtocol::reopenInputAndRequestConfiguration()
{
    portRefresh();
    askDevice(dump::kVersionQuery);
    // The second query one Delay after the first, as in a transfer: a device
    // still busy with the first would lose it.
    m_configurationQueryPending = outputUsable();
    if (!m_configurationQueryPending)
        askDevice(dump::kConfigurationQuery);
    updateWatch();
}

std::optional<PaceClock::time_point> DeviceProtocol::configurationQueryDue() const
{
    // A Delay after whatever went last: the version query, or the start-up Program Change.
    return m_configurationQueryPending ? std::optional(m_lastPutAt + delay()) : std::nullopt;
}

void DeviceProtocol::askDevice(std::uint8_t query)
{
    expectReply(replyTo(query), 0, true);
    if (!putMessage(deviceQuery(query).events(0)))
        replyArrived(replyTo(query), 0);
}

void DeviceProtocol::sendThruConfiguration()
{
    m_settings.masterChannelKnown |= outputUsable();
    putMessage(thruSettingsMessage(m_settings.thruFlags(), m_settings.masterChannel()).events(0));
}

DelayEntry DeviceProtocol::setDelayText(std::string_view text)
{
    DelayEntry entry = interpretDelayText(text);
    m_settings.delay = entry.delay;
    m_settings.delayText = entry.text;
    m_host.scheduleChanged(); // the paced deadlines moved with the delay
    return entry;
}

void DeviceProtocol::setDeviceVariant(DeviceVariant variant)
{
    m_settings.deviceVariant = variant;
    m_host.setCaption(variantTitle(variant));
}

} // namespace kestrow
