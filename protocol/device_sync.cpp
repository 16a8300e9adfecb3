#include "protocol/device_sync.h"

#include "protocol/status_text.h"

#include <algorithm>
#include <utility>

namespace kestrow {

std::string presetListText(const std::vector<int>& presetIndices)
{
    std::string text;
    for (std::size_t i = 0; i < presetIndices.size();) {
        std::size_t end = i + 1;
        while (end < presetIndices.size() && presetIndices[end] == presetIndices[end - 1] + 1)
            ++end;
        if (!text.empty())
            text += ", ";
        text += std::to_string(presetIndices[i] + 1);
        if (end - i >= 3) {
            text += "-" + std::to_string(presetIndices[end - 1] + 1);
            i = end;
        } else {
            ++i;
        }
    }
    return text;
}

std::vector<int> applyFetched(PresetSet& presets, const std::vector<FetchedPreset>& fetched)
{
    std::vector<int> changed;
    for (const FetchedPreset& f : fetched) {
        Preset& preset = presets[static_cast<std::size_t>(f.presetIndex)];
        bool stored = storeFrame(f.data, preset);
        if (f.initValues)
            stored = storeFrame(*f.initValues, preset) || stored;
        if (stored)
            changed.push_back(f.presetIndex);
    }
    std::ranges::sort(changed);
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    return changed;
}

std::vector<int> SyncReport::missing() const
{
    std::vector<int> out = noReply;
    for (const PresetDifference& d : differing)
        out.push_back(d.presetIndex);
    std::ranges::sort(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<std::string> SyncReport::lines() const
{
    std::vector<std::string> out;
    if (job == SyncJob::findDelay) {
        const std::string preset = std::to_string(probePreset + 1);
        if (!probeRestored)
            out.push_back("Preset " + preset
                + " could not be put back on the device as it was: send it again. The Delay"
                  " was not changed.");
        else if (delayFound > 0)
            out.push_back("The fastest Delay the device keeps up with is "
                + std::to_string(delayFound) + " ms; it is now the Delay.");
        else
            out.push_back("No reply for preset " + preset
                + ": the Delay was not changed. Check that the input port is the device's.");
        return out;
    }
    if (job == SyncJob::send) {
        const std::string presets = std::to_string(asked) + (asked == 1 ? " preset" : " presets");
        const std::vector<int> wrong = missing();
        if (notVerified)
            out.push_back("Sent (not verified: no input port)");
        else if (cancelled)
            out.push_back("Sent " + presets + "; the read-back was cancelled");
        else if (wrong.empty())
            out.push_back("Sent and verified " + presets);
        else
            out.push_back("Sent " + presets + "; " + std::to_string(wrong.size())
                + (wrong.size() == 1 ? " differs" : " differ")
                + " on the device: " + presetListText(wrong));
        if (!differing.empty()) {
            out.push_back("Differing (here | on the device):");
            out.insert(out.end(), differenceLines.begin(), differenceLines.end());
        }
        if (!noReply.empty())
            out.push_back("No reply for presets " + presetListText(noReply));
        return out;
    }
    const int answered = static_cast<int>(
        job == SyncJob::getAll ? fetched.size() : matching.size() + differing.size());
    if (job == SyncJob::getAll) {
        out.push_back("Got " + std::to_string(answered) + " of " + std::to_string(asked)
            + " presets from the device.");
    } else {
        out.push_back("Verified " + std::to_string(answered) + " of " + std::to_string(asked)
            + " presets: " + std::to_string(matching.size()) + " match, "
            + std::to_string(differing.size()) + " differ.");
        if (!differing.empty()) {
            out.push_back("Differing (here | on the device):");
            out.insert(out.end(), differenceLines.begin(), differenceLines.end());
        }
    }
    if (!noReply.empty())
        out.push_back("No reply for presets " + presetListText(noReply));
    if (cancelled)
        out.push_back("Cancelled; the presets after these were not asked for.");
    return out;
}

DeviceSync::DeviceSync(DeviceProtocol& protocol, PresetBank& bank,
    const DeviceSettingsModel& settings, const Catalogue& catalogue, ProtocolHost& host)
    : m_protocol(protocol)
    , m_bank(bank)
    , m_settings(settings)
    , m_catalogue(catalogue)
    , m_host(host)
{
}

DeviceMark DeviceSync::mark(int presetIndex) const
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return DeviceMark::unknown;
    return m_memory.mark(m_bank.presets[static_cast<std::size_t>(presetIndex)], presetIndex,
        m_settings.deviceVariant);
}

void DeviceSync::forgetDevice()
{
    m_memory.forget();
    m_proof.reset();
    m_verifyPending = false;
    m_transferSent.fill(false);
}

bool DeviceSync::differsFromDevice(int presetIndex) const
{
    return presetIndex >= 0 && presetIndex < kPresetCount
        && m_memory.differs(m_bank.presets[static_cast<std::size_t>(presetIndex)], presetIndex,
            m_settings.deviceVariant);
}

SyncStart DeviceSync::start(SyncJob job, std::vector<int> presets, bool initValues)
{
    SyncStart result;
    result.ports = m_protocol.checkPorts(true, true);
    if (result.ports.abandon())
        return result;
    if (busy() || m_protocol.timerEnabled(ProtocolTimer::Timer1)) {
        result.note = "The device is busy with another transfer; try again when it has ended.";
        return result;
    }
    m_protocol.portRefresh();
    m_job = job;
    m_shownPreset = -1;
    m_shownCount = 0;
    // The protocol's own time-out for a reply: a second and the Delay.
    m_fetch.emplace(FetchPlan {
        std::move(presets), initValues, m_settings.delay, kReplyTimeout + m_settings.delay });
    return result;
}

SyncStart DeviceSync::getAllPresets()
{
    std::vector<int> all(kPresetCount);
    for (int p = 0; p < kPresetCount; ++p)
        all[static_cast<std::size_t>(p)] = p;
    return start(
        SyncJob::getAll, std::move(all), m_settings.deviceVariant == DeviceVariant::zembraDial);
}

SyncStart DeviceSync::verifyDevice(bool onlySentSinceVerify)
{
    std::vector<int> presets = m_memory.sentSinceVerify();
    if (!onlySentSinceVerify) {
        presets.resize(kPresetCount);
        for (int p = 0; p < kPresetCount; ++p)
            presets[static_cast<std::size_t>(p)] = p;
    } else if (presets.empty()) {
        SyncStart nothing;
        nothing.note = "No preset was sent since the last verify.";
        return nothing;
    }
    return verifyPresets(std::move(presets));
}

SyncStart DeviceSync::verifyPresets(std::vector<int> presetIndices)
{
    return start(SyncJob::verify, std::move(presetIndices),
        m_settings.deviceVariant == DeviceVariant::zembraDial);
}

SyncStart DeviceSync::sendChangedPresets()
{
    SyncStart result;
    const std::vector<int> changed = m_memory.changedPresets(m_bank, m_settings.deviceVariant);
    if (changed.empty()) {
        result.ports = m_protocol.checkPorts(true, false);
        if (!result.ports.abandon())
            result.note = "Every preset is on the device as it is here; nothing was sent.";
        return result;
    }
    if (busy()) {
        result.note = "The device is busy with another transfer; try again when it has ended.";
        return result;
    }
    result.ports = m_protocol.sendPresets(changed);
    return result;
}

std::string DeviceSync::caption(int presetIndex) const
{
    return (m_job == SyncJob::getAll ? kGettingPresetCaption : kVerifyingPresetCaption)
        + std::to_string(presetIndex + 1);
}

std::optional<SyncReport> DeviceSync::tick(std::int64_t now)
{
    const bool transferGoing = m_protocol.timerEnabled(ProtocolTimer::Timer1)
        || m_protocol.timerEnabled(ProtocolTimer::Timer4);
    if (!m_fetch && m_search) {
        // A probe is read back once it and its Program Change have gone.
        if (!m_searchSending || transferGoing)
            return std::nullopt;
        m_searchSending = false;
        fetchProbePreset();
        if (!m_fetch)
            return endSearch(false);
    }
    if (!m_fetch) {
        // A send's read-back starts once its Program Change has gone too.
        if (!m_verifyPending || transferGoing)
            return std::nullopt;
        m_verifyPending = false;
        if (std::optional<SyncReport> ended = startProofRound())
            return ended;
        if (!m_fetch)
            return std::nullopt;
    }
    if (const std::optional<DumpFrame> request = m_fetch->poll(now)) {
        if (request->firstParam != m_shownPreset) {
            m_shownPreset = request->firstParam;
            m_host.setCaption(caption(m_shownPreset));
            m_host.showStatus((m_job == SyncJob::getAll ? "Getting preset " : "Verifying preset ")
                + std::to_string(++m_shownCount) + " of "
                + std::to_string(m_fetch->plan().presets.size()));
        }
        m_protocol.putRequest(request->command, request->firstParam);
    }
    if (!m_fetch->finished())
        return std::nullopt;
    SyncReport report = finish();
    if (m_search)
        return searchStep(report);
    if (m_proof)
        return endProofRound(report);
    return report;
}

SyncStart DeviceSync::findFastestDelay(int presetIndex)
{
    SyncStart result;
    result.ports = m_protocol.checkPorts(true, true);
    if (result.ports.abandon())
        return result;
    if (busy() || drivesTransfers() || m_protocol.timerEnabled(ProtocolTimer::Timer1)) {
        result.note = "The device is busy with another transfer; try again when it has ended.";
        return result;
    }
    DelaySearch search;
    search.preset = std::clamp(presetIndex, 0, kPresetCount - 1);
    search.userDelay = m_settings.delay;
    search.keeping = std::max(m_settings.delay, kWireTimeDelay);
    m_search = search;
    fetchProbePreset();
    return result;
}

void DeviceSync::fetchProbePreset()
{
    m_job = SyncJob::getAll;
    m_protocol.portRefresh();
    m_fetch.emplace(FetchPlan { { m_search->preset, (m_search->preset + 1) % kPresetCount }, false,
        m_settings.delay, kReplyTimeout + m_settings.delay });
}

namespace {

    /// The probe preset with its parameters moved by `step`: every probe
    /// message differs from the one before, so a lost one shows.
    Preset probePattern(const Preset& original, int step)
    {
        Preset probe = original;
        for (int k = 0; k < kKnobCount; ++k)
            probe.fixedParameter[k] = (original.fixedParameter[k] + 1 + step) % 128;
        return probe;
    }

} // namespace

std::optional<SyncReport> DeviceSync::searchStep(const SyncReport& read)
{
    DelaySearch& search = *m_search;
    const int presets[2] = { search.preset, (search.preset + 1) % kPresetCount };
    std::vector<Preset> held;
    for (const FetchedPreset& f : read.fetched) {
        Preset preset = m_bank.presets[static_cast<std::size_t>(f.presetIndex)];
        storeFrame(f.data, preset);
        held.push_back(preset);
    }
    const auto holds = [&](const std::vector<Preset>& expected) {
        if (held.size() != 2)
            return false;
        for (std::size_t i = 0; i < 2; ++i)
            if (held[i].channel != expected[i].channel || held[i].eventType != expected[i].eventType
                || held[i].fixedParameter != expected[i].fixedParameter)
                return false;
        return true;
    };
    // Each probe message changes its preset again: the last two must stay.
    const auto probe = [&](int message) {
        return probePattern(search.original[static_cast<std::size_t>(message % 2)],
            search.probes * kProbeMessages + message / 2);
    };
    switch (search.step) {
    case DelaySearch::Step::reading:
        if (held.size() != 2)
            return endSearch(true); // nothing was changed
        search.original = held;
        break;
    case DelaySearch::Step::probing:
        if (holds({ probe(kProbeMessages - 2), probe(kProbeMessages - 1) }))
            search.keeping = search.trying;
        else
            search.failing = search.trying;
        break;
    case DelaySearch::Step::restoring:
        if (holds(search.original) || search.restores >= kSendPasses)
            return endSearch(holds(search.original));
        // The two did not stay at the Delay that kept every probe message: a
        // busy machine spaced that probe wider than asked, or the link lost
        // one. Either way it is too short to trust; the search goes on above
        // it, and the two go back (a few times at most) at what it finds.
        search.failing = search.keeping;
        search.keeping = std::max(search.userDelay, kWireTimeDelay);
        break;
    }
    std::vector<DumpFrame> frames;
    if (search.keeping - search.failing <= std::max(1, search.keeping / 20)) {
        ++search.restores;
        // Found: the two go back, and are read back, at the shortest Delay
        // known to keep every message (the user's own when none was found).
        (void)m_protocol.setDelayText(std::to_string(search.keeping));
        for (std::size_t i = 0; i < 2; ++i)
            frames.push_back(presetDataFrame(search.original[i], presets[i]));
        search.step = DelaySearch::Step::restoring;
    } else {
        // The wire time first: a device that keeps up with the cable needs
        // no search; else halve the gap between too short and known good.
        search.trying
            = search.probes == 0 ? search.failing + 1 : (search.failing + search.keeping) / 2;
        ++search.probes;
        (void)m_protocol.setDelayText(std::to_string(search.trying));
        for (int i = 0; i < kProbeMessages; ++i)
            frames.push_back(presetDataFrame(probe(i), presets[i % 2]));
        search.step = DelaySearch::Step::probing;
        m_host.showStatus(
            "Finding the fastest Delay: trying " + std::to_string(search.trying) + " ms");
    }
    m_searchSending = true;
    if (m_protocol.sendFrames(frames).abandon() || !m_protocol.transferRunning())
        return endSearch(false);
    return std::nullopt;
}

std::optional<SyncReport> DeviceSync::endSearch(bool restored)
{
    const DelaySearch search = *m_search;
    m_search.reset();
    m_searchSending = false;
    SyncReport report;
    report.job = SyncJob::findDelay;
    report.asked = 1;
    report.probePreset = search.preset;
    report.probeRestored = restored;
    if (restored && !search.original.empty() && search.probes > 0)
        report.delayFound = search.keeping;
    (void)m_protocol.setDelayText(
        std::to_string(report.delayFound > 0 ? report.delayFound : search.userDelay));
    m_host.showStatus(report.lines().front());
    return report;
}

std::optional<SyncReport> DeviceSync::startProofRound()
{
    if (!m_settings.inputChosen()) {
        SyncReport report;
        report.job = SyncJob::send;
        report.asked = static_cast<int>(m_proof->sent.size());
        report.notVerified = true;
        m_proof.reset();
        m_host.showStatus(report.lines().front());
        return report;
    }
    const SyncStart started = verifyPresets(m_proof->checking);
    if (started.started())
        return std::nullopt;
    SyncReport report;
    report.job = SyncJob::send;
    report.asked = static_cast<int>(m_proof->sent.size());
    report.noReply = m_proof->checking;
    m_proof.reset();
    m_host.showStatus(
        status::noVerifyAfterSend(started.ports.abandon() ? "no output port" : started.note));
    return report;
}

std::optional<SyncReport> DeviceSync::endProofRound(const SyncReport& verify)
{
    Proof& proof = *m_proof;
    proof.verified.insert(proof.verified.end(), verify.matching.begin(), verify.matching.end());
    std::vector<int> again = verify.missing();
    if (!verify.cancelled && !again.empty() && proof.round + 1 < kSendPasses) {
        // Lost on the way (or in a busy device): sent again, read back again.
        ++proof.round;
        proof.checking = again;
        m_resending = true;
        if (!m_protocol.sendPresets(again).abandon() && m_protocol.transferRunning())
            return std::nullopt;
        m_resending = false;
    }
    SyncReport report = verify;
    report.job = SyncJob::send;
    report.asked = static_cast<int>(proof.sent.size());
    std::ranges::sort(proof.verified);
    report.matching = proof.verified;
    m_proof.reset();
    m_host.showStatus(report.lines().front());
    return report;
}

void DeviceSync::cancel()
{
    if (m_search) {
        // The probe preset goes back as it was, at the Delay it had.
        const DelaySearch search = *m_search;
        m_search.reset();
        m_searchSending = false;
        (void)m_protocol.setDelayText(std::to_string(search.userDelay));
        if (!search.original.empty() && search.step != DelaySearch::Step::reading) {
            const DumpFrame originals[2] = {
                presetDataFrame(search.original[0], search.preset),
                presetDataFrame(search.original[1], (search.preset + 1) % kPresetCount),
            };
            (void)m_protocol.sendFrames(originals);
        }
    }
    if (m_fetch)
        m_fetch->cancel();
    m_verifyPending = false;
    m_resending = false;
}

SyncReport DeviceSync::finish()
{
    SyncReport report;
    report.job = m_job;
    report.cancelled = m_fetch->cancelled();
    report.asked = static_cast<int>(m_fetch->plan().presets.size());
    report.noReply = m_fetch->noReply();
    if (m_job == SyncJob::getAll) {
        report.fetched = m_fetch->answered();
    } else {
        // Byte for byte: ours as it goes out (7 bits a value) against the replies.
        PresetSet ours = m_bank.presets;
        PresetSet device = m_bank.presets;
        applyFetched(device, m_fetch->answered());
        for (const FetchedPreset& f : m_fetch->answered()) {
            const auto p = static_cast<std::size_t>(f.presetIndex);
            m_memory.verified(f.presetIndex);
            storeFrame(decodeFrame(presetDataFrame(ours[p], f.presetIndex).bytes(),
                           FrameBounds::wholeMessage),
                ours[p]);
            if (f.initValues)
                storeFrame(decodeFrame(initValuesFrame(ours[p], f.presetIndex).bytes(),
                               FrameBounds::wholeMessage),
                    ours[p]);
            const PresetDifference difference = comparePresets(ours[p], device[p], f.presetIndex);
            if (difference.any())
                report.differing.push_back(difference);
            else
                report.matching.push_back(f.presetIndex);
        }
        report.differenceLines = differenceListing(m_catalogue, ours, device, report.differing);
    }
    m_fetch.reset();
    m_host.setCaption(variantTitle(m_settings.deviceVariant));
    m_host.showStatus(report.lines().front());
    return report;
}

void DeviceSync::messageSent(std::span<const MidiEvent> message)
{
    if (message.empty() || message.front().status != dump::kSysExStart)
        return;
    const std::vector<std::uint8_t> bytes = sysExBytes(message);
    m_memory.messageSent(bytes);
    const DecodedFrame decoded = decodeFrame(bytes, FrameBounds::wholeMessage);
    if (decoded.carriesPreset())
        m_transferSent[decoded.frame.firstParam] = true;
}

bool DeviceSync::presetReply(const DecodedFrame& reply)
{
    m_memory.replyReceived(reply);
    return m_fetch && m_fetch->take(reply);
}

void DeviceSync::transferEnded()
{
    std::vector<int> sent;
    for (int p = 0; p < kPresetCount; ++p)
        if (m_transferSent[static_cast<std::size_t>(p)])
            sent.push_back(p);
    m_transferSent.fill(false);
    if (m_search)
        return; // the search reads its probes back itself
    const bool resent = std::exchange(m_resending, false);
    if (sent.empty())
        return;
    if (!resent) {
        // A send of several presets always proves itself; one only when asked.
        if (sent.size() == 1 && !verifyAfterSend) {
            m_proof.reset();
            return;
        }
        m_proof = Proof { sent, sent, {}, 0 };
    }
    if (m_proof)
        m_verifyPending = true;
}

} // namespace kestrow
