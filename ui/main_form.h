#pragma once

#include "core/editor_state.h"
#include "editor/editor_session.h"
#include "midi/realtime_priority.h"
#include "ui/knob_learn_mode.h"
#include "ui/main_menus.h"
#include "ui/preset_tree.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSocketNotifier;
class QTimer;

namespace kestrow {

class DevicePicture;
class KnobTable;
class PickerSet;
struct LoadResult;
struct MainLayout;
struct SaveDialogText;
struct SaveResult;
class SwitchDisplay;
class TConfigForm;
class TDescriptionForm;
class TDisplayForm;
class TInfoForm;
class TAboutForm;
class TCompareForm;
class TFindForm;
class TLibraryForm;
class TMidiMonitorForm;

/// The windows the main window opens. Set once by the program entry; the
/// functions create their window on first use (not at start, which they
/// would only slow down) and return the same one after. A missing one makes
/// its commands do nothing.
struct SecondaryWindows {
    TConfigForm* config = nullptr;
    std::function<TAboutForm*()> about;
    std::function<TInfoForm*()> info;
    std::function<TDisplayForm*()> display;
    std::function<TDescriptionForm*()> description;
};

/// What the user decides when an autosave file cannot be written at close.
enum class SaveFailureChoice { retry, closeAnyway };

/// The editor's main window: preset tree, heading, send panel, device
/// picture, description box and knob table, a view over the editor session.
/// It owns the widgets, the menus and the three timers the protocol drives.
class TMainForm : public QMainWindow, public SessionHost {
    Q_OBJECT
public:
    /// Attaches itself as the session's host; the session must outlive it.
    explicit TMainForm(EditorSession& session, QWidget* parent = nullptr);
    ~TMainForm() override;

    EditorSession& session() { return m_session; }
    const PresetBank& bank() const { return m_session.bank(); }
    const Catalogue& catalogue() const { return m_session.catalogue(); }
    EditorState& editorState() { return m_state; }
    PickerSet& pickers() { return *m_pickers; }
    const EditorPaths& paths() const { return m_session.paths(); }
    std::string programDirectory;
    /// Start folder of the file dialogs, with a trailing '/': where that kind
    /// of file was last used, else the documents folder, else home; never the
    /// autosave folder.
    QString dialogFolder(EditorSession::FileKind kind) const;

    /// Called by the device settings dialog while it is created.
    void attachConfigForm(TConfigForm& config) { m_config = &config; }
    /// Forgets the dialog before it is destroyed.
    void detachConfigForm();
    void setSecondaryWindows(SecondaryWindows windows);
    TConfigForm* configForm() const { return m_config; }
    /// The session's protocol; it exists from start-up.

    // --- start and end of a run ---
    /// First show: cursors, the session's start-up (factory set, autosave set
    /// with the settings), its warnings, the saved preset selected without
    /// sending. Runs once.
    void FormShow();
    /// Close path: the session's autosave save. With a failure the user may
    /// retry or close anyway; returns whether closing may go on.
    bool FormClose();
    /// SIGTERM or SIGINT: the run ends through the close path without asking
    /// anything, also when the close path waits in its save-failure prompt;
    /// a save that fails is printed on stderr and the files stay as they were.
    void terminate();
    /// Whether the working set was saved when the window closed.
    bool savedAtClose() const { return m_savedAtClose; }
    /// Asked when saving at close failed; defaults to a message box.
    std::function<SaveFailureChoice(const QString& message)> askSaveFailure;
    /// Asked at first show when a run did not close cleanly; defaults to a
    /// message box with Restore (the default button) and Discard.
    std::function<RecoveryChoice(const QString& question)> askRecovery;
    /// Shows a user error ("Warning !!!" and the like); defaults to a message box.
    std::function<void(const QString& title, const QString& text)> showWarning;
    /// Asks for a preset name (Enter in the tree): the edited text, or nullopt
    /// when cancelled. Defaults to the name edit box.
    std::function<std::optional<QString>(const QString&)> editName;
    /// Asks for a file to save (save = true) or load: the path, or empty when
    /// cancelled. Defaults to the file dialogs.
    std::function<QString(const QString& title, const QString& start, bool save)> askFileName;
    /// Whether the factory set was usable at first show.
    bool factorySetLoaded() const { return m_session.factorySetLoaded(); }

