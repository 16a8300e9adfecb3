#include "main_form.h"

#include "about_form.h"
#include "config_form.h"
#include "device_picture.h"
#include "drag_cursors.h"
#include "description_form.h"
#include "display_form.h"
#include "info_form.h"
#include "knob_table.h"
#include "pickers/factory_presets_form.h"
#include "pickers/name_edit_form.h"
#include "pickers/picker_set.h"
#include "preset_files.h"
#include "program_directory.h"
#include "set_writer.h"
#include "switch_display.h"
#include "text_codec.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace kestrow {

namespace {

constexpr int kClientWidth = 790;
constexpr int kClientHeight = 534;

QString fromModel(const std::string& text)
{
    return QString::fromStdString(cp1252ToUtf8(text));
}

std::string toModel(const QString& text)
{
    return utf8ToCp1252(text.toStdString());
}

/// Descriptions keep Windows line breaks in the model and files; the box shows plain ones.
QString descriptionForBox(const std::string& description)
{
    return fromModel(description).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string descriptionFromBox(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return toModel(lines);
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

TMainForm::TMainForm(const EditorPaths& paths, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                              | Qt::WindowCloseButtonHint)
    , programDirectory(paths.programDirectory)
    , dialogDirectory(paths.autosaveDirectory.empty() ? paths.programDirectory
                                                      : paths.autosaveDirectory)
    , m_paths(paths)
    , m_state(std::make_unique<EditorState>(m_bank, m_catalogue))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromStdString(variantTitle(DeviceVariant::zembraControl)));

    // 1. Controls.
    m_pickers = std::make_unique<PickerSet>(*m_state, this);
    buildLayout();
    buildMenus();
    buildPopupMenu();

    // 2.-4. The working set with creation values, its tree and the table headings.
    m_bank.initBank();
    fillTree();
    m_bank.selectedPreset = 0;
    m_bank.selectedField = 0;
    m_bank.selectedKnob = 0;
    m_state->hoverKnob = -1;

    EditorHooks& hooks = m_state->hooks;
    hooks.refreshPresetView = [this](int presetIndex) { refreshPresetView(presetIndex); };
    hooks.selectPreset = [this](int presetIndex) { selectPreset(presetIndex, false); };
    hooks.enablePresetPaste = [this] { setPasteEnabled(true); };
    hooks.requestInitValues = [this] {
        if (m_protocol)
            m_protocol->getInitValues();
    };
    hooks.sendInitValues = [this] {
        if (m_protocol)
            m_protocol->sendInitValuesNow();
    };

    // Timers: Timer4 runs from creation, so one Program Change follows start-up.
    m_timer1 = new QTimer(this);
    m_timer3 = new QTimer(this);
    m_timer4 = new QTimer(this);
    for (QTimer* t : { m_timer1, m_timer3, m_timer4 })
        t->setTimerType(Qt::PreciseTimer);
    m_timer1->setInterval(kDefaultDelay);
    m_timer3->setInterval(kInitValuesRequestDelay);
    m_timer4->setInterval(kDefaultDelay);
    connect(m_timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    connect(m_timer3, &QTimer::timeout, this, &TMainForm::Timer3Timer);
    connect(m_timer4, &QTimer::timeout, this, &TMainForm::Timer4Timer);
    m_timer4->start();

    showWarning = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };
    askSaveFailure = [](const QString& message) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Kestrow Editor"),
                        QStringLiteral("The working set could not be saved completely:\n\n%1")
                            .arg(message));
        QPushButton* retry = box.addButton(QStringLiteral("&Retry"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("&Close Anyway"), QMessageBox::DestructiveRole);
        box.setDefaultButton(retry);
        box.exec();
        return box.clickedButton() == retry ? SaveFailureChoice::retry
                                            : SaveFailureChoice::closeAnyway;
    };
}

TMainForm::~TMainForm()
{
    // The knob table, picture and pickers hold the editing state; they go first.
    m_protocol.reset();
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
}

// ---------------------------------------------------------------------------
// Layout and menus

