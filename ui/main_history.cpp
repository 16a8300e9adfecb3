// The main window's "Undo" and "Redo", and the crash-recovery journal and
// question: each turns into calls on the editor session.

#include "ui/knob_table.h"
#include "ui/main_form.h"
#include "ui/main_layout.h"
#include "ui/undo_pass_through.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>

namespace kestrow {

namespace {

    /// A change is journaled at most the scheduler's delay plus this after it happens.
    constexpr int kJournalTickMilliseconds = 250;

} // namespace

void TMainForm::setUpHistory()
{
    m_session.history().onChanged = [this] {
        updateUndoActions();
        // The journal's tick rests while there is nothing to journal, so an
        // idle editor does not wake up; a change starts it again (a running
        // one keeps its rhythm, or steady typing would hold it off).
        if (m_shown && m_journalTimer != nullptr && !m_journalTimer->isActive())
            m_journalTimer->start();
    };
    updateUndoActions();

    // The box's typing is taken back through the history, a burst at a time,
    // so that the box and the Edit menu never disagree about what comes next.
    QPlainTextEdit* description = m_layout->description;
    description->setUndoRedoEnabled(false);
    UndoPassThrough::install(description);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
        if (old != nullptr && old == m_layout->description)
            m_session.history().closeBurst();
    });

    askRecovery = [this](const QString& question) {
        QMessageBox box(
            QMessageBox::Question, QStringLiteral("Kestrow Editor"), question, {}, this);
        QPushButton* restore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
        box.setDefaultButton(restore);
        box.exec();
        // Closing the box discards too; the journal is still kept as Recovery.old.
        return box.clickedButton() == restore ? RecoveryChoice::restore : RecoveryChoice::discard;
    };

    m_journalTimer = new QTimer(this);
    m_journalTimer->setInterval(kJournalTickMilliseconds);
    connect(m_journalTimer, &QTimer::timeout, this, &TMainForm::journalTick);
}

void TMainForm::updateUndoActions()
{
    const EditHistory& history = m_session.history();
    m_menus->setUndoRedo(QString::fromStdString(history.undoText()), history.canUndo(),
        QString::fromStdString(history.redoText()), history.canRedo());
}

void TMainForm::undoLastStep()
{
    // An open name editor would write its text back over what undo restores.
    knobTable()->closeNameEditor();
    if (const std::optional<HistoryChange> change = m_session.undo())
        showHistoryChange(*change);
}

void TMainForm::redoLastStep()
{
    knobTable()->closeNameEditor();
    if (const std::optional<HistoryChange> change = m_session.redo())
        showHistoryChange(*change);
}

void TMainForm::showHistoryChange(const HistoryChange& change)
{
    if (change.variantChanged)
        showDeviceVariant();
    for (int p : change.presets)
        setItemText(p);
    if (change.presetIndex != bank().selectedPreset) {
        // Taking a step back is no reason to send a preset to the device.
        m_session.suppressNextAutoSend();
        selectPreset(change.presetIndex, false);
    }
    refreshKnobTable(bank().selectedPreset);
    redrawTree();
    m_state.showKnob(m_state.hoverKnob);
}

RecoveryChoice TMainForm::askRecoveryHoldingTimers(const std::string& question)
{
    // The start-up Program Change waits for the answer: nothing is sent before it.
    const bool programChangePending = m_timer4->isActive();
    m_timer4->stop();
    const RecoveryChoice choice
        = askRecovery ? askRecovery(QString::fromStdString(question)) : RecoveryChoice::discard;
    if (programChangePending)
        m_timer4->start();
    return choice;
}

void TMainForm::journalTick()
{
    const FileResult result = m_session.journalTick(std::chrono::steady_clock::now());
    if (m_session.journalIdle())
        m_journalTimer->stop();
    if (result || m_journalFailureShown)
        return;
    m_journalFailureShown = true;
    showWarning(QStringLiteral("Kestrow Editor"),
        QStringLiteral("The changes of this run cannot be kept safe against a crash:\n%1: %2")
            .arg(QString::fromStdString(result.file), QString::fromStdString(result.reason)));
}

} // namespace kestrow
