#include "ui/main_menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <utility>

namespace kestrow {

namespace {

    constexpr const char* kPopup = "PresetPopupMenu";
    constexpr const char* kDevices = "&Devices";
    constexpr const char* kDevice = "&Device";

    enum class Kind { item, separator, submenu };
    /// Which variants show an entry.
    enum class Shown { always, dialOnly, notDial };
    /// Entries enabled together, or kept apart for their changing texts.
    enum class Role { none, paste, factory, undo, redo };

    /// One entry: the menu it goes into (caption path joined with "/", "" for the
    /// menu bar), its caption, and for items the command and the key.
    struct MenuRow {
        Kind kind;
        const char* menu;
        const char* caption;
        MainCommand command = MainCommand::exit;
        QKeySequence key = {};
        Shown shown = Shown::always;
        Role role = Role::none;
        QKeySequence otherKey = {}; ///< a second key for the same entry
    };

    MenuRow item(const char* menu, const char* caption, MainCommand command, QKeySequence key = {},
        Shown shown = Shown::always, Role role = Role::none, QKeySequence otherKey = {})
    {
        return { Kind::item, menu, caption, command, std::move(key), shown, role,
            std::move(otherKey) };
    }

    MenuRow separator(const char* menu, Shown shown = Shown::always)
    {
        return { Kind::separator, menu, "-", MainCommand::exit, {}, shown, Role::none, {} };
    }

    MenuRow submenu(const char* menu, const char* caption, Shown shown = Shown::always)
    {
        return { Kind::submenu, menu, caption, MainCommand::exit, {}, shown, Role::none, {} };
    }