void TMainForm::buildLayout()
{
    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize); // fixed border

    auto* headingFrame = new QFrame(client);
    headingFrame->setFrameShape(QFrame::Panel);
    headingFrame->setFrameShadow(QFrame::Raised);
    headingFrame->setGeometry(0, -5, 555, 56);
    m_heading = new QLabel(headingFrame);
    m_heading->setGeometry(7, 14, 541, 30);
    QFont headingFont = m_heading->font();
    headingFont.setPixelSize(24);
    headingFont.setBold(true);
    headingFont.setUnderline(true);
    m_heading->setFont(headingFont);

    auto* sendPanel = new QFrame(client);
    sendPanel->setFrameShape(QFrame::Panel);
    sendPanel->setFrameShadow(QFrame::Raised);
    sendPanel->setGeometry(556, -5, 234, 56);
    m_sendButton = new QPushButton(QStringLiteral("Send"), sendPanel);
    m_sendButton->setGeometry(6, 12, 44, 40);
    m_sendButton->setToolTip(QStringLiteral("Send the selected preset"));
    auto* sendLabel = new QLabel(QStringLiteral("Send Preset"), sendPanel);
    sendLabel->setGeometry(55, 9, 102, 15);
    m_switches = new SwitchDisplay(sendPanel);
    m_switches->setGeometry(55, 25, 102, 25);
    m_autoSend = new QCheckBox(QStringLiteral("&AutoSend"), sendPanel);
    m_autoSend->setGeometry(159, 27, 75, 20);
    QFont small = m_autoSend->font();
    small.setPixelSize(11);
    m_autoSend->setFont(small);
    sendLabel->setFont(small);
    m_autoSend->setChecked(false);
    connect(m_sendButton, &QPushButton::clicked, this, &TMainForm::SendButtonClick);
    // Never shown: a hidden widget takes no room and no focus.
    m_button1 = new QPushButton(QStringLiteral("Button1"), sendPanel);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button1->setGeometry(6, 12, 44, 40);
    m_button1->hide();
    connect(m_button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
    connect(m_switches, &SwitchDisplay::switchClicked, this, &TMainForm::switchClicked);

    m_tree = new PresetTree(client);
    m_tree->setGeometry(0, 53, 181, 481);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->operationForModifiers = [this](Qt::KeyboardModifiers m) {
        m_state->dragOperation = operationFor(m);
        m_state->dragOrigin = 1;
        return m_state->dragOperation;
    };
    m_tree->itemDelegateForPresets()->setShadeFunction([this](int row, bool drawnSelected) {
        return presetItemShade(row, m_bank.selectedPreset, drawnSelected, bankGroupOptions());
    });
    connect(m_tree, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            onSelectionChanged(row);
    });
    connect(m_tree, &PresetTree::renameConfirmed, this, &TMainForm::renameConfirmed);
    connect(m_tree, &PresetTree::enterPressed, this, &TMainForm::renameWithEditor);
    connect(m_tree, &PresetTree::presetDropped, this, &TMainForm::presetTreeDrop);
    connect(m_tree, &PresetTree::focusGained, this, [this] {
        if (m_shown)
            refreshKnobTable(m_bank.selectedPreset);
    });
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (m_tree->rowAt(pos) >= 0)
            m_presetPopup->popup(m_tree->viewport()->mapToGlobal(pos));
    });

    m_pictureFrame = new QFrame(client);
    m_pictureFrame->setFrameShape(QFrame::Box);
    m_pictureFrame->setGeometry(181, 48, 374, 158);
    m_picture = new DevicePicture(*m_state, m_pictureFrame);
    m_picture->setGeometry(2, 8, 369, 147);

    m_description = new QPlainTextEdit(client);
    m_description->setGeometry(555, 54, 235, 152);
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(11);
    fixed.setBold(true);
    m_description->setFont(fixed);
    m_description->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_description->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_description->setFocusPolicy(Qt::ClickFocus); // not a tab stop
    connect(m_description, &QPlainTextEdit::textChanged, this, &TMainForm::descriptionEdited);

    m_knobTable = new KnobTable(*m_state, *m_pickers, client);
    m_knobTable->setGeometry(181, 208, 609, 326);
}

