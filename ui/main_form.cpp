#include "ui/main_form.h"

#include "core/text_codec.h"
#include "ui/config_form.h"
#include "ui/device_picture.h"
#include "ui/knob_table.h"
#include "ui/main_layout.h"
#include "ui/pickers/name_edit_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/switch_display.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace kestrow {

namespace {

    QString fromModel(const std::string& text)
    {
        return QString::fromStdString(cp1252ToUtf8(text));
    }

    std::string toModel(const QString& text) { return utf8ToCp1252(text.toStdString()); }

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

} // namespace

TMainForm::TMainForm(EditorSession& session, QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , programDirectory(session.paths().programDirectory)
    , m_session(session)
    , m_state(session.editorState())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromStdString(variantTitle(deviceVariant())));

    // 1. Controls.
    m_pickers = std::make_unique<PickerSet>(m_state, this);
    auto* client = new QWidget(this);
    m_layout = std::make_unique<MainLayout>(*client, m_state, *m_pickers);
    setCentralWidget(client);
    // Below the specified client area; the fixed-size window grows by its height.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLine"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(m_status, 1);
    layout()->setSizeConstraint(QLayout::SetFixedSize); // fixed border
    m_menus = std::make_unique<MainMenus>(
        *this, *m_layout->tree, [this](MainCommand command) { runCommand(command); });
    connectLayout();
    connectLibrarian();

    // 2.-4. The working set's tree and the table headings; nothing selected
    // on the table or the picture yet.
    fillTree();
    m_state.bank.selectedField = 0;
    m_state.bank.selectedKnob = 0;
    m_state.hoverKnob = -1;

    EditorHooks& hooks = m_state.hooks;
    hooks.refreshPresetView = [this](int presetIndex) { refreshPresetView(presetIndex); };
    hooks.selectPreset = [this](int presetIndex) { selectPreset(presetIndex, false); };
    hooks.enablePresetPaste = [this] { m_menus->setPasteEnabled(true); };
    hooks.requestInitValues = [this] { m_session.getInitValues(); };
    hooks.sendInitValues = [this] { m_session.sendInitValuesNow(); };

    createTimers();
    setUpHistory();
    createDeviceSync();
    m_session.setHost(this);

    showWarning = [this](const QString& title, const QString& text) {
        QMessageBox::information(this, title, text, QMessageBox::Ok);
    };
    askSaveFailure = [this](const QString& message) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Kestrow Editor"),
            QStringLiteral("The working set could not be saved completely:\n\n%1").arg(message));
        QPushButton* retry = box.addButton(QStringLiteral("&Retry"), QMessageBox::AcceptRole);
        QPushButton* closeAnyway
            = box.addButton(QStringLiteral("&Close Anyway"), QMessageBox::DestructiveRole);
        // Without the driver library no retry can save anything in this run.
        box.setDefaultButton(m_session.dumpFilesUnavailable().empty() ? retry : closeAnyway);
        box.exec();
        return box.clickedButton() == retry ? SaveFailureChoice::retry
                                            : SaveFailureChoice::closeAnyway;
    };
}

TMainForm::~TMainForm()
{
    m_session.setHost(nullptr);
    m_state.hooks = {};
    m_state.removeView(&m_find); // the librarian's tree marks
    m_pacingPriority.leave(); // the thread goes on after the window
    // The knob table, picture and pickers hold the editing state; they go first.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
}