    /// The one table of the main window's menus, in menu order.
    const std::vector<MenuRow>& menuTable()
    {
        using C = MainCommand;
        using K = QKeySequence;
        constexpr Shown dial = Shown::dialOnly;
        constexpr Shown always = Shown::always;
        static const std::vector<MenuRow> rows {
            submenu("", "&File"),
            submenu("&File", "Load"),
            item("&File/Load", "Load All Presets", C::loadAllPresets),
            item("&File/Load", "Load Single Preset", C::loadSinglePreset, K(Qt::CTRL | Qt::Key_O)),
            separator("&File/Load", dial),
            item("&File/Load", "Load Banks 1-4", C::loadBanks, K(Qt::CTRL | Qt::ALT | Qt::Key_O),
                dial),
            submenu("&File", "Save As..."),
            item("&File/Save As...", "Save All Presets As...", C::saveAllPresets),
            item("&File/Save As...", "Save Single Preset As...", C::saveSinglePreset,
                K(Qt::CTRL | Qt::Key_S)),
            separator("&File/Save As...", dial),
            item("&File/Save As...", "Save Banks 1-4 As...", C::saveBanks,
                K(Qt::CTRL | Qt::ALT | Qt::Key_S), dial),
            separator("&File"),
            submenu("&File", "Send"),
            item("&File/Send", "Send All Presets", C::sendAllPresets, K(Qt::CTRL | Qt::Key_F3)),
            separator("&File/Send"),
            // Its F3 must not compete with the not-Dial item while the submenu is hidden.
            submenu("&File/Send", "Send Single Preset", dial),
            item("&File/Send/Send Single Preset", "Send All Data", C::sendAllData, K(Qt::Key_F3),
                dial),
            item("&File/Send/Send Single Preset", "Send Preset Data Only", C::sendPresetDataOnly,
                {}, dial),
            item("&File/Send/Send Single Preset", "Send Init Values Only", C::sendInitValuesOnly,
                {}, dial),
            item("&File/Send", "Send Single Preset", C::sendSinglePreset, K(Qt::Key_F3),
                Shown::notDial),
            separator("&File/Send", dial),
            item("&File/Send", "Send Banks 1-4", C::sendBanks, K(Qt::Key_F2), dial),
            separator("&File"),
            submenu("&File", "Display"),
            item("&File/Display", "Display Knob Table (4 Presets)", C::displayKnobTable4,
                K(Qt::CTRL | Qt::Key_D)),
            item("&File/Display", "Display Knob Table (8 Presets)", C::displayKnobTable8,
                K(Qt::CTRL | Qt::ALT | Qt::Key_D)),
            separator("&File/Display"),
            item("&File/Display", "Display All Parameters", C::displayAllParameters),
            item("&File/Display", "Display All Knob Names", C::displayAllKnobNames),
            submenu("&File", "Print"),
            item("&File/Print", "Print Knob Table (4 Presets)", C::printKnobTable4,
                K(Qt::CTRL | Qt::Key_P)),
            item("&File/Print", "Print Knob Table (8 Presets)", C::printKnobTable8,
                K(Qt::CTRL | Qt::ALT | Qt::Key_P)),
            separator("&File"),
            item("&File", "Import SysEx...", C::importSysEx),
            submenu("&File", "Export SysEx..."),
            item("&File/Export SysEx...", "All Presets...", C::exportAllSysEx),
            item("&File/Export SysEx...", "Selected Preset...", C::exportSelectedSysEx),
            item("&File/Export SysEx...", "Banks 1-4...", C::exportBanksSysEx, {}, dial),
            item("&File", "Compare with File...", C::compareWithFile),
            item("&File", "Library...", C::library, K(Qt::CTRL | Qt::SHIFT | Qt::Key_B)),
            // Filled by the window each time it opens.
            submenu("&File", "Recent Files"),
            // Exit stays last, where every desktop program keeps it.
            separator("&File"),
            item("&File", "Exit", C::exit),

            submenu("", "&Edit"),
            item("&Edit", "&Copy Preset", C::copyPreset, K(Qt::CTRL | Qt::ALT | Qt::Key_C)),
            item("&Edit", "&Paste Preset", C::pastePreset, K(Qt::CTRL | Qt::ALT | Qt::Key_V),
                always, Role::paste),
            item("&Edit", "Paste Preset &w/Clipboard ", C::swapPresetWithClipboard,
                K(Qt::CTRL | Qt::ALT | Qt::Key_W), always, Role::paste),
            separator("&Edit"),
            item("&Edit", "Select &Factory Preset", C::selectFactoryPreset, K(Qt::CTRL | Qt::Key_F),
                always, Role::factory),
            separator("&Edit"),
            item("&Edit", "Undo", C::undo, K(Qt::CTRL | Qt::Key_Z), always, Role::undo),
            item("&Edit", "Redo", C::redo, K(Qt::CTRL | Qt::Key_Y), always, Role::redo,
                K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)),
            // Ctrl+F is the factory picker's; Find takes Shift beside it.
            item("&Edit", "Find...", C::findAssignments, K(Qt::CTRL | Qt::SHIFT | Qt::Key_F)),

            submenu("", "&Settings"),
            item("&Settings", "Device &Settings", C::deviceSettings, K(Qt::Key_F12)),

            // What talks to the device beyond sending and getting one preset.
            submenu("", kDevice),
            item(kDevice, "Get All Presets", C::getAllPresets),
            item(kDevice, "Send Changed Presets", C::sendChangedPresets),
            item(kDevice, "Verify Device", C::verifyDevice),
            item(kDevice, "Verify Sent Presets", C::verifySentPresets),
            item(kDevice, "Find Fastest Delay...", C::findFastestDelay),
            separator(kDevice),
            item(kDevice, "MIDI Monitor", C::midiMonitor, K(Qt::CTRL | Qt::SHIFT | Qt::Key_M)),
            item(kDevice, "Learn", C::knobLearn, K(Qt::CTRL | Qt::SHIFT | Qt::Key_L)),

            submenu("", "&Help"),
            item("&Help", "Zembra Control Help", C::help, K(Qt::Key_F1)),
            item("&Help", "&About", C::about),

            // Not in the menu bar: only its shortcuts work.
            item(kDevices, "zembraC", C::deviceControl, K(Qt::Key_F7)),
            item(kDevices, "zembraDial", C::deviceDial, K(Qt::Key_F8)),
            item(kDevices, "zembraFader", C::deviceFader, K(Qt::Key_F9)),

            // The preset popup: its own keys act in the tree; the others are the
            // menu bar's, shown beside the entry.
            item(kPopup, "&Copy Preset", C::copyPreset, K(Qt::CTRL | Qt::Key_C)),
            item(kPopup, "&Paste Preset", C::pastePreset, K(Qt::CTRL | Qt::Key_V), always,
                Role::paste),
            item(kPopup, "Paste Preset &w/Clipboard ", C::swapPresetWithClipboard,
                K(Qt::CTRL | Qt::Key_W), always, Role::paste),
            item(
                kPopup, "Select Factory Preset", C::selectFactoryPreset, {}, always, Role::factory),
            separator(kPopup),
            item(kPopup, "Load Preset", C::loadSinglePreset),
            item(kPopup, "Load Banks 1-4", C::loadBanks, {}, dial),
            item(kPopup, "Save Preset As...", C::saveSinglePreset),
            item(kPopup, "Save Banks 1-4 As...", C::saveBanks, {}, dial),
            separator(kPopup),
            item(kPopup, "Send Preset", C::sendSinglePreset),
            item(kPopup, "Send Banks 1-4", C::sendBanks, {}, dial),
            item(kPopup, "Get Preset", C::getPreset),
            item(kPopup, "Get All Presets", C::getAllPresets),
            item(kPopup, "Send Changed Presets", C::sendChangedPresets),
            item(kPopup, "Verify Device", C::verifyDevice),
            separator(kPopup),
            submenu(kPopup, "Display"),
            item("PresetPopupMenu/Display", "Display Knob Table (4 Presets)", C::displayKnobTable4),
            item("PresetPopupMenu/Display", "Display Knob Table (8 Presets)", C::displayKnobTable8),
            separator("PresetPopupMenu/Display"),
            item(
                "PresetPopupMenu/Display", "Display Preset Parameters", C::displayPresetParameters),
            item("PresetPopupMenu/Display", "Display Knob Names", C::displayKnobNames),
            submenu(kPopup, "Print"),
            item("PresetPopupMenu/Print", "Print Knob Table (4 Presets)", C::printKnobTable4),
            item("PresetPopupMenu/Print", "Print Knob Table (8 Presets)", C::printKnobTable8),
        };
        return rows;
    }