void TMainForm::buildMenus()
{
    const auto item = [this](QMenu* menu, const QString& caption, const QKeySequence& key,
                             void (TMainForm::*handler)()) {
        QAction* action = menu->addAction(caption);
        if (!key.isEmpty())
            action->setShortcut(key);
        if (handler != nullptr)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const auto dialOnly = [this](QAction* action) {
        m_dialOnly.push_back(action);
        return action;
    };
    const QKeySequence none;

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* load = file->addMenu(QStringLiteral("Load"));
    item(load, QStringLiteral("Load All Presets"), none, &TMainForm::Open1Click);
    item(load, QStringLiteral("Load Single Preset"), QKeySequence(Qt::CTRL | Qt::Key_O),
         &TMainForm::Load1Click);
    dialOnly(load->addSeparator());
    dialOnly(item(load, QStringLiteral("Load Banks 1-4"),
                  QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_O), &TMainForm::Load4Presets1Click));

    QMenu* save = file->addMenu(QStringLiteral("Save As..."));
    item(save, QStringLiteral("Save All Presets As..."), none, &TMainForm::Save1Click);
    item(save, QStringLiteral("Save Single Preset As..."), QKeySequence(Qt::CTRL | Qt::Key_S),
         &TMainForm::SaveSinglePreset1Click);
    dialOnly(save->addSeparator());
    dialOnly(item(save, QStringLiteral("Save Banks 1-4 As..."),
                  QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), &TMainForm::Save4Presets1Click));
    file->addSeparator();

    QMenu* send = file->addMenu(QStringLiteral("Send"));
    item(send, QStringLiteral("Send All Presets"), QKeySequence(Qt::CTRL | Qt::Key_F3),
         &TMainForm::SendAllPresets1Click);
    send->addSeparator();
    QMenu* single = send->addMenu(QStringLiteral("Send Single Preset"));
    dialOnly(single->menuAction());
    // Their F3 must not compete with the not-Dial item while the submenu is hidden.
    dialOnly(item(single, QStringLiteral("Send All Data"), QKeySequence(Qt::Key_F3),
                  &TMainForm::SendAllData1Click));
    dialOnly(item(single, QStringLiteral("Send Preset Data Only"), none,
                  &TMainForm::SendPresetDataOnly1Click));
    dialOnly(item(single, QStringLiteral("Send Init Values Only"), none,
                  &TMainForm::SendInitValues1Click));
    m_notDialOnly.push_back(item(send, QStringLiteral("Send Single Preset"),
                                 QKeySequence(Qt::Key_F3), &TMainForm::SendPreset1Click));
    dialOnly(send->addSeparator());
    dialOnly(item(send, QStringLiteral("Send Banks 1-4"), QKeySequence(Qt::Key_F2),
                  &TMainForm::Send4Presets1Click));
    file->addSeparator();

    QMenu* display = file->addMenu(QStringLiteral("Display"));
    connect(display->addAction(QStringLiteral("Display Knob Table (4 Presets)")),
            &QAction::triggered, this, [this] { displayKnobTable(4); });
    display->actions().last()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(display->addAction(QStringLiteral("Display Knob Table (8 Presets)")),
            &QAction::triggered, this, [this] { displayKnobTable(8); });
    display->actions().last()->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
    display->addSeparator();
    connect(display->addAction(QStringLiteral("Display All Parameters")), &QAction::triggered,
            this, [this] {
                if (m_windows.display != nullptr)
                    m_windows.display->showAllParameters(m_catalogue, m_bank);
            });
    connect(display->addAction(QStringLiteral("Display All Knob Names")), &QAction::triggered,
            this, [this] {
                if (m_windows.display != nullptr)
                    m_windows.display->showAllKnobNames(m_bank);
            });

    QMenu* print = file->addMenu(QStringLiteral("Print"));
    connect(print->addAction(QStringLiteral("Print Knob Table (4 Presets)")), &QAction::triggered,
            this, [this] { printKnobTable(4); });
    print->actions().last()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print->addAction(QStringLiteral("Print Knob Table (8 Presets)")), &QAction::triggered,
            this, [this] { printKnobTable(8); });
    print->actions().last()->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P));
    file->addSeparator();
    connect(file->addAction(QStringLiteral("Exit")), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    item(edit, QStringLiteral("&Copy Preset"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C),
         &TMainForm::copyPreset);
    m_pasteActions.push_back(item(edit, QStringLiteral("&Paste Preset"),
                                  QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_V),
                                  &TMainForm::pastePreset));
    m_pasteActions.push_back(item(edit, QStringLiteral("Paste Preset &w/Clipboard "),
                                  QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_W),
                                  &TMainForm::swapPresetWithClipboard));
    edit->addSeparator();
    m_factoryAction = edit->addAction(QStringLiteral("Select &Factory Preset"));
    m_factoryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(m_factoryAction, &QAction::triggered, this, [this] {
        if (m_factoryLoaded)
            m_pickers->factoryPresets().openFactoryPresetPicker();
    });

    QMenu* settings = menuBar()->addMenu(QStringLiteral("&Settings"));
    item(settings, QStringLiteral("Device &Settings"), QKeySequence(Qt::Key_F12),
         &TMainForm::DeviceSettings1Click);
    // Choosing the menu title itself opens the dialog as well.
    connect(settings, &QMenu::aboutToShow, this, [this, settings] {
        QTimer::singleShot(0, this, [this, settings] {
            settings->hide();
            DeviceSettings1Click();
        });
    });

    // Not in the menu bar: only its shortcuts work.
    auto* devices = new QMenu(QStringLiteral("&Devices"), this);
    devices->setObjectName(QStringLiteral("DevicesMenu"));
    const std::pair<const char*, std::pair<Qt::Key, DeviceVariant>> variants[] = {
        { "zembraC", { Qt::Key_F7, DeviceVariant::zembraControl } },
        { "zembraDial", { Qt::Key_F8, DeviceVariant::zembraDial } },
        { "zembraFader", { Qt::Key_F9, DeviceVariant::zembraFader } },
    };
    for (const auto& [caption, keyAndVariant] : variants) {
        QAction* action = devices->addAction(QString::fromLatin1(caption));
        action->setShortcut(QKeySequence(keyAndVariant.first));
        const DeviceVariant v = keyAndVariant.second;
        connect(action, &QAction::triggered, this, [this, v] { switchDeviceVariant(v); });
        addAction(action);
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("Zembra Control Help")), &QAction::triggered, this,
            &TMainForm::showHelp);
    help->actions().last()->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help->addAction(QStringLiteral("&About")), &QAction::triggered, this,
            &TMainForm::showAbout);

    setPasteEnabled(false);
    for (QAction* action : m_dialOnly) {
        action->setVisible(false);
        action->setEnabled(false);
    }
}

