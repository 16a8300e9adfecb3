#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QWidget;

namespace kestrow {

/// Everything the main window's menus, its preset popup and its hidden
/// "&Devices" shortcuts can ask for.
enum class MainCommand {
    loadAllPresets,
    loadSinglePreset,
    loadBanks,
    saveAllPresets,
    saveSinglePreset,
    saveBanks,
    sendAllPresets,
    sendAllData,
    sendPresetDataOnly,
    sendInitValuesOnly,
    sendSinglePreset,
    sendBanks,
    getPreset,
    displayKnobTable4,
    displayKnobTable8,
    displayAllParameters,
    displayAllKnobNames,
    displayPresetParameters,
    displayKnobNames,
    printKnobTable4,
    printKnobTable8,
    exit,
    copyPreset,
    pastePreset,
    swapPresetWithClipboard,
    selectFactoryPreset,
    deviceSettings,
    deviceControl,
    deviceDial,
    deviceFader,
    help,
    about,
    importSysEx,
    exportAllSysEx,
    exportSelectedSysEx,
    exportBanksSysEx,
    compareWithFile,
    findAssignments,
    library,
    undo,
    redo,
    midiMonitor,
    knobLearn,
    getAllPresets,
    sendChangedPresets,
    verifyDevice,
    verifySentPresets,
    findFastestDelay,
};

/// The main window's menu bar, the hidden "&Devices" menu and the preset
/// popup, all built from one table of entries. A popup entry without a key of
/// its own shows the key of the menu bar entry with the same command, so no
/// shortcut text is written twice.
class MainMenus {
public:
    /// Builds every menu; triggering an entry calls `run` with its command.
    /// Popup keys act while `tree` has the focus.
    MainMenus(QMainWindow& window, QWidget& tree, std::function<void(MainCommand)> run);

    /// The tree's popup ("PresetPopupMenu").
    QMenu* popup() const;
    /// A menu by its caption path joined with "/", e.g. "&Settings"; nullptr if none.
    QMenu* menu(const QString& path) const;
    /// An entry by its caption path, e.g. {"&File", "Send", "Send All Presets"};
    /// {"&Devices", ...} and {"PresetPopupMenu", ...} reach the hidden menu and the popup.
    QAction* findAction(const QStringList& path) const;

    /// Dial-only entries (and the separators beside them) shown and enabled
    /// for a zembraDial, the not-Dial entry the other way round.
    void showVariant(bool dial);
    /// The four paste entries.
    void setPasteEnabled(bool enabled);
    bool pasteEnabled() const;
    /// Both "Select Factory Preset" entries.
    void setFactoryEnabled(bool enabled);
    /// The Edit menu's "Undo ..." and "Redo ..." entries: their texts, each
    /// enabled only with a step to take back or put back.
    void setUndoRedo(const QString& undoText, bool canUndo, const QString& redoText, bool canRedo);
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }

private:
    std::map<QString, QMenu*> m_menus; ///< by caption path; the popup and "&Devices" too
    std::vector<QAction*> m_dialOnly;
    std::vector<QAction*> m_notDial;
    std::vector<QAction*> m_paste;
    std::vector<QAction*> m_factory;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
};

} // namespace kestrow