    bool inPopup(const QString& menuPath)
    {
        return menuPath == QLatin1String(kPopup)
            || menuPath.startsWith(QLatin1String(kPopup) + '/');
    }

    /// The key of the menu bar entry that runs `command`, empty if none has one.
    QKeySequence menuBarKey(MainCommand command)
    {
        for (const MenuRow& row : menuTable()) {
            const QString menu = QString::fromLatin1(row.menu);
            if (row.kind == Kind::item && row.command == command && !row.key.isEmpty()
                && !inPopup(menu) && menu != QLatin1String(kDevices))
                return row.key;
        }
        return {};
    }

    QString captionOf(const QAction* action)
    {
        return action->text().section(QLatin1Char('\t'), 0, 0);
    }

    QAction* findIn(const QList<QAction*>& actions, const QStringList& path, int depth)
    {
        for (QAction* action : actions) {
            if (action->isSeparator() || captionOf(action) != path[depth])
                continue;
            if (depth + 1 == path.size())
                return action;
            if (action->menu() != nullptr) {
                if (QAction* found = findIn(action->menu()->actions(), path, depth + 1))
                    return found;
            }
        }
        return nullptr;
    }

} // namespace

MainMenus::MainMenus(QMainWindow& window, QWidget& tree, std::function<void(MainCommand)> run)
{
    auto* popup = new QMenu(&tree);
    popup->setObjectName(QString::fromLatin1(kPopup));
    m_menus[QString::fromLatin1(kPopup)] = popup;
    auto* devices = new QMenu(QString::fromLatin1(kDevices), &window);
    devices->setObjectName(QStringLiteral("DevicesMenu"));
    m_menus[QString::fromLatin1(kDevices)] = devices;

    for (const MenuRow& row : menuTable()) {
        const QString parentPath = QString::fromLatin1(row.menu);
        const QString caption = QString::fromLatin1(row.caption);
        QAction* action = nullptr;
        switch (row.kind) {
        case Kind::submenu: {
            QMenu* sub = parentPath.isEmpty() ? window.menuBar()->addMenu(caption)
                                              : m_menus.at(parentPath)->addMenu(caption);
            m_menus[parentPath.isEmpty() ? caption : parentPath + '/' + caption] = sub;
            action = sub->menuAction();
            break;
        }
        case Kind::separator:
            action = m_menus.at(parentPath)->addSeparator();
            break;
        case Kind::item: {
            const bool popupEntry = inPopup(parentPath);
            QString text = caption;
            if (popupEntry && row.key.isEmpty()) {
                const QKeySequence shown = menuBarKey(row.command);
                if (!shown.isEmpty())
                    text += '\t' + shown.toString(QKeySequence::PortableText);
            }
            action = m_menus.at(parentPath)->addAction(text);
            if (!row.key.isEmpty()) {
                QList<QKeySequence> keys { row.key };
                if (!row.otherKey.isEmpty())
                    keys << row.otherKey;
                action->setShortcuts(keys);
                if (popupEntry) {
                    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
                    tree.addAction(action);
                } else if (parentPath == QLatin1String(kDevices)) {
                    window.addAction(action);
                }
            }
            const MainCommand command = row.command;
            QObject::connect(
                action, &QAction::triggered, &window, [run, command] { run(command); });
            break;
        }
        }
        if (row.shown == Shown::dialOnly)
            m_dialOnly.push_back(action);
        else if (row.shown == Shown::notDial)
            m_notDial.push_back(action);
        if (row.role == Role::paste)
            m_paste.push_back(action);
        else if (row.role == Role::factory)
            m_factory.push_back(action);
        else if (row.role == Role::undo)
            m_undo = action;
        else if (row.role == Role::redo)
            m_redo = action;
    }
    setUndoRedo(QStringLiteral("Undo"), false, QStringLiteral("Redo"), false);
    setPasteEnabled(false);
    showVariant(false);
    findAction({ QString::fromLatin1(kDevice), QStringLiteral("Learn") })->setCheckable(true);
}