void TMainForm::buildPopupMenu()
{
    m_presetPopup = new QMenu(m_tree);
    m_presetPopup->setObjectName(QStringLiteral("PresetPopupMenu"));
    // Shortcuts the main menu does not already own act while the tree has the focus;
    // the others are only shown beside their items.
    const auto own = [this](QAction* action, const QKeySequence& key) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_tree->addAction(action);
        return action;
    };
    const auto shown = [](const QString& caption, const char* key) {
        return caption + QLatin1Char('\t') + QString::fromLatin1(key);
    };
    QMenu* popup = m_presetPopup;
    connect(own(popup->addAction(QStringLiteral("&Copy Preset")), QKeySequence(Qt::CTRL | Qt::Key_C)),
            &QAction::triggered, this, &TMainForm::copyPreset);
    QAction* paste = own(popup->addAction(QStringLiteral("&Paste Preset")),
                         QKeySequence(Qt::CTRL | Qt::Key_V));
    connect(paste, &QAction::triggered, this, &TMainForm::pastePreset);
    QAction* swap = own(popup->addAction(QStringLiteral("Paste Preset &w/Clipboard ")),
                        QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(swap, &QAction::triggered, this, &TMainForm::swapPresetWithClipboard);
    m_pasteActions.push_back(paste);
    m_pasteActions.push_back(swap);
    m_factoryPopupAction = popup->addAction(shown(QStringLiteral("Select Factory Preset"), "Ctrl+F"));
    connect(m_factoryPopupAction, &QAction::triggered, m_factoryAction, &QAction::trigger);
    popup->addSeparator();
    connect(popup->addAction(shown(QStringLiteral("Load Preset"), "Ctrl+O")), &QAction::triggered,
            this, &TMainForm::Load1Click);
    QAction* loadBanks = popup->addAction(shown(QStringLiteral("Load Banks 1-4"), "Ctrl+Alt+O"));
    connect(loadBanks, &QAction::triggered, this, &TMainForm::Load4Presets1Click);
    connect(popup->addAction(shown(QStringLiteral("Save Preset As..."), "Ctrl+S")),
            &QAction::triggered, this, &TMainForm::SaveSinglePreset1Click);
    QAction* saveBanks = popup->addAction(shown(QStringLiteral("Save Banks 1-4 As..."), "Ctrl+Alt+S"));
    connect(saveBanks, &QAction::triggered, this, &TMainForm::Save4Presets1Click);
    popup->addSeparator();
    connect(popup->addAction(shown(QStringLiteral("Send Preset"), "F3")), &QAction::triggered, this,
            &TMainForm::SendPreset1Click);
    QAction* sendBanks = popup->addAction(shown(QStringLiteral("Send Banks 1-4"), "F2"));
    connect(sendBanks, &QAction::triggered, this, &TMainForm::Send4Presets1Click);
    connect(popup->addAction(QStringLiteral("Get Preset")), &QAction::triggered, this,
            &TMainForm::GetPreset1Click);
    popup->addSeparator();
    QMenu* display = popup->addMenu(QStringLiteral("Display"));
    connect(display->addAction(shown(QStringLiteral("Display Knob Table (4 Presets)"), "Ctrl+D")),
            &QAction::triggered, this, [this] { displayKnobTable(4); });
    connect(display->addAction(shown(QStringLiteral("Display Knob Table (8 Presets)"), "Ctrl+Alt+D")),
            &QAction::triggered, this, [this] { displayKnobTable(8); });
    display->addSeparator();
    connect(display->addAction(QStringLiteral("Display Preset Parameters")), &QAction::triggered,
            this, [this] {
                if (m_windows.display != nullptr)
                    m_windows.display->showPresetParameters(m_catalogue, m_bank,
                                                            m_bank.selectedPreset);
            });
    connect(display->addAction(QStringLiteral("Display Knob Names")), &QAction::triggered, this,
            [this] {
                if (m_windows.display != nullptr)
                    m_windows.display->showPresetKnobNames(m_bank, m_bank.selectedPreset);
            });
    QMenu* print = popup->addMenu(QStringLiteral("Print"));
    connect(print->addAction(shown(QStringLiteral("Print Knob Table (4 Presets)"), "Ctrl+P")),
            &QAction::triggered, this, [this] { printKnobTable(4); });
    connect(print->addAction(shown(QStringLiteral("Print Knob Table (8 Presets)"), "Ctrl+Alt+P")),
            &QAction::triggered, this, [this] { printKnobTable(8); });

    for (QAction* action : { loadBanks, saveBanks, sendBanks }) {
        m_dialOnly.push_back(action);
        action->setVisible(false);
        action->setEnabled(false);
    }
    setPasteEnabled(false);
}

QAction* TMainForm::findAction(const QStringList& path) const
{
    if (path.isEmpty())
        return nullptr;
    if (path.front() == QStringLiteral("&Devices")) {
        const auto* devices = findChild<QMenu*>(QStringLiteral("DevicesMenu"));
        return devices != nullptr && path.size() > 1 ? findIn(devices->actions(), path, 1)
                                                     : nullptr;
    }
    if (path.front() == QStringLiteral("PresetPopupMenu"))
        return path.size() > 1 ? findIn(m_presetPopup->actions(), path, 1) : nullptr;
    return findIn(menuBar()->actions(), path, 0);
}

void TMainForm::setPasteEnabled(bool enabled)
{
    for (QAction* action : m_pasteActions)
        action->setEnabled(enabled);
}

bool TMainForm::pasteEnabled() const
{
    for (QAction* action : m_pasteActions) {
        if (!action->isEnabled())
            return false;
    }
    return !m_pasteActions.empty();
}

// ---------------------------------------------------------------------------
// Tree, heading, refresh

QString TMainForm::itemText(int presetIndex) const
{
    return fromModel(presetLabel(presetIndex + 1)
                     + m_bank.presets[static_cast<std::size_t>(presetIndex)].name);
}

