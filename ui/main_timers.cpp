// The main window's timers and the protocol host it is: the paced sender
// and the Program Change wake up at the protocol's deadlines, the others
// tick at fixed intervals.
#include "ui/config_form.h"
#include "ui/main_form.h"

#include <QLabel>
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
    /// A device comes or goes as a burst of port changes; the lists are read
    /// once this long after the first.
    constexpr int kPortsSettle = 100;

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
    // Timer1 and Timer4 wake up just before the protocol's next deadline and
    // wait out the rest precisely (see pacedTick); Timer3 is an ordinary
    // 400 ms single-use timer. Timer4 runs from creation, so one Program
    // Change follows start-up.
    m_timer1 = new QTimer(this);
    m_timer3 = new QTimer(this);
    m_timer4 = new QTimer(this);
    m_timer5 = new QTimer(this);
    for (QTimer* t : { m_timer1, m_timer3, m_timer4, m_timer5 })
        t->setTimerType(Qt::PreciseTimer);
    m_timer1->setSingleShot(true);
    m_timer4->setSingleShot(true);
    m_timer3->setInterval(kInitValuesRequestDelay);
    m_timer5->setInterval(kWatchInterval);
    connect(m_timer1, &QTimer::timeout, this, &TMainForm::pacedTick);
    connect(m_timer3, &QTimer::timeout, this, &TMainForm::Timer3Timer);
    connect(m_timer4, &QTimer::timeout, this, &TMainForm::pacedTick);
    connect(m_timer5, &QTimer::timeout, this, &TMainForm::Timer5Timer);
    for (ProtocolTimer t : { ProtocolTimer::Timer1, ProtocolTimer::Timer3, ProtocolTimer::Timer4,
             ProtocolTimer::Timer5 })
        setTimerEnabled(t, m_session.protocol().timerEnabled(t));
    m_portsSettle = new QTimer(this);
    m_portsSettle->setSingleShot(true);
    m_portsSettle->setInterval(kPortsSettle);
    connect(m_portsSettle, &QTimer::timeout, this, &TMainForm::portsChanged);
    watchPortChanges();
}

void TMainForm::watchPortChanges()
{
    // Nothing wakes while nothing changes: the notifier only watches a
    // descriptor that the driver writes on a change.
    const int descriptor = m_session.ports().changeDescriptor();
    // Without notifications (or once the JACK server went) a lost port is
    // looked for every second again.
    m_session.protocol().setPortNotifications(descriptor >= 0);
    if (descriptor < 0 || (m_portChanges != nullptr && m_portChanges->socket() == descriptor))
        return;
    delete m_portChanges;
    m_portChanges = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_portChanges, &QSocketNotifier::activated, this, [this] {
        m_session.ports().changeCount(); // the descriptor is quiet again
        if (!m_portsSettle->isActive())
            m_portsSettle->start();
    });
}

void TMainForm::portsChanged()
{
    m_session.protocol().refreshPorts(m_session.ports());
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

void TMainForm::pacedTick()
{
    DeviceProtocol& protocol = m_session.protocol();
    std::optional<PaceClock::time_point> due = protocol.deadline(ProtocolTimer::Timer1);
    if (const auto due4 = protocol.deadline(ProtocolTimer::Timer4); due4 && (!due || *due4 < *due))
        due = due4;
    if (due && *due - PaceClock::now() <= kPacedWakeLead)
        waitUntil(*due);
    const PaceClock::time_point now = PaceClock::now();
    const auto programChange = protocol.deadline(ProtocolTimer::Timer4);
    // Within the tick the last message turns Timer1 off before Timer4 is
    // on; the priority follows once both are settled.
    m_inPacedTick = true;
    protocol.tick(now);
    m_inPacedTick = false;
    if (programChange && *programChange <= now) {
        redrawTree(); // what the device holds changed with the transfer
        if (m_session.deviceSync().verifyAfterSend)
            deviceSyncTick(); // starts the verify the transfer asked for
    }
    armPacedTimer(ProtocolTimer::Timer1);
    armPacedTimer(ProtocolTimer::Timer4);
    updatePacingPriority();
}

void TMainForm::armPacedTimer(ProtocolTimer which)
{
    QTimer* t = timer(which);
    const std::optional<PaceClock::time_point> due = m_session.protocol().deadline(which);
    if (!due) {
        t->stop();
        return;
    }
    // The event loop wakes up to a millisecond late, so ask for earlier.
    const auto wait
        = std::chrono::ceil<std::chrono::milliseconds>(*due - kPacedWakeLead - PaceClock::now());
    t->start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
        wait.count(), 0, std::numeric_limits<int>::max())));
}

void TMainForm::updatePacingPriority()
{
    // Under load an ordinary thread is woken only at the next scheduler
    // tick, milliseconds late; a real-time one at once. The window's thread
    // holds the priority only from a transfer's first deadline to its
    // Program Change, so painting and the rest of the run stay ordinary.
    const DeviceProtocol& protocol = m_session.protocol();
    if (protocol.deadline(ProtocolTimer::Timer1))
        m_pacingPriority.enter(); // without the privilege the transfer runs as before
    else if (!protocol.deadline(ProtocolTimer::Timer4))
        m_pacingPriority.leave();
}

void TMainForm::Timer3Timer() { m_session.protocol().Timer3Timer(); }

void TMainForm::Timer5Timer() { m_session.protocol().Timer5Timer(); }

QTimer* TMainForm::timer(ProtocolTimer which) const
{
    switch (which) {
    case ProtocolTimer::Timer1:
        return m_timer1;
    case ProtocolTimer::Timer3:
        return m_timer3;
    case ProtocolTimer::Timer4:
        return m_timer4;
    case ProtocolTimer::Timer5:
        return m_timer5;
    }
    return m_timer1;
}

void TMainForm::setTimerEnabled(ProtocolTimer which, bool enabled)
{
    if (which == ProtocolTimer::Timer1 || which == ProtocolTimer::Timer4) {
        armPacedTimer(which);
        if (!m_inPacedTick)
            updatePacingPriority();
        return;
    }
    QTimer* t = timer(which);
    if (!enabled)
        t->stop();
    else if (!t->isActive())
        t->start();
}

void TMainForm::setTimerInterval(ProtocolTimer which, int milliseconds)
{
    if (which == ProtocolTimer::Timer1 || which == ProtocolTimer::Timer4)
        armPacedTimer(which); // the deadline moved with the delay
    else
        timer(which)->setInterval(std::max(1, milliseconds));
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

} // namespace kestrow