    // --- the settings of the window and dialog as one record ---
    EditorSettings currentSettings() const { return m_session.currentSettings(); }

    // --- gestures as plain calls ---
    /// Selects tree item 0..127 (selection-change steps run when it changes).
    void selectPreset(int presetIndex, bool focusTree = true);
    /// The selection-change steps for the item now selected.
    void onSelectionChanged(int presetIndex);
    void renameConfirmed(int presetIndex, const QString& text);
    void renameWithEditor(int presetIndex);
    void presetTreeDrop(int source, int target, DragOperation operation);
    void switchClicked(int switchNumber);
    /// The device variant switch: caption, pictures, dialog controls, menus.
    void applyDeviceVariant(DeviceVariant variant);
    /// Devices shortcuts (F7, F8, F9): switch, then redraw everything.
    void switchDeviceVariant(DeviceVariant variant);
    void copyPreset();
    void pastePreset();
    void swapPresetWithClipboard();
    void descriptionEdited();
    /// "Undo" and "Redo": an open knob-name editor closes, the step's preset
    /// is selected (without AutoSend) and everything is redrawn.
    void undoLastStep();
    void redoLastStep();
    /// The Edit menu's "Undo ..." / "Redo ..." texts and states from the history.
    void updateUndoActions();
    /// Journal timer tick: the session journals; a failure is shown once a run.
    /// "MIDI Monitor": shows the monitor window (made at its first use).
    void openMidiMonitor();
    /// The monitor window; nullptr until it was first opened.
    TMidiMonitorForm* midiMonitor() const { return m_monitor; }
    /// "Learn" on or off; the menu entry shows it.
    void setKnobLearn(bool on);
    bool knobLearnOn() const { return m_learn && m_learn->on(); }
    /// Knob 0..15 of the selected preset sent the last event: its table row
    /// and its place on the picture are highlighted, the status line names it.
    void showLearnedKnob(int knob);

    /// Rewrites heading, knob table, description box and tree item of preset n.
    void refreshKnobTable(int presetIndex) override;
    /// Redraws the preset tree (bank-group shading follows the options).
    void redrawTree();
    BankGroupOptions bankGroupOptions() const;
    /// The drag operation for the modifier keys held at a drag's start.
    DragOperation operationFor(Qt::KeyboardModifiers modifiers) const;
    /// Operation for no key, Shift and Ctrl ("Drag/Drop Configuration").
    void setDragKeyMap(const std::array<DragOperation, 3>& noKeyShiftCtrl);
    /// Operation for no key, Shift and Ctrl, in that order.
    std::array<DragOperation, 3> dragKeyMap() const;

    // --- commands ---
    /// Runs a menu, popup or shortcut command.
    void runCommand(MainCommand command);
    void SendButtonClick();
    /// The hidden button: a Program Change for the selected preset, nothing else.
    void Button1Click();
    void SendPreset1Click();
    void SendAllData1Click();
    void SendPresetDataOnly1Click();
    void SendInitValues1Click();
    void SendAllPresets1Click();
    void Send4Presets1Click();
    void GetPreset1Click();
    /// "Get All Presets", "Send Changed Presets", "Verify Device" (all or
    /// only the presets sent since the last verify).
    void GetAllPresets1Click();
    void SendChangedPresets1Click();
    void VerifyDevice1Click(bool onlySentSinceVerify);
    /// "Find Fastest Delay...": the device settings dialog's button does the same.
    void FindFastestDelay1Click();
    /// Escape while presets are fetched or verified: ends that.
    void cancelDeviceSync();
    /// One step of a running fetch or verify (the sync timer's tick).
    void deviceSyncTick();
    /// How a fetch or verify ended: title and text. Defaults to a message box.
    std::function<void(const QString& title, const QString& text)> showReport;
    /// A verify or a send's read-back that found differences or silence:
    /// defaults to the Verify report window, a table to act on.
    std::function<void(const SyncReport& report)> showDifferences;
    void Open1Click();
    void Load1Click();
    void Load4Presets1Click();
    void Save1Click();
    void SaveSinglePreset1Click();
    void Save4Presets1Click();
    void DeviceSettings1Click();