void TMainForm::fillTree()
{
    m_tree->clear();
    for (int i = 0; i < kPresetCount; ++i) {
        auto* item = new QListWidgetItem(itemText(i), m_tree);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
}

void TMainForm::setItemText(int presetIndex)
{
    if (QListWidgetItem* item = m_tree->item(presetIndex))
        item->setText(itemText(presetIndex));
}

void TMainForm::setHeading()
{
    m_heading->setText(itemText(m_bank.selectedPreset));
}

void TMainForm::refreshKnobTable(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_state->refreshKnobTable(presetIndex);
}

void TMainForm::refreshPresetView(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    const Preset& preset = m_bank.presets[static_cast<std::size_t>(presetIndex)];
    m_refreshing = true;
    m_heading->setText(itemText(presetIndex));
    const QString description = descriptionForBox(preset.description);
    if (m_description->toPlainText() != description)
        m_description->setPlainText(description);
    setItemText(presetIndex);
    m_refreshing = false;
}

void TMainForm::redrawTree()
{
    m_tree->viewport()->update();
}

BankGroupOptions TMainForm::bankGroupOptions() const
{
    BankGroupOptions options;
    options.variant = deviceVariant();
    if (m_config != nullptr) {
        options.showBankGroups = m_config->model().showBankGroups;
        options.variable = m_config->model().bankGroupsVariable;
    }
    return options;
}

DeviceVariant TMainForm::deviceVariant() const
{
    return m_config != nullptr ? m_config->model().deviceVariant : DeviceVariant::zembraControl;
}

void TMainForm::showPresetInPicture(int knob)
{
    m_state->showKnob(knob);
}

// ---------------------------------------------------------------------------
// Selection and gestures

void TMainForm::selectPreset(int presetIndex, bool focusTree)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_tree->setCurrentRow(presetIndex);
    m_tree->scrollToItem(m_tree->item(presetIndex));
    if (focusTree)
        m_tree->setFocus(Qt::OtherFocusReason);
}

void TMainForm::onSelectionChanged(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_bank.selectedPreset = presetIndex;
    m_switches->showPresetNumber(presetIndex);
    refreshKnobTable(presetIndex);
    if (m_autoSend->isChecked() && !suppressAutoSend && m_protocol)
        m_protocol->sendPreset(presetIndex, true, true);
    suppressAutoSend = false;
    redrawTree(); // the highlight, and on a zembraDial the moving bank groups
}

void TMainForm::renameConfirmed(int presetIndex, const QString& text)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_bank.presets[static_cast<std::size_t>(presetIndex)].name = presetNameFromEdit(toModel(text));
    setItemText(presetIndex);
    setHeading();
}

void TMainForm::renameWithEditor(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    const QString current = fromModel(presetNameFromItemText(toModel(m_tree->item(presetIndex)->text())));
    QString result;
    if (editName)
        result = editName(current);
    else
        result = m_pickers->nameEdit().editNumber(current);
    if (result == QStringLiteral("escape"))
        return;
    m_bank.presets[static_cast<std::size_t>(presetIndex)].name = presetNameFromEditor(toModel(result));
    setItemText(presetIndex);
    setHeading();
}

DragOperation TMainForm::operationFor(Qt::KeyboardModifiers modifiers) const
{
    return m_state->operationFor(modifiers.testFlag(Qt::ShiftModifier),
                                 modifiers.testFlag(Qt::ControlModifier));
}

std::array<DragOperation, 3> TMainForm::dragKeyMap() const
{
    const auto& map = m_state->dragKeyMap; // Shift, Ctrl, no key
    return { map[2], map[0], map[1] };
}

void TMainForm::setDragKeyMap(const std::array<DragOperation, 3>& noKeyShiftCtrl)
{
    m_state->dragKeyMap = { noKeyShiftCtrl[1], noKeyShiftCtrl[2], noKeyShiftCtrl[0] };
}

void TMainForm::presetTreeDrop(int source, int target, DragOperation operation)
{
    const std::vector<int> selections = applyPresetDrop(m_bank, source, target, operation);
    if (!selections.empty()) {
        for (int i = std::min(source, target); i <= std::max(source, target); ++i)
            setItemText(i);
        for (int index : selections)
            selectPreset(index, false);
        refreshKnobTable(m_bank.selectedPreset);
    }
    m_state->dragOperation = DragOperation::copy;
}

void TMainForm::switchClicked(int switchNumber)
{
    selectPreset(presetAfterSwitchClick(m_bank.selectedPreset, switchNumber), true);
}

void TMainForm::applyDeviceVariant(DeviceVariant variant)
{
    if (m_protocol)
        m_protocol->setDeviceVariant(variant); // stores it and sets the caption
    setCaption(variantTitle(variant));
    m_state->variant = variant;
    if (m_config != nullptr)
        m_config->showDeviceVariant(variant);
    const bool dial = variant == DeviceVariant::zembraDial;
    for (QAction* action : m_dialOnly) {
        action->setVisible(dial);
        action->setEnabled(dial);
    }
    for (QAction* action : m_notDialOnly) {
        action->setVisible(!dial);
        action->setEnabled(!dial);
    }
    if (m_files != nullptr)
        m_files->variant = variant;
    showPresetInPicture(m_state->hoverKnob); // the new variant's picture set
}

void TMainForm::switchDeviceVariant(DeviceVariant variant)
{
    if (m_config != nullptr)
        m_config->model().deviceVariant = variant;
    applyDeviceVariant(variant);
    refreshKnobTable(m_bank.selectedPreset);
    redrawTree();
    showPresetInPicture(m_state->hoverKnob);
}

