#pragma once

#include "catalogue.h"
#include "device_protocol.h"
#include "editor_settings.h"
#include "editor_state.h"
#include "preset_bank.h"
#include "preset_tree.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace kestrow {

class DevicePicture;
class KnobTable;
class PickerSet;
class PresetFiles;
struct LoadResult;
struct SaveDialogText;
struct SaveResult;
class SwitchDisplay;
class TConfigForm;
class TDescriptionForm;
class TDisplayForm;
class TInfoForm;
class TAboutForm;

/// The windows the main window opens. Set once by the program entry after
/// all windows exist; a missing one makes its commands do nothing.
struct SecondaryWindows {
    TConfigForm* config = nullptr;
    TAboutForm* about = nullptr;
    TInfoForm* info = nullptr;
    TDisplayForm* display = nullptr;
    TDescriptionForm* description = nullptr;
};

/// Where the window's files live.
struct EditorPaths {
    std::string programDirectory;  ///< the executable's directory, ending with "/"
    std::string autosaveDirectory; ///< Config.* (program dir, or the per-user folder)
    std::string factoryDirectory;  ///< FactoryPresets.*
    std::string infoDirectory;     ///< Info.txt
};

/// What the user decides when an autosave file cannot be written at close.
enum class SaveFailureChoice { retry, closeAnyway };

/// The editor's main window: preset tree, heading, send panel, device
/// picture, description box and knob table. Owns the working set, the
/// catalogue, the protocol (sendBuffer) and the timers.
class TMainForm : public QMainWindow, public ProtocolHost {
    Q_OBJECT
public:
    explicit TMainForm(const EditorPaths& paths, QWidget* parent = nullptr);
    ~TMainForm() override;

    PresetBank& bank() { return m_bank; }
    Catalogue& catalogue() { return m_catalogue; }
    EditorState& editorState() { return *m_state; }
    PickerSet& pickers() { return *m_pickers; }
    const EditorPaths& paths() const { return m_paths; }
    std::string programDirectory;
    /// Start folder of the file dialogs: the program's folder, or the
    /// autosave folder when the program's folder is read-only.
    std::string dialogDirectory;

    /// Called by the device settings dialog while it is created.
    void attachConfigForm(TConfigForm& config);
    /// Drops the protocol and the dialog before the dialog is destroyed.
    void detachConfigForm();
    void setSecondaryWindows(SecondaryWindows windows);
    void setPresetFiles(PresetFiles* files) { m_files = files; }
    /// Why the dump files cannot be read or written in this run (the driver
    /// library is missing); empty when they can. Start-up then loads nothing,
    /// the file commands refuse, and the close path reports that nothing is saved.
    void setDumpFilesUnavailable(const QString& reason) { m_dumpFilesUnavailable = reason; }
    TConfigForm* configForm() const { return m_config; }
    /// Exists from the moment the device settings dialog is attached.
    DeviceProtocol* protocol() const { return m_protocol.get(); }

    // --- start and end of a run ---
    /// First show: cursors, factory set, autosave set with the settings, the
    /// saved preset selected without sending. Runs once.
    void FormShow();
    /// Close path: all presets as the autosave set, then the settings. With
    /// a failure the user may retry or close anyway; returns whether closing may go on.
    bool FormClose();
    /// Asked when saving at close failed; defaults to a message box.
    std::function<SaveFailureChoice(const QString& message)> askSaveFailure;
    /// Shows a user error ("Warning !!!" and the like); defaults to a message box.
    std::function<void(const QString& title, const QString& text)> showWarning;
    /// Asks for a preset name (Enter in the tree): the edited text, or
    /// "escape" when cancelled. Defaults to the name edit box.
    std::function<QString(const QString&)> editName;
    /// Asks for a file to save (save = true) or load: the path, or empty when
    /// cancelled. Defaults to the file dialogs.
    std::function<QString(const QString& title, const QString& start, bool save)> askFileName;
    /// Whether the factory set was usable at first show.
    bool factorySetLoaded() const { return m_factoryLoaded; }

    // --- the settings of the window and dialog as one record ---
    EditorSettings currentSettings() const;
    /// The settings loader: variant, options, AutoSend, delay, ports, notes
    /// range, then the configuration request and the selected preset.
    void applySettings(const EditorSettings& settings);

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
    void Open1Click();
    void Load1Click();
    void Load4Presets1Click();
    void Save1Click();
    void SaveSinglePreset1Click();
    void Save4Presets1Click();
    void DeviceSettings1Click();