void TMainForm::connectLayout()
{
    MainLayout& l = *m_layout;
    connect(l.sendButton, &QPushButton::clicked, this, &TMainForm::SendButtonClick);
    connect(l.button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
    connect(l.switches, &SwitchDisplay::switchClicked, this, &TMainForm::switchClicked);
    connect(l.autoSend, &QCheckBox::toggled, this, [this](bool on) { m_session.setAutoSend(on); });

    PresetTree* tree = l.tree;
    tree->operationForModifiers = [this](Qt::KeyboardModifiers m) {
        m_state.dragOperation = operationFor(m);
        m_state.dragOrigin = 1;
        return m_state.dragOperation;
    };
    tree->itemDelegateForPresets()->setShadeFunction([this](int row, bool drawnSelected) {
        return presetItemShade(row, bank().selectedPreset, drawnSelected, bankGroupOptions());
    });
    connect(tree, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            onSelectionChanged(row);
    });
    connect(tree, &PresetTree::renameConfirmed, this, &TMainForm::renameConfirmed);
    connect(tree, &PresetTree::enterPressed, this, &TMainForm::renameWithEditor);
    connect(tree, &PresetTree::presetDropped, this, &TMainForm::presetTreeDrop);
    connect(tree, &PresetTree::focusGained, this, [this] {
        if (m_shown)
            refreshKnobTable(bank().selectedPreset);
    });
    connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](const QPoint& pos) {
        if (tree->rowAt(pos) >= 0)
            m_menus->popup()->popup(tree->viewport()->mapToGlobal(pos));
    });
    connect(l.description, &QPlainTextEdit::textChanged, this, &TMainForm::descriptionEdited);

    // Choosing the "&Settings" menu title itself opens the dialog as well.
    QMenu* settings = m_menus->menu(QStringLiteral("&Settings"));
    connect(settings, &QMenu::aboutToShow, this, [this, settings] {
        QTimer::singleShot(0, this, [this, settings] {
            settings->hide();
            DeviceSettings1Click();
        });
    });
}

PresetTree* TMainForm::presetTree() const { return m_layout->tree; }
SwitchDisplay* TMainForm::switchDisplay() const { return m_layout->switches; }
QCheckBox* TMainForm::autoSendBox() const { return m_layout->autoSend; }
QLabel* TMainForm::headingLabel() const { return m_layout->heading; }
QPlainTextEdit* TMainForm::descriptionBox() const { return m_layout->description; }
KnobTable* TMainForm::knobTable() const { return m_layout->knobTable; }
DevicePicture* TMainForm::devicePicture() const { return m_layout->picture; }

// ---------------------------------------------------------------------------
// Tree, heading, refresh

QString TMainForm::itemText(int presetIndex) const
{
    return fromModel(presetLabel(presetIndex + 1)
        + m_session.bank().presets[static_cast<std::size_t>(presetIndex)].name);
}

void TMainForm::fillTree()
{
    PresetTree* tree = m_layout->tree;
    tree->clear();
    for (int i = 0; i < kPresetCount; ++i) {
        auto* item = new QListWidgetItem(itemText(i), tree);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
}

void TMainForm::setItemText(int presetIndex)
{
    if (QListWidgetItem* item = m_layout->tree->item(presetIndex))
        item->setText(itemText(presetIndex));
}

void TMainForm::setHeading() { m_layout->heading->setText(itemText(bank().selectedPreset)); }

void TMainForm::refreshKnobTable(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    if (presetIndex != bank().selectedPreset) {
        // A device reply for another preset: showing it in the heading, the
        // table and the description box would make the next keystroke write
        // into the selected preset what belongs to this one.
        setItemText(presetIndex);
        return;
    }
    m_state.refreshKnobTable(presetIndex);
}

void TMainForm::refreshPresetView(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    const Preset& preset = bank().presets[static_cast<std::size_t>(presetIndex)];
    m_refreshing = true;
    m_layout->heading->setText(itemText(presetIndex));
    const QString description = descriptionForBox(preset.description);
    if (m_layout->description->toPlainText() != description)
        m_layout->description->setPlainText(description);
    setItemText(presetIndex);
    m_refreshing = false;
    redrawTree(); // an edit may change which presets differ from the device
}

void TMainForm::redrawTree() { m_layout->tree->viewport()->update(); }

BankGroupOptions TMainForm::bankGroupOptions() const
{
    const DeviceSettingsModel& model = m_session.deviceSettings();
    return { model.deviceVariant, model.showBankGroups, model.bankGroupsVariable };
}

// ---------------------------------------------------------------------------
// Selection and gestures

void TMainForm::selectPreset(int presetIndex, bool focusTree)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    PresetTree* tree = m_layout->tree;
    tree->setCurrentRow(presetIndex);
    tree->scrollToItem(tree->item(presetIndex));
    if (focusTree)
        tree->setFocus(Qt::OtherFocusReason);
}

