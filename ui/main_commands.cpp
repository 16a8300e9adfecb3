// The main window's commands and its start and close: each turns into calls
// on the editor session.

#include "core/text_codec.h"
#include "storage/preset_files.h"
#include "ui/about_form.h"
#include "ui/config_form.h"
#include "ui/description_form.h"
#include "ui/display_form.h"
#include "ui/info_form.h"
#include "ui/knob_table.h"
#include "ui/main_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/plain_pictures.h"
#include "ui/window_placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

namespace kestrow {

namespace {

    QString fromModel(const std::string& text)
    {
        return QString::fromStdString(cp1252ToUtf8(text));
    }

    /// The secondary window `make` creates on first use; nullptr without one.
    template <typename T> T* onFirstUse(const std::function<T*()>& make)
    {
        return make ? make() : nullptr;
    }

} // namespace

// ---------------------------------------------------------------------------
// Start and end of a run

void TMainForm::detachConfigForm() { m_config = nullptr; }

void TMainForm::setSecondaryWindows(SecondaryWindows windows) { m_windows = std::move(windows); }

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown)
        FormShow();
}

void TMainForm::FormShow()
{
    if (m_shown)
        return;
    m_shown = true;

    PresetTree* tree = presetTree();
    m_state.showKnob(-1);
    for (int c = 0; c < static_cast<int>(KnobTable::kColumnWidths.size()); ++c)
        knobTable()->setColumnWidth(c, KnobTable::kColumnWidths[static_cast<std::size_t>(c)]);

    const StartupReport report = m_session.startUp(
        [this](const std::string& question) { return askRecoveryHoldingTimers(question); });
    if (report.abandoned || m_closed)
        return; // closed while start-up asked: the run ends with nothing read
    // The variant is known now; the picture is decoded while the rest is set up.
    prefetchPlainPicture(deviceVariant());
    if (report.factoryLoaded)
        m_pickers->refreshFactoryPresets();
    else
        m_menus->setFactoryEnabled(false);
    if (report.settingsApplied || report.restored)
        showSettings();
    for (const std::string& warning : report.warnings)
        showWarning(QStringLiteral("Kestrow Editor"), QString::fromStdString(warning));
    for (int i = 0; i < kPresetCount; ++i)
        setItemText(i);

    m_session.suppressNextAutoSend();
    const int saved = bank().selectedPreset;
    if (tree->currentRow() == saved) {
        // No change to report: show the preset all the same.
        onSelectionChanged(saved);
    }
    selectPreset(saved, true);
    tree->setCurrentItem(tree->item(saved));
    tree->scrollToItem(tree->item(saved), QAbstractItemView::PositionAtCenter);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!m_closed && !FormClose()) {
        event->ignore();
        return;
    }
    m_closed = true;
    event->accept();
    emit runEnded();
}

void TMainForm::terminate()
{
    m_terminating = true;
    if (!m_closing) {
        close();
        return;
    }
    // The close path waits for an answer that no one will give: end its prompt.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
}