    // --- librarian: .syx files, dropped and recent files, find, compare ---
    /// "Import SysEx...": asks for a .syx file and imports it.
    void ImportSysEx1Click();
    /// Imports a .syx file (one preset into preset target 0..127), then shows
    /// what was skipped; true when the working set changed.
    bool importSysExFile(const std::string& path, int target);
    /// The "Export SysEx..." entries: ask for a file name, write the range.
    void exportSysEx(EditorSession::PresetRange range);
    /// Files dropped on the preset tree over item row (0..127, -1 where no item
    /// lies), each opened by openPresetFile onto that preset (the selected one for -1).
    void filesDropped(const QStringList& paths, int row);
    /// Opens a file as the matching load command would, with the same messages;
    /// single presets and banks go to (or start at) preset target. True when loaded.
    bool openPresetFile(const QString& path, int target);
    /// A "Recent Files" entry: opens the file, or takes a vanished one off the list with a message.
    void openRecentFile(const QString& path);
    /// Rebuilds the "Recent Files" submenu from the session's list.
    void fillRecentFilesMenu();
    /// "Compare with File...": asks for a preset file and shows the comparison.
    void CompareWithFile1Click();
    /// The "Find..." and "Compare with File..." windows, created on first use.
    TFindForm& findForm();
    TCompareForm& compareForm();
    /// "Library...", made on first use.
    TLibraryForm& libraryForm();
    /// Selects preset 0..127 and, for knob 0..15, that knob's row in the knob table.
    void showPresetKnob(int presetIndex, int knob);

    // --- the one timer: wakes up at the session's next deadline ---
    void wakeUp();
    QTimer* wakeTimer() const { return m_wake; }
    /// The driver was loaded after start-up (or could not be): the port
    /// changes are watched, the dialog shows the ports and the saved choice.
    void midiAttached();

    // --- SessionHost ---
    void scheduleChanged() override;
    void historyChanged() override { updateUndoActions(); }
    void deviceMarksChanged() override;
    void deviceWorkRunning(bool running) override;
    void deviceWorkReport(
        const std::string& title, const std::string& text, const SyncReport& report) override;
    void portListsChanged() override;
    void journalFailed(const FileResult& result) override;
    void setCaption(const std::string& caption) override;
    void deviceSettingsChanged() override;
    /// The status line at the bottom of the window shows `text`.
    void showStatus(const std::string& text) override;
    /// The status line's text.
    QString statusText() const;