void TMainForm::copyPreset()
{
    m_bank.copyPresetToClipboard(m_bank.selectedPreset);
    setPasteEnabled(true);
}

void TMainForm::pastePreset()
{
    m_bank.pastePresetFromClipboard(m_bank.selectedPreset);
    refreshKnobTable(m_bank.selectedPreset);
}

void TMainForm::swapPresetWithClipboard()
{
    m_bank.swapPresetWithClipboard(m_bank.selectedPreset);
    refreshKnobTable(m_bank.selectedPreset);
}

void TMainForm::descriptionEdited()
{
    if (m_refreshing)
        return;
    m_bank.presets[static_cast<std::size_t>(m_bank.selectedPreset)].description
        = descriptionFromBox(m_description->toPlainText());
}

// ---------------------------------------------------------------------------
// Start and end of a run

void TMainForm::attachConfigForm(TConfigForm& config)
{
    m_config = &config;
    m_protocol = std::make_unique<DeviceProtocol>(m_bank, config.model(), config.ports(), *this);
}

void TMainForm::detachConfigForm()
{
    m_timer1->stop();
    m_timer3->stop();
    m_timer4->stop();
    m_protocol.reset();
    m_config = nullptr;
}

void TMainForm::setSecondaryWindows(SecondaryWindows windows)
{
    m_windows = std::move(windows);
}

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

    m_state->variant = deviceVariant();
    m_tree->setDragCursors(dragCursor(DragCursor::copy), dragCursor(DragCursor::swap),
                           dragCursor(DragCursor::move));
    showPresetInPicture(-1);
    for (int c = 0; c < static_cast<int>(KnobTable::kColumnWidths.size()); ++c)
        m_knobTable->setColumnWidth(c, KnobTable::kColumnWidths[static_cast<std::size_t>(c)]);

    // A save cut short by a crash is finished (or undone) before any set of
    // the folder is read, and its temporary files go.
    const SaveRecovery recovered = recoverInterruptedSaves(m_paths.autosaveDirectory);
    for (const FileResult& problem : recovered.problems)
        showWarning(QStringLiteral("Kestrow Editor"),
            QString::fromStdString(problem.file + ": " + problem.reason));

    // Without the driver library nothing can be read; the autosave dump is
    // not damaged for that and stays where it is.
    const bool canLoad = m_files != nullptr && m_dumpFilesUnavailable.isEmpty();
    if (canLoad) {
        m_files->variant = deviceVariant();
        guarded([this] { m_factoryLoaded = m_files->loadFactorySet(m_paths.factoryDirectory); });
    }
    if (m_factoryLoaded) {
        m_pickers->factoryPresets().update();
    } else {
        m_factoryAction->setEnabled(false);
        m_factoryPopupAction->setEnabled(false);
    }
    if (canLoad) {
        std::optional<EditorSettings> settings;
        guarded([&] { settings = m_files->loadAutosaveSet(m_paths.autosaveDirectory); });
        if (settings)
            applySettings(*settings);
        else
            keepUnreadableAutosave();
    }
    for (int i = 0; i < kPresetCount; ++i)
        setItemText(i);

    suppressAutoSend = true;
    const int saved = m_bank.selectedPreset;
    if (m_tree->currentRow() == saved) {
        // No change to report: show the preset all the same.
        onSelectionChanged(saved);
    }
    selectPreset(saved, true);
    m_tree->setCurrentItem(m_tree->item(saved));
    m_tree->scrollToItem(m_tree->item(saved), QAbstractItemView::PositionAtCenter);
}

void TMainForm::keepUnreadableAutosave()
{
    // The close path would replace an autosave dump that exists but cannot be
    // read; it may hold the user's only copy, so it moves aside first.
    const QString path = QString::fromStdString(m_paths.autosaveDirectory) + QStringLiteral("Config.MID");
    if (m_files->lastReadError().empty() || !QFileInfo(path).isFile())
        return;
    const QString kept = path + QStringLiteral(".damaged");
    QFile::remove(kept);
    const bool moved = QFile::rename(path, kept);
    showWarning(QStringLiteral("Kestrow Editor"),
                QStringLiteral("The autosaved presets could not be read:\n%1\n\n%2")
                    .arg(QString::fromStdString(m_files->lastReadError()),
                         moved ? QStringLiteral("The file is kept as %1. The editor starts with "
                                                "the factory presets.")
                                     .arg(kept)
                               : QStringLiteral("The file could not be moved aside and will be "
                                                "replaced when the editor closes.")));
}

EditorSettings TMainForm::currentSettings() const
{
    EditorSettings s;
    s.autoSend = m_autoSend->isChecked();
    s.selectedPreset = m_bank.selectedPreset;
    s.midiNotesRange = m_catalogue.notesRangeLow == 1;
    if (m_config != nullptr) {
        const DeviceSettingsModel& model = m_config->model();
        s.delay = model.delay;
        s.midiDevice = m_config->selectedOutputName();
        s.midiInDevice = m_config->selectedInputName();
        s.deviceType = model.deviceVariant;
        s.optionsShowBankGroups = model.showBankGroups;
        s.optionsFixed = !model.bankGroupsVariable;
    }
    return s;
}