    // --- timers ---
    void Timer1Timer();
    void Timer3Timer();
    void Timer4Timer();
    QTimer* timer(ProtocolTimer which) const;

    // --- ProtocolHost ---
    void setTimerEnabled(ProtocolTimer timer, bool enabled) override;
    void setTimerInterval(ProtocolTimer timer, int milliseconds) override;
    void setCaption(const std::string& caption) override;
    void deviceSettingsChanged() override;
    void portFailed(const PortResult&) override { } ///< this window has no status line yet

    // --- state and widgets, for the dialog and for tests ---
    bool suppressAutoSend = false;
    DeviceVariant deviceVariant() const;
    PresetTree* presetTree() const { return m_tree; }
    SwitchDisplay* switchDisplay() const { return m_switches; }
    QCheckBox* autoSendBox() const { return m_autoSend; }
    QLabel* headingLabel() const { return m_heading; }
    QPlainTextEdit* descriptionBox() const { return m_description; }
    KnobTable* knobTable() const { return m_knobTable; }
    DevicePicture* devicePicture() const { return m_picture; }
    /// A menu action by its caption path, e.g. {"&File", "Send", "Send All Presets"}.
    QAction* findAction(const QStringList& path) const;
    QMenu* presetPopupMenu() const { return m_presetPopup; }
    /// Whether the four paste items are enabled.
    bool pasteEnabled() const;

signals:
    /// The close path ran and the window closed: the run ends, whatever
    /// secondary windows are still open.
    void runEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void buildPopupMenu();
    void fillTree();
    QString itemText(int presetIndex) const;
    void setItemText(int presetIndex);
    void setHeading();
    void refreshPresetView(int presetIndex);
    void showPresetInPicture(int knob);
    void setPasteEnabled(bool enabled);
    bool portsMissing(const PortCheck& check);
    bool guarded(const std::function<void()>& work);
    /// Shows why the file command `title` cannot run; false when it can.
    bool dumpFilesMissing(const QString& title);
    void afterLoad();
    /// A load command: asks for the file, loads it and shows the result.
    void loadPresetFile(const QString& command, const std::string& title,
        const std::function<LoadResult(const std::string&)>& load);
    /// A save command: marks the presets to save, asks for the file, saves, reports.
    void savePresetFile(const QString& command, const std::function<void()>& mask,
        const SaveDialogText& text, const std::function<SaveResult(const std::string&)>& save);
    void keepUnreadableAutosave();
    QString askSavePath(const std::string& title, const std::string& defaultName);
    QString askLoadPath(const std::string& title);
    void reportSave(const QString& what, bool ok, const std::string& message);
    void showAbout();
    void showHelp();
    void displayKnobTable(int presetCount);
    void printKnobTable(int presetCount);

    EditorPaths m_paths;
    PresetBank m_bank;
    Catalogue m_catalogue;
    std::unique_ptr<EditorState> m_state;
    std::unique_ptr<PickerSet> m_pickers;
    std::unique_ptr<DeviceProtocol> m_protocol;
    TConfigForm* m_config = nullptr;
    PresetFiles* m_files = nullptr;
    QString m_dumpFilesUnavailable;
    SecondaryWindows m_windows;
    bool m_shown = false;
    bool m_closed = false;
    bool m_factoryLoaded = false;
    bool m_refreshing = false;

    QTimer* m_timer1 = nullptr;
    QTimer* m_timer3 = nullptr;
    QTimer* m_timer4 = nullptr;

    QLabel* m_heading = nullptr;
    QPushButton* m_sendButton = nullptr;
    QPushButton* m_button1 = nullptr; ///< hidden
    QCheckBox* m_autoSend = nullptr;
    SwitchDisplay* m_switches = nullptr;
    PresetTree* m_tree = nullptr;
    QFrame* m_pictureFrame = nullptr;
    DevicePicture* m_picture = nullptr;
    QPlainTextEdit* m_description = nullptr;
    KnobTable* m_knobTable = nullptr;

    QMenu* m_presetPopup = nullptr;
    std::vector<QAction*> m_dialOnly;
    std::vector<QAction*> m_notDialOnly;
    std::vector<QAction*> m_pasteActions;
    QAction* m_factoryAction = nullptr;
    QAction* m_factoryPopupAction = nullptr;
};

} // namespace kestrow
