// The main window's "Undo" and "Redo", and the crash-recovery question:
// each turns into calls on the editor session.

#include "ui/knob_table.h"
#include "ui/main_form.h"
#include "ui/main_layout.h"
#include "ui/undo_pass_through.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kestrow {

void TMainForm::setUpHistory()
{
    updateUndoActions();

    // The box's typing is taken back through the history, a burst at a time,
    // so that the box and the Edit menu never disagree about what comes next.
    QPlainTextEdit* description = m_layout->description;
    description->setUndoRedoEnabled(false);
    UndoPassThrough::install(description);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget*) {
        if (old != nullptr && old == m_layout->description)
            m_session.closeEditBurst();
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
    if (change.presetIndex != bank().selectedPreset)
        selectPreset(change.presetIndex, false); // the session sends nothing for it
    refreshKnobTable(bank().selectedPreset);
    redrawTree();
    m_state.showKnob(m_state.hoverKnob);
}

RecoveryChoice TMainForm::askRecoveryHoldingTimers(const std::string& question)
{
    // The start-up Program Change waits for the answer: nothing is sent before it.
    m_session.hold(true);
    const RecoveryChoice choice
        = askRecovery ? askRecovery(QString::fromStdString(question)) : RecoveryChoice::discard;
    m_session.hold(false);
    // The window closed while asking: the question stays for the next start.
    return m_closing || m_closed ? RecoveryChoice::later : choice;
}

} // namespace kestrow