void TMainForm::applySettings(const EditorSettings& settings)
{
    if (m_config != nullptr) {
        m_config->model().deviceVariant = settings.deviceType;
        applyDeviceVariant(settings.deviceType);
        m_config->setShowBankGroups(settings.optionsShowBankGroups);
        m_config->setBankGroupsVariable(!settings.optionsFixed);
    }
    m_autoSend->setChecked(settings.autoSend);
    if (m_config != nullptr) {
        m_config->setDelayFieldText(QString::number(settings.delay));
        m_config->selectOutputByName(settings_keys::kNoDevice);
    }
    m_catalogue.notesRangeLow = settings.midiNotesRange ? 1 : 0;
    if (m_config != nullptr) {
        m_config->selectInputByName(settings_keys::kNoDevice);
        m_config->setNotesRangeLow(m_catalogue.notesRangeLow);
        m_config->selectOutputByName(settings.midiDevice);
        m_config->selectInputByName(settings.midiInDevice);
        if (m_protocol)
            m_protocol->reopenInputAndRequestConfiguration();
    }
    m_bank.selectedPreset = std::clamp(settings.selectedPreset, 0, kPresetCount - 1);
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

bool TMainForm::FormClose()
{
    if (m_closed)
        return true;
    // A signal may close the window while a dialog runs; that dialog goes first.
    for (int i = 0; i < 8 && QApplication::activeModalWidget() != nullptr; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    hide();
    if (m_files == nullptr)
        return true;
    m_bank.presetMask.fill(1);
    m_files->variant = deviceVariant();
    for (;;) {
        SaveResult result;
        if (!m_dumpFilesUnavailable.isEmpty()) {
            // Writing only the settings would put this run's defaults over the
            // saved ones; the previous autosave files stay as they are.
            result.problems.push_back(FileResult::failure(m_paths.autosaveDirectory + "Config.MID",
                m_dumpFilesUnavailable.toStdString()
                    + "; without the MIDI driver library the presets and settings of this "
                      "run cannot be saved"));
        } else if (!ensureDirectory(m_paths.autosaveDirectory)) {
            result.problems.push_back(FileResult::failure(
                m_paths.autosaveDirectory, "the folder for the autosave files cannot be created"));
        } else {
            try {
                result = m_files->saveAutosaveSet(m_paths.autosaveDirectory, currentSettings());
            } catch (const std::exception& error) {
                result.problems.push_back(FileResult::failure(
                    m_paths.autosaveDirectory + "Config.MID", error.what()));
            }
        }
        if (result.ok())
            return true;
        if (askSaveFailure(QString::fromStdString(result.message())) != SaveFailureChoice::retry)
            return true;
    }
}

// ---------------------------------------------------------------------------
// Commands

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
    if (m_files == nullptr)
        return true;
    if (m_dumpFilesUnavailable.isEmpty())
        return false;
    showWarning(title,
        QStringLiteral("%1\n\nPreset files are read and written through the MIDI "
                       "driver library, which is not loaded.")
            .arg(m_dumpFilesUnavailable));
    return true;
}

bool TMainForm::portsMissing(const PortCheck& check)
{
    if (!check.abandon())
        return false;
    showWarning(QString::fromLatin1(kPortWarningTitle), QString::fromStdString(check.text));
    return true;
}

void TMainForm::SendButtonClick()
{
    if (m_protocol)
        m_protocol->sendPreset(m_bank.selectedPreset, true, true);
}

void TMainForm::Button1Click()
{
    if (m_protocol)
        m_protocol->sendProgramChange(m_bank.selectedPreset);
}

void TMainForm::SendPreset1Click()
{
    if (m_protocol)
        portsMissing(m_protocol->sendSelectedPreset(true, true));
}

void TMainForm::SendAllData1Click()
{
    SendPreset1Click();
}

void TMainForm::SendPresetDataOnly1Click()
{
    if (m_protocol)
        portsMissing(m_protocol->sendSelectedPreset(true, false));
}

void TMainForm::SendInitValues1Click()
{
    if (m_protocol)
        portsMissing(m_protocol->sendSelectedPreset(false, true));
}

void TMainForm::SendAllPresets1Click()
{
    if (m_protocol)
        portsMissing(m_protocol->sendAllPresets());
}

void TMainForm::Send4Presets1Click()
{
    if (m_protocol)
        portsMissing(m_protocol->sendBanks());
}

void TMainForm::GetPreset1Click()
{
    if (m_protocol)
        portsMissing(m_protocol->getPreset());
}

QString TMainForm::askSavePath(const std::string& title, const std::string& defaultName)
{
    const QString start = QString::fromStdString(dialogDirectory) + fromModel(defaultName);
    if (askFileName)
        return askFileName(fromModel(title), start, true);
    QFileDialog dialog(this, fromModel(title), start, QStringLiteral("Midi File (*.MID *.mid)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString TMainForm::askLoadPath(const std::string& title)
{
    const QString start = QString::fromStdString(dialogDirectory);
    if (askFileName)
        return askFileName(fromModel(title), start, false);
    return QFileDialog::getOpenFileName(this, fromModel(title), start,
                                        QStringLiteral("Midi Files (*.MID *.mid)"));
}

void TMainForm::reportSave(const QString& what, bool ok, const std::string& message)
{
    if (!ok)
        showWarning(what, QString::fromStdString(message));
}

void TMainForm::afterLoad()
{
    for (int i = 0; i < kPresetCount; ++i)
        setItemText(i);
    refreshKnobTable(m_bank.selectedPreset);
}

void TMainForm::loadPresetFile(const QString& command, const std::string& title,
    const std::function<LoadResult(const std::string&)>& load)
{
    if (dumpFilesMissing(command))
        return;
    const QString path = askLoadPath(title);
    if (path.isEmpty())
        return;
    LoadResult result;
    if (!guarded([&] { result = load(path.toStdString()); }))
        return;
    if (result)
        afterLoad();
    else if (!result.reason.empty())
        showWarning(command, QString::fromStdString(result.reason));
}

void TMainForm::savePresetFile(const QString& command, const std::function<void()>& mask,
    const SaveDialogText& text, const std::function<SaveResult(const std::string&)>& save)
{
    if (dumpFilesMissing(command))
        return;
    mask();
    const QString path = askSavePath(text.title, text.defaultName);
    if (path.isEmpty())
        return;
    m_files->variant = deviceVariant();
    SaveResult result;
    if (!guarded([&] { result = save(path.toStdString()); }))
        return;
    reportSave(command, result.ok(), result.message());
}

void TMainForm::Open1Click()
{
    loadPresetFile(QStringLiteral("Load All Presets"), loadAllPresetsTitle(),
        [this](const std::string& path) { return m_files->loadAllPresets(path); });
}

void TMainForm::Load1Click()
{
    const int target = m_bank.selectedPreset;
    loadPresetFile(QStringLiteral("Load Single Preset"), loadSinglePresetTitle(target),
        [this, target](
            const std::string& path) { return m_files->loadSinglePreset(path, target); });
}

void TMainForm::Load4Presets1Click()
{
    if (deviceVariant() != DeviceVariant::zembraDial)
        return;
    const int start = m_bank.selectedPreset;
    loadPresetFile(QStringLiteral("Load Banks 1-4"), loadBanksTitle(start),
        [this, start](const std::string& path) { return m_files->loadBanks(path, start); });
}

void TMainForm::Save1Click()
{
    savePresetFile(
        QStringLiteral("Save All Presets"), [this] { maskAllPresets(m_bank); },
        saveAllPresetsText(),
        [this](const std::string& path) { return m_files->saveAllPresets(path); });
}

void TMainForm::SaveSinglePreset1Click()
{
    const int preset = m_bank.selectedPreset;
    savePresetFile(
        QStringLiteral("Save Single Preset"), [this, preset] { maskSinglePreset(m_bank, preset); },
        saveSinglePresetText(m_bank, preset),
        [this, preset](
            const std::string& path) { return m_files->saveSinglePreset(path, preset); });
}

void TMainForm::Save4Presets1Click()
{
    if (deviceVariant() != DeviceVariant::zembraDial)
        return;
    const int start = m_bank.selectedPreset;
    savePresetFile(
        QStringLiteral("Save Banks 1-4"), [this, start] { maskBanks(m_bank, start); },
        saveBanksText(start),
        [this, start](const std::string& path) { return m_files->saveBanks(path, start); });
}

void TMainForm::DeviceSettings1Click()
{
    if (m_config == nullptr || m_config->isVisible())
        return;
    m_config->exec();
    redrawTree();
}

void TMainForm::displayKnobTable(int presetCount)
{
    if (m_windows.description != nullptr)
        m_windows.description->showKnobTable(m_bank, m_bank.selectedPreset, presetCount);
}

void TMainForm::printKnobTable(int presetCount)
{
    if (m_windows.description != nullptr)
        m_windows.description->printKnobTable(m_bank, m_bank.selectedPreset, presetCount);
}

void TMainForm::showHelp()
{
    if (m_windows.info != nullptr)
        m_windows.info->showInfo(QString::fromStdString(m_paths.infoDirectory) + QStringLiteral("Info.txt"));
}

void TMainForm::showAbout()
{
    if (m_windows.about != nullptr)
        m_windows.about->exec();
}

// ---------------------------------------------------------------------------
// Timers and protocol host

void TMainForm::Timer1Timer()
{
    if (m_protocol)
        m_protocol->Timer1Timer();
    else
        m_timer1->stop();
}

void TMainForm::Timer3Timer()
{
    if (m_protocol)
        m_protocol->Timer3Timer();
    else
        m_timer3->stop();
}

void TMainForm::Timer4Timer()
{
    if (m_protocol)
        m_protocol->Timer4Timer();
    else
        m_timer4->stop();
}

QTimer* TMainForm::timer(ProtocolTimer which) const
{
    switch (which) {
    case ProtocolTimer::Timer1:
        return m_timer1;
    case ProtocolTimer::Timer3:
        return m_timer3;
    case ProtocolTimer::Timer4:
        return m_timer4;
    }
    return m_timer1;
}

void TMainForm::setTimerEnabled(ProtocolTimer which, bool enabled)
{
    QTimer* t = timer(which);
    if (!enabled)
        t->stop();
    else if (!t->isActive())
        t->start();
}

void TMainForm::setTimerInterval(ProtocolTimer which, int milliseconds)
{
    timer(which)->setInterval(std::max(1, milliseconds));
}

void TMainForm::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TMainForm::deviceSettingsChanged()
{
    if (m_config != nullptr)
        m_config->syncFromModel();
}

} // namespace kestrow