bool TMainForm::FormClose()
{
    if (m_closed)
        return true;
    if (m_closing)
        return false; // asked again from inside its own prompt; the first run decides
    m_closing = true;
    // A signal may close the window while a dialog runs; that dialog goes first.
    for (int i = 0; i < 8 && QApplication::activeModalWidget() != nullptr; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    hide();
    if (!m_session.startedUp()) {
        // Closed (a signal, a logout) while start-up waits for an answer: the
        // sets are not read yet, so the close saves nothing and leaves the
        // journal to the next start.
        std::fprintf(stderr,
            "kestrow-editor: closed before start-up had finished; nothing was saved and the "
            "autosave files and the recovery file stay as they were. Start the editor again "
            "to go on.\n");
        return true;
    }
    for (;;) {
        const SaveResult result = m_session.saveAutosaveSet();
        m_savedAtClose = result.ok();
        if (result.ok())
            return true;
        const std::string message = result.message();
        if (!m_terminating
            && askSaveFailure(QString::fromStdString(message)) == SaveFailureChoice::retry
            && !m_terminating)
            continue;
        if (m_terminating)
            std::fprintf(stderr,
                "kestrow-editor: stopped by a signal; the working set could not be saved "
                "completely and the saved files stay as they were:\n%s\n",
                message.c_str());
        return true;
    }
}

// ---------------------------------------------------------------------------
// Commands

void TMainForm::runCommand(MainCommand command)
{
    using C = MainCommand;
    switch (command) {
    case C::loadAllPresets:
        return Open1Click();
    case C::loadSinglePreset:
        return Load1Click();
    case C::loadBanks:
        return Load4Presets1Click();
    case C::saveAllPresets:
        return Save1Click();
    case C::saveSinglePreset:
        return SaveSinglePreset1Click();
    case C::saveBanks:
        return Save4Presets1Click();
    case C::sendAllPresets:
        return SendAllPresets1Click();
    case C::sendAllData:
        return SendAllData1Click();
    case C::sendPresetDataOnly:
        return SendPresetDataOnly1Click();
    case C::sendInitValuesOnly:
        return SendInitValues1Click();
    case C::sendSinglePreset:
        return SendPreset1Click();
    case C::sendBanks:
        return Send4Presets1Click();
    case C::getPreset:
        return GetPreset1Click();
    case C::displayKnobTable4:
        return displayKnobTable(4);
    case C::displayKnobTable8:
        return displayKnobTable(8);
    case C::displayAllParameters:
    case C::displayAllKnobNames:
    case C::displayPresetParameters:
    case C::displayKnobNames:
        return showListing(command);
    case C::printKnobTable4:
        return printKnobTable(4);
    case C::printKnobTable8:
        return printKnobTable(8);
    case C::exit:
        close();
        return;
    case C::copyPreset:
        return copyPreset();
    case C::pastePreset:
        return pastePreset();
    case C::swapPresetWithClipboard:
        return swapPresetWithClipboard();
    case C::selectFactoryPreset:
        if (factorySetLoaded())
            m_pickers->factoryPresets().openFactoryPresetPicker();
        return;
    case C::deviceSettings:
        return DeviceSettings1Click();
    case C::deviceControl:
        return switchDeviceVariant(DeviceVariant::zembraControl);
    case C::deviceDial:
        return switchDeviceVariant(DeviceVariant::zembraDial);
    case C::deviceFader:
        return switchDeviceVariant(DeviceVariant::zembraFader);
    case C::help:
        return showHelp();
    case C::about:
        return showAbout();
    case C::importSysEx:
    case C::exportAllSysEx:
    case C::exportSelectedSysEx:
    case C::exportBanksSysEx:
    case C::compareWithFile:
    case C::findAssignments:
    case C::library:
        return runLibrarianCommand(command);
    case C::undo:
        return undoLastStep();
    case C::redo:
        return redoLastStep();
    case C::midiMonitor:
        return openMidiMonitor();
    case C::knobLearn:
        return setKnobLearn(
            findAction({ QStringLiteral("&Device"), QStringLiteral("Learn") })->isChecked());
    case C::getAllPresets:
        return GetAllPresets1Click();
    case C::sendChangedPresets:
        return SendChangedPresets1Click();
    case C::verifyDevice:
        return VerifyDevice1Click(false);
    case C::verifySentPresets:
        return VerifyDevice1Click(true);
    case C::findFastestDelay:
        return FindFastestDelay1Click();
    }
}

bool TMainForm::guarded(const std::function<void()>& work)
{
    // Errors of the MIDI file layer end the command and are shown with their text.
    try {
        work();
        return true;
    } catch (const std::exception& error) {
        showWarning(QStringLiteral("Kestrow Editor"), QString::fromLocal8Bit(error.what()));
    }
    return false;
}

bool TMainForm::dumpFilesMissing(const QString& title)
{
    const std::string& reason = m_session.dumpFilesUnavailable();
    if (reason.empty())
        return false;
    showWarning(title,
        QStringLiteral("%1\n\nPreset files are read and written through the MIDI "
                       "driver library, which is not loaded.")
            .arg(QString::fromStdString(reason)));
    return true;
}

bool TMainForm::portsMissing(const PortCheck& check)
{
    if (!check.abandon())
        return false;
    showWarning(QString::fromLatin1(kPortWarningTitle), QString::fromStdString(check.text));
    return true;
}

void TMainForm::SendButtonClick() { m_session.sendSelectedNow(); }

void TMainForm::Button1Click() { m_session.sendProgramChange(); }

void TMainForm::SendPreset1Click() { portsMissing(m_session.sendSelectedPreset(true, true)); }

void TMainForm::SendAllData1Click() { SendPreset1Click(); }

void TMainForm::SendPresetDataOnly1Click()
{
    portsMissing(m_session.sendSelectedPreset(true, false));
}

void TMainForm::SendInitValues1Click() { portsMissing(m_session.sendSelectedPreset(false, true)); }

void TMainForm::SendAllPresets1Click() { portsMissing(m_session.sendAllPresets()); }

void TMainForm::Send4Presets1Click() { portsMissing(m_session.sendBanks()); }

void TMainForm::GetPreset1Click() { portsMissing(m_session.getPreset()); }

QString TMainForm::askSavePath(const std::string& title, const std::string& defaultName)
{
    const QString start = dialogFolder(EditorSession::FileKind::presets) + fromModel(defaultName);
    if (askFileName)
        return askFileName(fromModel(title), start, true);
    QFileDialog dialog(this, fromModel(title), start, QStringLiteral("Midi File (*.MID *.mid)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString TMainForm::dialogFolder(EditorSession::FileKind kind) const
{
    QString folder = QString::fromStdString(m_session.lastFolder(kind));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString TMainForm::askLoadPath(const std::string& title)
{
    const QString start = dialogFolder(EditorSession::FileKind::presets);
    if (askFileName)
        return askFileName(fromModel(title), start, false);
    return QFileDialog::getOpenFileName(
        this, fromModel(title), start, QStringLiteral("Midi Files (*.MID *.mid)"));
}

void TMainForm::afterLoad()
{
    for (int i = 0; i < kPresetCount; ++i)
        setItemText(i);
    refreshKnobTable(bank().selectedPreset);
}

void TMainForm::loadPresetFile(const QString& command, const std::string& title,
    const std::function<LoadResult(const std::string&)>& load)
{
    if (dumpFilesMissing(command))
        return;
    const QString path = askLoadPath(title);
    if (path.isEmpty())
        return;
    loadChosenFile(command, path.toStdString(), load);
}

bool TMainForm::loadChosenFile(const QString& command, const std::string& path,
    const std::function<LoadResult(const std::string&)>& load)
{
    LoadResult result;
    if (!guarded([&] { result = load(path); }))
        return false;
    if (result) {
        m_session.noteRecentFile(path);
        afterLoad();
        // Loaded, but not all of it: what the file held that did not arrive.
        if (!result.note.empty())
            showWarning(command, QString::fromStdString(result.note));
    } else if (!result.reason.empty()) {
        showWarning(command, QString::fromStdString(result.reason));
    }
    return result.loaded;
}

void TMainForm::savePresetFile(const QString& command, const SaveDialogText& text,
    const std::function<SaveResult(const std::string&)>& save)
{
    if (dumpFilesMissing(command))
        return;
    const QString path = askSavePath(text.title, text.defaultName);
    if (path.isEmpty())
        return;
    SaveResult result;
    if (!guarded([&] { result = save(path.toStdString()); }))
        return;
    if (!result.ok())
        showWarning(command, QString::fromStdString(result.message()));
    else
        m_session.noteRecentFile(path.toStdString());
}

std::function<LoadResult(const std::string&)> TMainForm::loadAllPresets()
{
    return [this](const std::string& path) { return m_session.loadAllPresets(path); };
}

std::function<LoadResult(const std::string&)> TMainForm::loadSinglePreset(int target)
{
    return [this, target](
               const std::string& path) { return m_session.loadSinglePreset(path, target); };
}

std::function<LoadResult(const std::string&)> TMainForm::loadBanks(int start)
{
    return [this, start](const std::string& path) { return m_session.loadBanks(path, start); };
}

void TMainForm::Open1Click()
{
    loadPresetFile(QStringLiteral("Load All Presets"), loadAllPresetsTitle(), loadAllPresets());
}

void TMainForm::Load1Click()
{
    const int target = bank().selectedPreset;
    loadPresetFile(QStringLiteral("Load Single Preset"), loadSinglePresetTitle(target),
        loadSinglePreset(target));
}

void TMainForm::Load4Presets1Click()
{
    if (deviceVariant() != DeviceVariant::zembraDial)
        return;
    const int start = bank().selectedPreset;
    loadPresetFile(QStringLiteral("Load Banks 1-4"), loadBanksTitle(start), loadBanks(start));
}

void TMainForm::Save1Click()
{
    savePresetFile(QStringLiteral("Save All Presets"), saveAllPresetsText(),
        [this](const std::string& path) { return m_session.saveAllPresets(path); });
}

void TMainForm::SaveSinglePreset1Click()
{
    const int preset = bank().selectedPreset;
    savePresetFile(QStringLiteral("Save Single Preset"), saveSinglePresetText(bank(), preset),
        [this, preset](
            const std::string& path) { return m_session.saveSinglePreset(path, preset); });
}

void TMainForm::Save4Presets1Click()
{
    if (deviceVariant() != DeviceVariant::zembraDial)
        return;
    const int start = bank().selectedPreset;
    savePresetFile(QStringLiteral("Save Banks 1-4"), saveBanksText(start),
        [this, start](const std::string& path) { return m_session.saveBanks(path, start); });
}

void TMainForm::DeviceSettings1Click()
{
    if (m_config == nullptr || m_config->isVisible())
        return;
    m_session.portsChanged(); // devices plugged in since are listed
    m_config->exec();
    redrawTree();
}

void TMainForm::openBeside(QWidget* window, const std::function<void()>& show)
{
    if (window == nullptr)
        return;
    // A window that opens goes beside this one; one already open stays where
    // the user has put it.
    const bool opening = !window->isVisible();
    makeTransientFor(*window, *this);
    show();
    if (opening && window->isVisible())
        placeBeside(*window, *this);
}

void TMainForm::showListing(MainCommand command)
{
    TDisplayForm* display = onFirstUse(m_windows.display);
    const int selected = bank().selectedPreset;
    openBeside(display, [&] {
        switch (command) {
        case MainCommand::displayAllParameters:
            return display->showAllParameters(catalogue(), bank());
        case MainCommand::displayAllKnobNames:
            return display->showAllKnobNames(bank());
        case MainCommand::displayPresetParameters:
            return display->showPresetParameters(catalogue(), bank(), selected);
        case MainCommand::displayKnobNames:
            return display->showPresetKnobNames(bank(), selected);
        default:
            return;
        }
    });
}

void TMainForm::displayKnobTable(int presetCount)
{
    TDescriptionForm* description = onFirstUse(m_windows.description);
    openBeside(description,
        [&] { description->showKnobTable(bank(), bank().selectedPreset, presetCount); });
}

void TMainForm::printKnobTable(int presetCount)
{
    if (TDescriptionForm* description = onFirstUse(m_windows.description))
        description->printKnobTable(bank(), bank().selectedPreset, presetCount);
}

void TMainForm::showHelp()
{
    TInfoForm* info = onFirstUse(m_windows.info);
    openBeside(info, [this, info] {
        info->showInfo(QString::fromStdString(paths().infoDirectory) + QStringLiteral("Info.txt"));
    });
}

void TMainForm::showAbout()
{
    if (TAboutForm* about = onFirstUse(m_windows.about))
        about->exec();
}

} // namespace kestrow