QMenu* MainMenus::popup() const { return m_menus.at(QString::fromLatin1(kPopup)); }

QMenu* MainMenus::menu(const QString& path) const
{
    const auto found = m_menus.find(path);
    return found != m_menus.end() ? found->second : nullptr;
}

QAction* MainMenus::findAction(const QStringList& path) const
{
    if (path.isEmpty())
        return nullptr;
    if (path.front() == QLatin1String(kDevices) || path.front() == QLatin1String(kPopup))
        return path.size() > 1 ? findIn(menu(path.front())->actions(), path, 1) : nullptr;
    QMenu* top = menu(path.front());
    if (top == nullptr)
        return nullptr;
    return path.size() == 1 ? top->menuAction() : findIn(top->actions(), path, 1);
}

void MainMenus::showVariant(bool dial)
{
    for (QAction* action : m_dialOnly) {
        action->setVisible(dial);
        action->setEnabled(dial);
    }
    for (QAction* action : m_notDial) {
        action->setVisible(!dial);
        action->setEnabled(!dial);
    }
}

void MainMenus::setPasteEnabled(bool enabled)
{
    for (QAction* action : m_paste)
        action->setEnabled(enabled);
}

bool MainMenus::pasteEnabled() const
{
    for (QAction* action : m_paste) {
        if (!action->isEnabled())
            return false;
    }
    return !m_paste.empty();
}

void MainMenus::setUndoRedo(
    const QString& undoText, bool canUndo, const QString& redoText, bool canRedo)
{
    m_undo->setText(undoText);
    m_undo->setEnabled(canUndo);
    m_redo->setText(redoText);
    m_redo->setEnabled(canRedo);
}

void MainMenus::setFactoryEnabled(bool enabled)
{
    for (QAction* action : m_factory)
        action->setEnabled(enabled);
}

} // namespace kestrow
