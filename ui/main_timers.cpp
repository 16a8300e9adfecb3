// The main window's one timer and one socket notifier: it wakes up at the
// session's next deadline and calls its tick; the rest is drawing what the
// session reports as its host.
#include "ui/config_form.h"
#include "ui/main_form.h"
#include "ui/preset_tree.h"
#include "ui/verify_report_form.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <thread>

namespace kestrow {

namespace {

    /// How long before a paced deadline the window asks to be woken.
    constexpr std::chrono::microseconds kPacedWakeLead { 2000 };
    /// The last stretch before a deadline is waited out awake: a sleeping
    /// thread wakes some tens of microseconds late, and at the delay's floor
    /// every such late start would add to the transfer's length.
    constexpr std::chrono::microseconds kPacedSpin { 200 };

    /// Returns at `due` (or at once when it has passed), within microseconds.
    void waitUntil(PaceClock::time_point due)
    {
        if (PaceClock::now() < due - kPacedSpin)
            std::this_thread::sleep_until(due - kPacedSpin);
        while (PaceClock::now() < due) { }
    }

} // namespace

void TMainForm::createTimers()
{
    m_wake = new QTimer(this);
    m_wake->setTimerType(Qt::PreciseTimer);
    m_wake->setSingleShot(true);
    connect(m_wake, &QTimer::timeout, this, &TMainForm::wakeUp);
    // Only while a fetch runs, so Escape keeps its meaning everywhere else.
    m_cancelSync = new QAction(this);
    m_cancelSync->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelSync->setShortcutContext(Qt::WindowShortcut);
    m_cancelSync->setEnabled(false);
    addAction(m_cancelSync);
    connect(m_cancelSync, &QAction::triggered, this, &TMainForm::cancelDeviceSync);
    showReport = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };
    showDifferences
        = [this](const SyncReport& report) { showVerifyReport(this, m_session, report); };
    watchPortChanges();
}

void TMainForm::watchPortChanges()
{
    // Nothing wakes while nothing changes: the notifier only watches a
    // descriptor that the driver writes on a change.
    const int descriptor = m_session.portChangeDescriptor();
    if (descriptor < 0 || (m_portChanges != nullptr && m_portChanges->socket() == descriptor))
        return;
    delete m_portChanges;
    m_portChanges = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_portChanges, &QSocketNotifier::activated, this,
        [this] { m_session.portsChangeNoticed(PaceClock::now()); });
}

void TMainForm::portListsChanged()
{
    if (m_config != nullptr)
        m_config->showPortLists();
    watchPortChanges(); // a JACK server started since is watched from now on
}

void TMainForm::midiAttached()
{
    watchPortChanges();
    if (m_config != nullptr)
        m_config->showSettings();
}

void TMainForm::wakeUp()
{
    // A paced message is waited for awake over its last stretch, so that it
    // leaves on its deadline rather than when the event loop gets round to it.
    if (const auto paced = m_session.pacedDeadline();
        paced && paced == m_session.nextDeadline() && *paced - PaceClock::now() <= kPacedWakeLead)
        waitUntil(*paced);
    m_inTick = true;
    m_session.tick(PaceClock::now());
    m_inTick = false;
    scheduleChanged();
}

void TMainForm::scheduleChanged()
{
    if (m_inTick || m_wake == nullptr)
        return; // the tick arms the timer once it is done
    const std::optional<PaceClock::time_point> due = m_session.nextDeadline();
    if (!due) {
        m_wake->stop();
    } else {
        // The event loop wakes up to a millisecond late, so a paced deadline is asked for earlier.
        const auto lead
            = due == m_session.pacedDeadline() ? kPacedWakeLead : std::chrono::microseconds(0);
        const auto wait
            = std::chrono::ceil<std::chrono::milliseconds>(*due - lead - PaceClock::now());
        m_wake->start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
            wait.count(), 0, std::numeric_limits<int>::max())));
    }
    updatePacingPriority();
}

void TMainForm::updatePacingPriority()
{
    // Under load an ordinary thread is woken only at the next scheduler
    // tick, milliseconds late; a real-time one at once. The window's thread
    // holds the priority only from a transfer's first deadline to its
    // Program Change, so painting and the rest of the run stay ordinary.
    if (m_session.transferring())
        m_pacingPriority.enter(); // without the privilege the transfer runs as before
    else if (!m_session.pacedDeadline())
        m_pacingPriority.leave();
}

void TMainForm::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TMainForm::showStatus(const std::string& text)
{
    m_status->setText(QString::fromStdString(text));
}

QString TMainForm::statusText() const { return m_status->text(); }

void TMainForm::deviceSettingsChanged()
{
    if (m_config != nullptr)
        m_config->syncFromModel();
}

void TMainForm::deviceMarksChanged() { redrawTree(); }

void TMainForm::deviceWorkRunning(bool running) { m_cancelSync->setEnabled(running); }

void TMainForm::deviceWorkReport(
    const std::string& title, const std::string& text, const SyncReport& report)
{
    if (report.job != SyncJob::getAll && !report.cancelled
        && (!report.differing.empty() || !report.noReply.empty()) && showDifferences) {
        showDifferences(report);
        return;
    }
    // Windows-1252 names, near enough
    showReport(QString::fromStdString(title), QString::fromLatin1(text.c_str()));
}

void TMainForm::journalFailed(const FileResult& result)
{
    // On the status line, not in a box: it is tried again every second, and
    // the edits go on meanwhile.
    showStatus(result ? std::string("Changes are kept safe against a crash again.")
                      : "Changes are not kept safe against a crash: " + result.file + ": "
                + result.reason + ". Free some disk space; the editor keeps trying.");
}

} // namespace kestrow
