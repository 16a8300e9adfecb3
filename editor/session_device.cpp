// The session's device commands and its one clock: everything that runs
// later (paced messages, time-outs, a fetch's steps, the journal, a port
// change settling) is a deadline, so the window keeps a single timer.
#include "editor/editor_session.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace kestrow {

namespace {

    /// A fetch or verify looks at its replies this often: well below any Delay.
    constexpr std::chrono::milliseconds kSyncStep { 10 };
    /// A device comes or goes as a burst of port changes; the lists are read
    /// once this long after the first.
    constexpr std::chrono::milliseconds kPortsSettle { 100 };

    void earliest(
        std::optional<PaceClock::time_point>& next, std::optional<PaceClock::time_point> at)
    {
        if (at && (!next || *at < *next))
            next = at;
    }

    std::string reportText(const SyncReport& report)
    {
        std::string text;
        for (const std::string& line : report.lines())
            text += (text.empty() ? "" : "\n") + line;
        return text;
    }

} // namespace

std::optional<PaceClock::time_point> EditorSession::nextDeadline() const
{
    if (m_held)
        return std::nullopt;
    std::optional<PaceClock::time_point> next = m_protocol.nextDeadline();
    earliest(next, m_nextSyncStep);
    earliest(next, m_journal.deadline());
    earliest(next, m_portsSettleAt);
    earliest(next, m_watch.deadline());
    return next;
}

std::optional<PaceClock::time_point> EditorSession::pacedDeadline() const
{
    if (m_held)
        return std::nullopt;
    std::optional<PaceClock::time_point> next = m_protocol.deadline(ProtocolTimer::Timer1);
    earliest(next, m_protocol.deadline(ProtocolTimer::Timer4));
    return next;
}

void EditorSession::hold(bool held)
{
    m_held = held;
    scheduleChanged();
}

void EditorSession::tick(PaceClock::time_point now)
{
    if (m_held)
        return;
    const std::optional<PaceClock::time_point> programChange
        = m_protocol.deadline(ProtocolTimer::Timer4);
    m_watch.tick(now); // first: the protocol's tick moves the watch deadline it shares
    m_protocol.tick(now);
    if (programChange && *programChange <= now) {
        if (m_host != nullptr)
            m_host->deviceMarksChanged(); // what the device holds changed with the transfer
        if (m_sync.drivesTransfers())
            tickDeviceWork(now); // starts the read-back the transfer asked for
    }
    if (m_nextSyncStep && *m_nextSyncStep <= now)
        tickDeviceWork(now);
    if (const auto due = m_journal.deadline(); due && *due <= now) {
        // Each failure is told (it is tried again a second later), and the
        // first success after failures.
        const FileResult journaled = journalTick(now);
        const bool wasFailing = std::exchange(m_journalFailing, !journaled);
        if (m_host != nullptr && (!journaled || wasFailing))
            m_host->journalFailed(journaled);
    }
    if (m_portsSettleAt && *m_portsSettleAt <= now) {
        m_portsSettleAt.reset();
        portsChanged();
    }
    scheduleChanged();
}

// --- ports ---

int EditorSession::portChangeDescriptor()
{
    const int descriptor = m_ports->changeDescriptor();
    // Without notifications (or once the JACK server went) a lost port is
    // looked for every second again.
    m_watch.setNotifications(descriptor >= 0);
    return descriptor;
}

void EditorSession::portsChangeNoticed(PaceClock::time_point now)
{
    m_ports->changeCount(); // the descriptor is quiet again
    if (!m_portsSettleAt) {
        m_portsSettleAt = now + kPortsSettle;
        scheduleChanged();
    }
}

void EditorSession::portsChanged()
{
    m_watch.refresh(*m_ports, PaceClock::now());
    if (m_host != nullptr)
        m_host->portListsChanged();
}

// --- commands ---

PortCheck EditorSession::sendSelectedPreset(bool withPresetData, bool withInitValues)
{
    return m_protocol.sendSelectedPreset(withPresetData, withInitValues);
}

PortCheck EditorSession::sendAllPresets() { return m_protocol.sendAllPresets(); }

PortCheck EditorSession::sendBanks() { return m_protocol.sendBanks(); }

PortCheck EditorSession::getPreset() { return m_protocol.getPreset(); }

void EditorSession::getInitValues() { m_protocol.getInitValues(); }

void EditorSession::sendInitValuesNow() { m_protocol.sendInitValuesNow(); }

SyncStart EditorSession::getAllPresets()
{
    return startDeviceWork(m_sync.getAllPresets(), "Get All Presets");
}

SyncStart EditorSession::verifyDevice(bool onlySentSinceVerify)
{
    return startDeviceWork(m_sync.verifyDevice(onlySentSinceVerify), "Verify Device");
}

SyncStart EditorSession::startDeviceWork(SyncStart start, const char* title)
{
    if (m_sync.busy()) {
        m_workTitle = title;
        m_workQuiet = false;
        tickDeviceWork(PaceClock::now());
        scheduleChanged(); // its next step is a deadline of its own
    }
    return start;
}

SyncStart EditorSession::sendChangedPresets() { return m_sync.sendChangedPresets(); }

SyncStart EditorSession::findFastestDelay()
{
    return startDeviceWork(m_sync.findFastestDelay(m_bank.selectedPreset), "Find Fastest Delay");
}

void EditorSession::tickDeviceWork(PaceClock::time_point now)
{
    const bool running = m_nextSyncStep.has_value();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const std::optional<SyncReport> report = m_sync.tick(ms.count());
    if (m_sync.busy() && !running) {
        if (m_workTitle.empty()) {
            // A send's read-back began in this tick: it speaks only of a difference.
            m_workTitle = "Send";
            m_workQuiet = true;
        }
        if (m_host != nullptr)
            m_host->deviceWorkRunning(true);
    }
    m_nextSyncStep = m_sync.busy() ? std::optional(now + kSyncStep) : std::nullopt;
    if (!report) {
        if (!m_sync.busy() && !m_sync.drivesTransfers())
            m_workTitle.clear();
        return;
    }
    if (report->job == SyncJob::findDelay && m_host != nullptr)
        m_host->deviceSettingsChanged(); // the dialog shows the Delay found
    if (report->job == SyncJob::getAll)
        takeFetchedPresets(*report);
    const std::string title = m_workTitle;
    const bool quiet = m_workQuiet;
    m_workTitle.clear();
    m_nextSyncStep.reset();
    if (m_host == nullptr)
        return;
    m_host->deviceWorkRunning(false);
    m_host->deviceMarksChanged();
    // A send that could not be read back says so on the status line alone.
    const bool differs = report->job == SyncJob::send ? !report->missing().empty() : !report->ok();
    if (!quiet || differs)
        m_host->deviceWorkReport(title, reportText(*report), *report);
}

// --- undo and redo ---

std::optional<HistoryChange> EditorSession::undo()
{
    return showStep(m_history.undo(), "Undone: ");
}

std::optional<HistoryChange> EditorSession::redo()
{
    return showStep(m_history.redo(), "Redone: ");
}

std::optional<HistoryChange> EditorSession::showStep(
    std::optional<HistoryChange> change, const char* done)
{
    if (change) // the outcome shown may be of what was just taken back
        showStatus(done + change->stepName);
    // Taking a step back is no reason to send a preset to the device: the
    // window selects the step's preset, and that selection sends nothing.
    if (change && change->presetIndex != m_bank.selectedPreset)
        m_suppressAutoSend = true;
    return change;
}

} // namespace kestrow
