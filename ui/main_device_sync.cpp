// The main window's device commands beyond the single preset: Get All
// Presets, Send Changed Presets and Verify Device, and the tree's mark for
// presets that differ from the device.

#include "ui/main_form.h"
#include "ui/preset_tree.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

namespace kestrow {

namespace {

    /// Poll interval of a fetch: well below any Delay a user sets.
    constexpr int kSyncTickMs = 10;

    QString reportText(const SyncReport& report)
    {
        QStringList lines;
        for (const std::string& line : report.lines())
            lines << QString::fromLatin1(line.c_str()); // Windows-1252 names, near enough
        return lines.join(QLatin1Char('\n'));
    }

    /// Milliseconds of one steady clock for the whole run.
    std::int64_t steadyNow()
    {
        static QElapsedTimer clock = [] {
            QElapsedTimer c;
            c.start();
            return c;
        }();
        return clock.elapsed();
    }

} // namespace

void TMainForm::createDeviceSync()
{
    m_syncTimer = new QTimer(this);
    m_syncTimer->setInterval(kSyncTickMs);
    connect(m_syncTimer, &QTimer::timeout, this, &TMainForm::deviceSyncTick);
    // Only while a fetch runs, so Escape keeps its meaning everywhere else.
    m_cancelSync = new QAction(this);
    m_cancelSync->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelSync->setShortcutContext(Qt::WindowShortcut);
    m_cancelSync->setEnabled(false);
    addAction(m_cancelSync);
    connect(m_cancelSync, &QAction::triggered, this, &TMainForm::cancelDeviceSync);
    presetTree()->itemDelegateForPresets()->setDeviceMarkFunction(
        [this](int row) { return m_session.deviceSync().differsFromDevice(row); });
    showReport = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };
}

void TMainForm::startDeviceSync(const SyncStart& start, const QString& title)
{
    if (portsMissing(start.ports))
        return;
    if (!start.note.empty()) {
        showWarning(title, QString::fromStdString(start.note));
        return;
    }
    m_syncTitle = title;
    m_syncQuiet = false;
    m_cancelSync->setEnabled(true);
    m_syncTimer->start();
    deviceSyncTick();
}

void TMainForm::GetAllPresets1Click()
{
    startDeviceSync(m_session.deviceSync().getAllPresets(), QStringLiteral("Get All Presets"));
}

void TMainForm::VerifyDevice1Click(bool onlySentSinceVerify)
{
    startDeviceSync(
        m_session.deviceSync().verifyDevice(onlySentSinceVerify), QStringLiteral("Verify Device"));
}

void TMainForm::SendChangedPresets1Click()
{
    const SyncStart start = m_session.deviceSync().sendChangedPresets();
    if (!portsMissing(start.ports) && !start.note.empty())
        showWarning(QStringLiteral("Send Changed Presets"), QString::fromStdString(start.note));
}

void TMainForm::cancelDeviceSync() { m_session.deviceSync().cancel(); }

void TMainForm::deviceSyncTick()
{
    DeviceSync& sync = m_session.deviceSync();
    const bool wasBusy = sync.busy();
    const std::optional<SyncReport> report = m_session.tickDevice(steadyNow());
    if (sync.busy() && !m_syncTimer->isActive()) {
        // A verify after a send began in this tick.
        m_syncTitle = QStringLiteral("Verify Device");
        m_syncQuiet = true;
        m_cancelSync->setEnabled(true);
        m_syncTimer->start();
    }
    if (!report) {
        if (!wasBusy && !sync.busy())
            m_syncTimer->stop();
        return;
    }
    m_syncTimer->stop();
    m_cancelSync->setEnabled(false);
    redrawTree();
    if (!m_syncQuiet || !report->ok())
        showReport(m_syncTitle, reportText(*report));
}

} // namespace kestrow