    // --- state and widgets, for the dialog and for tests ---
    DeviceVariant deviceVariant() const { return m_session.variant(); }
    PresetTree* presetTree() const;
    SwitchDisplay* switchDisplay() const;
    QCheckBox* autoSendBox() const;
    QLabel* headingLabel() const;
    QPlainTextEdit* descriptionBox() const;
    KnobTable* knobTable() const;
    DevicePicture* devicePicture() const;
    /// A menu action by its caption path, e.g. {"&File", "Send", "Send All Presets"}.
    QAction* findAction(const QStringList& path) const { return m_menus->findAction(path); }
    QMenu* presetPopupMenu() const { return m_menus->popup(); }
    /// Whether the four paste items are enabled.
    bool pasteEnabled() const { return m_menus->pasteEnabled(); }
    QAction* undoAction() const { return m_menus->undoAction(); }
    QAction* redoAction() const { return m_menus->redoAction(); }
    /// Calls journalTick every 250 ms while a change waits to be journaled,
    /// so a change is journaled within 1.5 s; stopped while there is none.

signals:
    /// The close path ran and the window closed: the run ends, whatever
    /// secondary windows are still open.
    void runEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectLayout();
    void createTimers();
    void createDeviceSync();
    void startDeviceSync(const SyncStart& start, const QString& title);
    /// Listens to the MIDI system's port changes when it reports them.
    void watchPortChanges();
    /// Real-time scheduling for this thread while a paced transfer and its
    /// Program Change are pending, ordinary scheduling otherwise.
    void updatePacingPriority();
    void fillTree();
    QString itemText(int presetIndex) const;
    void setItemText(int presetIndex);
    void setHeading();
    void refreshPresetView(int presetIndex);
    /// Caption, menus, dialog controls and picture of the session's variant.
    void showDeviceVariant();
    /// Every control shows the session's settings.
    void showSettings();
    bool portsMissing(const PortCheck& check);
    bool guarded(const std::function<void()>& work);
    /// Shows why the file command `title` cannot run; false when it can.
    bool dumpFilesMissing(const QString& title);
    void afterLoad();
    void runLibrarianCommand(MainCommand command);
    void connectLibrarian();
    /// Loads path with `load` (a load command's own), redraws, notes it as
    /// recent; shows the command's message when refused. True when loaded.
    bool loadChosenFile(const QString& command, const std::string& path,
        const std::function<LoadResult(const std::string&)>& load);
    std::function<LoadResult(const std::string&)> loadAllPresets();
    std::function<LoadResult(const std::string&)> loadSinglePreset(int target);
    std::function<LoadResult(const std::string&)> loadBanks(int start);
    QString askSysExPath(const QString& title, const QString& defaultName, bool save);
    /// A load command: asks for the file, loads it and shows the result.
    void loadPresetFile(const QString& command, const std::string& title,
        const std::function<LoadResult(const std::string&)>& load);
    /// A save command: marks the presets to save, asks for the file, saves, reports.
    void savePresetFile(const QString& command, const SaveDialogText& text,
        const std::function<SaveResult(const std::string&)>& save);
    QString askSavePath(const std::string& title, const std::string& defaultName);
    QString askLoadPath(const std::string& title);
    void showAbout();
    void showHelp();
    void showListing(MainCommand command);
    /// Runs `show` for a secondary window; one that was closed opens beside this one.
    void openBeside(QWidget* window, const std::function<void()>& show);
    void displayKnobTable(int presetCount);
    void printKnobTable(int presetCount);
    void showHistoryChange(const HistoryChange& change);
    /// Start-up's recovery question, asked with the timers held so that
    /// nothing reaches the device while it is open.
    RecoveryChoice askRecoveryHoldingTimers(const std::string& question);
    void setUpHistory();

    EditorSession& m_session;
    EditorState& m_state; ///< the session's
    std::unique_ptr<PickerSet> m_pickers;
    std::unique_ptr<MainLayout> m_layout;
    std::unique_ptr<MainMenus> m_menus;
    TConfigForm* m_config = nullptr;
    SecondaryWindows m_windows;
    bool m_shown = false;
    bool m_closed = false;
    bool m_closing = false; ///< FormClose runs (it may wait in a prompt)
    bool m_terminating = false;
    bool m_savedAtClose = false;
    bool m_refreshing = false;

    TFindForm* m_find = nullptr;
    TCompareForm* m_compare = nullptr;
    TLibraryForm* m_library = nullptr;

    QTimer* m_wake = nullptr; ///< the session's next deadline
    bool m_inTick = false;
    QSocketNotifier* m_portChanges = nullptr; ///< readable after the ports changed
    RealtimePriority m_pacingPriority;
    QLabel* m_status = nullptr;
    TMidiMonitorForm* m_monitor = nullptr; ///< a child window, made when first opened
    std::unique_ptr<KnobLearnMode> m_learn;
    QAction* m_cancelSync = nullptr; ///< Escape, enabled only while one runs
};

} // namespace kestrow