void TMainForm::onSelectionChanged(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_session.presetSelected(presetIndex); // AutoSend
    m_layout->switches->showPresetNumber(presetIndex);
    refreshKnobTable(presetIndex);
    redrawTree(); // the highlight, and on a zembraDial the moving bank groups
}

void TMainForm::renameConfirmed(int presetIndex, const QString& text)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_session.renamePreset(presetIndex, presetNameFromEdit(toModel(text)));
    setItemText(presetIndex);
    setHeading();
}

void TMainForm::renameWithEditor(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    const QString current
        = fromModel(presetNameFromItemText(toModel(m_layout->tree->item(presetIndex)->text())));
    const std::optional<QString> result
        = editName ? editName(current) : m_pickers->nameEdit().editNumber(current);
    if (!result)
        return;
    m_session.renamePreset(presetIndex, presetNameFromEditor(toModel(*result)));
    setItemText(presetIndex);
    setHeading();
}

DragOperation TMainForm::operationFor(Qt::KeyboardModifiers modifiers) const
{
    return m_state.operationFor(
        modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier));
}

std::array<DragOperation, 3> TMainForm::dragKeyMap() const
{
    const auto& map = m_state.dragKeyMap; // Shift, Ctrl, no key
    return { map[2], map[0], map[1] };
}

void TMainForm::setDragKeyMap(const std::array<DragOperation, 3>& noKeyShiftCtrl)
{
    m_state.dragKeyMap = { noKeyShiftCtrl[1], noKeyShiftCtrl[2], noKeyShiftCtrl[0] };
}

void TMainForm::presetTreeDrop(int source, int target, DragOperation operation)
{
    const std::vector<int> selections = m_session.dropPreset(source, target, operation);
    if (!selections.empty()) {
        for (int i = std::min(source, target); i <= std::max(source, target); ++i)
            setItemText(i);
        for (int index : selections)
            selectPreset(index, false);
        refreshKnobTable(bank().selectedPreset);
    }
    m_state.dragOperation = DragOperation::copy;
}

void TMainForm::switchClicked(int switchNumber)
{
    selectPreset(presetAfterSwitchClick(bank().selectedPreset, switchNumber), true);
}

void TMainForm::applyDeviceVariant(DeviceVariant variant)
{
    m_session.switchVariant(variant);
    showDeviceVariant();
}

void TMainForm::showDeviceVariant()
{
    const DeviceVariant variant = deviceVariant();
    setCaption(variantTitle(variant));
    if (m_config != nullptr)
        m_config->showDeviceVariant(variant);
    m_menus->showVariant(variant == DeviceVariant::zembraDial);
    m_state.showKnob(m_state.hoverKnob); // the new variant's picture set
}

void TMainForm::switchDeviceVariant(DeviceVariant variant)
{
    applyDeviceVariant(variant);
    refreshKnobTable(bank().selectedPreset);
    redrawTree();
    m_state.showKnob(m_state.hoverKnob);
}

void TMainForm::showSettings()
{
    showDeviceVariant();
    m_layout->autoSend->setChecked(m_session.autoSend());
    if (m_config != nullptr)
        m_config->showSettings();
}

void TMainForm::copyPreset()
{
    m_session.copyPreset();
    m_menus->setPasteEnabled(true);
}

void TMainForm::pastePreset()
{
    m_session.pastePreset();
    refreshKnobTable(bank().selectedPreset);
}

void TMainForm::swapPresetWithClipboard()
{
    m_session.swapPresetWithClipboard();
    refreshKnobTable(bank().selectedPreset);
}

void TMainForm::descriptionEdited()
{
    if (m_refreshing)
        return;
    m_session.setDescription(descriptionFromBox(m_layout->description->toPlainText()));
}

} // namespace kestrow
