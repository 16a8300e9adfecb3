#include "ui/config_form.h"

#include "editor/editor_session.h"
#include "protocol/device_protocol.h"
#include "ui/fit_text.h"
#include "ui/main_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

namespace kestrow {

namespace {

    QStringList toQt(const std::vector<std::string>& names)
    {
        QStringList list;
        for (const std::string& name : names)
            list << QString::fromStdString(name);
        return list;
    }

    QStringList listed(const QComboBox& box)
    {
        QStringList list;
        for (int i = 0; i < box.count(); ++i)
            list << box.itemText(i);
        return list;
    }

} // namespace

std::array<DragOperation, 3> dragKeyRow(int row)
{
    using D = DragOperation;
    switch (row) {
    case 1:
        return { D::move, D::copy, D::swap };
    case 2:
        return { D::move, D::swap, D::copy };
    case 3:
        return { D::copy, D::move, D::swap };
    case 5:
        return { D::swap, D::move, D::copy };
    case 6:
        return { D::swap, D::copy, D::move };
    case 4:
    default:
        return { D::copy, D::swap, D::move };
    }
}

TConfigForm::TConfigForm(EditorSession& session, TMainForm& mainForm, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_main(mainForm)
{
    setObjectName(QStringLiteral("ConfigForm"));
    setWindowTitle(QStringLiteral("ConfigForm"));
    setFixedSize(395, 386);

    confirmConfigure = [this] {
        return QMessageBox::warning(this, QString::fromLatin1(kConfigureWarningTitle),
                   QString::fromLatin1(kConfigureWarningText),
                   QMessageBox::Ok | QMessageBox::Cancel)
            == QMessageBox::Ok;
    };
    // The drag key defaults, whatever the hidden group shows.
    m_main.setDragKeyMap(dragKeyRow(4));
    m_main.attachConfigForm(*this);
}

TConfigForm::~TConfigForm() = default;

const TConfigForm& TConfigForm::controls() const
{
    if (!built())
        const_cast<TConfigForm*>(this)->buildControls();
    return *this;
}

void TConfigForm::setVisible(bool visible)
{
    if (visible)
        controls();
    QDialog::setVisible(visible);
}

const DeviceSettingsModel& TConfigForm::model() const { return m_session.deviceSettings(); }

void TConfigForm::buildControls()
{
    auto* midi = new QGroupBox(QStringLiteral(" Midi Setting "), this);
    midi->setGeometry(8, 4, 379, 100);
    auto* outLabel = new QLabel(QStringLiteral("PC -> ZembraControl"), midi);
    outLabel->setGeometry(10, 20, 130, 16);
    m_outputList = new QComboBox(midi);
    m_outputList->setGeometry(10, 36, 250, 22);
    auto* delayLabel = new QLabel(QStringLiteral("Delay"), midi);
    delayLabel->setGeometry(275, 20, 60, 16);
    m_delay = new QLineEdit(QString::fromStdString(model().delayText), midi);
    m_delay->setGeometry(275, 36, 60, 22);
    auto* inLabel = new QLabel(QStringLiteral("ZembraControl -> PC"), midi);
    inLabel->setGeometry(10, 58, 130, 16);
    m_inputList = new QComboBox(midi);
    m_inputList->setGeometry(10, 74, 250, 22);
    m_verifyAfterSend = new QCheckBox(QStringLiteral("Verify after send"), midi);
    m_verifyAfterSend->setGeometry(270, 74, 106, 20); // widened to its text below

    auto* notes = new QGroupBox(QStringLiteral("Midi Notes Range"), this);
    notes->setGeometry(8, 108, 190, 62);
    m_notesMinus1 = new QRadioButton(QStringLiteral("C -1    ----------    G  9"), notes);
    m_notesMinus1->setGeometry(10, 18, 175, 20);
    m_notesMinus2 = new QRadioButton(QStringLiteral("C -2    ----------    G  8"), notes);
    m_notesMinus2->setGeometry(10, 38, 175, 20);
    m_notesMinus1->setChecked(true);

    auto* device = new QGroupBox(QStringLiteral("zembra Device"), this);
    device->setGeometry(204, 108, 183, 80);
    const char* const variantCaptions[] = { "zembra &Control", "zembra &Fader", "zembra &Dial" };
    auto* variantGroup = new QButtonGroup(this);
    for (int v = 0; v < 3; ++v) {
        m_variant[static_cast<std::size_t>(v)]
            = new QRadioButton(QString::fromLatin1(variantCaptions[v]), device);
        m_variant[static_cast<std::size_t>(v)]->setGeometry(10, 18 + 20 * v, 160, 20);
        variantGroup->addButton(m_variant[static_cast<std::size_t>(v)], v);
    }
    m_variant[0]->setChecked(true);

    // In the free strip under the notes range: the Delay it finds shows above.
    m_findDelay = new QPushButton(QStringLiteral("Find Fastest Delay"), this);
    m_findDelay->setGeometry(8, 172, 190, 20);
    m_findDelay->setToolTip(QStringLiteral(
        "Sends the selected preset to the device in quick bursts and reads it back, to find "
        "the shortest Delay the device keeps up with; the preset is put back as it was."));

    auto* thru = new QGroupBox(QStringLiteral(" zembraC  Configuration"), this);
    thru->setGeometry(8, 192, 379, 120);
    m_channelThru = new QCheckBox(QStringLiteral("Channel Events Thru"), thru);
    m_channelThru->setGeometry(10, 18, 160, 20);
    m_sysexThru = new QCheckBox(QStringLiteral("Sysex Events Thru"), thru);
    m_sysexThru->setGeometry(10, 38, 160, 20);
    m_realtimeThru = new QCheckBox(QStringLiteral("Realtime Events Thru"), thru);
    m_realtimeThru->setGeometry(10, 58, 160, 20);
    for (QCheckBox* box : { m_channelThru, m_sysexThru, m_realtimeThru })
        box->setChecked(true);
    auto* channelLabel = new QLabel(QStringLiteral("Masterchannel"), thru);
    channelLabel->setGeometry(10, 88, 90, 20);
    m_masterChannel = new QSpinBox(thru);
    m_masterChannel->setGeometry(100, 86, 50, 22);
    m_masterChannel->setRange(1, 16);
    m_masterChannel->setWrapping(false);
    m_masterChannel->setValue(1);
    m_configure = new QPushButton(QStringLiteral("Configure zembraC"), thru);
    m_configure->setGeometry(190, 16, 180, 26);
    m_getConfiguration = new QPushButton(QStringLiteral("get zembraC Configuration"), thru);
    m_getConfiguration->setGeometry(190, 46, 180, 26);
    auto* versionCaption = new QLabel(QStringLiteral("zembraC Version:"), thru);
    versionCaption->setGeometry(190, 88, 110, 20);
    m_version = new QLabel(thru);
    m_version->setGeometry(300, 88, 70, 20);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    options->setGeometry(8, 316, 280, 62);
    m_showBankGroups = new QCheckBox(QStringLiteral("Show Bank &Groups"), options);
    m_showBankGroups->setGeometry(10, 18, 140, 20);
    m_showBankGroups->setChecked(true);
    m_fixed = new QRadioButton(QStringLiteral("fi&xed"), options);
    m_fixed->setGeometry(160, 18, 100, 20);
    m_variable = new QRadioButton(QStringLiteral("&variable"), options);
    m_variable->setGeometry(160, 38, 100, 20);
    m_fixed->setChecked(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setGeometry(300, 340, 87, 28);
    close->setDefault(true);
    // Why a device may be missing from the lists, one line per MIDI system.
    m_systems = new QLabel(this);
    m_systems->setObjectName(QStringLiteral("midiSystems"));
    m_systems->setGeometry(8, 382, 379, 0);
    m_systems->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_systems->setWordWrap(true);
    m_systems->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Kept for the key map, never shown.
    m_dragGroup = new QGroupBox(QStringLiteral("Drag/Drop Configuration"), this);
    m_dragGroup->setGeometry(8, 386, 379, 140);
    m_dragGroup->hide();
    const char* const dragCaptions[] = {
        "Move, Copy, Swap",
        "Move, Swap, Copy",
        "Copy, Move, Swap",
        "Copy, Swap, Move",
        "Swap, Move, Copy",
        "Swap, Copy, Move",
    };
    for (int row = 1; row <= 6; ++row) {
        auto* radio = new QRadioButton(QString::fromLatin1(dragCaptions[row - 1]), m_dragGroup);
        radio->setGeometry(10, 18 + 20 * (row - 1), 200, 20);
        m_dragRows[static_cast<std::size_t>(row - 1)] = radio;
        connect(radio, &QRadioButton::toggled, this, [this, row](bool on) {
            if (on)
                chooseDragKeyRow(row);
        });
    }

    connect(m_outputList, &QComboBox::activated, this, &TConfigForm::chooseOutputEntry);
    connect(m_inputList, &QComboBox::activated, this, &TConfigForm::chooseInputEntry);
    connect(m_delay, &QLineEdit::textChanged, this, &TConfigForm::setDelayFieldText);
    connect(m_notesMinus1, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_syncing)
            setNotesRangeLow(0);
    });
    connect(m_notesMinus2, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_syncing)
            setNotesRangeLow(1);
    });
    connect(variantGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on && !m_syncing)
            chooseDeviceVariant(static_cast<DeviceVariant>(id));
    });
    // The three boxes are the device's thru settings, taken whole.
    for (QCheckBox* box : { m_channelThru, m_sysexThru, m_realtimeThru })
        connect(box, &QCheckBox::toggled, this, [this] {
            m_session.setThruFlags(
                m_channelThru->isChecked(), m_sysexThru->isChecked(), m_realtimeThru->isChecked());
        });
    connect(m_masterChannel, &QSpinBox::textChanged, this,
        [this](const QString& text) { m_session.setMasterChannelText(text.toStdString()); });
    connect(m_configure, &QPushButton::clicked, this, &TConfigForm::configureDevice);
    connect(m_getConfiguration, &QPushButton::clicked, this, &TConfigForm::getDeviceConfiguration);
    connect(m_findDelay, &QPushButton::clicked, this, &TConfigForm::findFastestDelay);
    connect(m_showBankGroups, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_syncing)
            setShowBankGroups(on);
    });
    connect(m_fixed, &QRadioButton::toggled, this, [this](bool on) {
        if (!m_syncing)
            setBankGroupsVariable(!on);
    });
    connect(m_verifyAfterSend, &QCheckBox::toggled, this,
        [this](bool on) { m_session.setVerifyAfterSend(on); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    // Hand-placed captions grow to their text (larger desktop fonts), the
    // dialog with them.
    fitTextWidgets(*this);

    showSettings();
    if (m_syncPending)
        syncFromModel();
}

void TConfigForm::updateButtons()
{
    if (!built())
        return;
    m_configure->setEnabled(model().configureEnabled());
    m_getConfiguration->setEnabled(model().getConfigurationEnabled());
    m_findDelay->setEnabled(model().getConfigurationEnabled()); // both ports: it reads back
}

void TConfigForm::chooseOutputEntry(int entry)
{
    controls();
    if (entry < 0 || entry >= m_outputList->count())
        return;
    if (m_outputList->currentIndex() != entry) {
        const QSignalBlocker block(m_outputList);
        m_outputList->setCurrentIndex(entry);
    }
    m_session.chooseOutputEntry(entry);
    updateButtons();
}

void TConfigForm::chooseInputEntry(int entry)
{
    controls();
    if (entry < 0 || entry >= m_inputList->count())
        return;
    if (m_inputList->currentIndex() != entry) {
        const QSignalBlocker block(m_inputList);
        m_inputList->setCurrentIndex(entry);
    }
    m_session.chooseInputEntry(entry);
    updateButtons();
}

void TConfigForm::setDelayFieldText(const QString& text)
{
    controls();
    if (m_delayUpdating)
        return;
    m_delayUpdating = true;
    const DelayEntry entry = m_session.setDelayText(text.toStdString());
    const QString shown = QString::fromStdString(entry.text);
    if (m_delay->text() != shown)
        m_delay->setText(shown);
    m_delayUpdating = false;
}

void TConfigForm::setNotesRangeLow(int low)
{
    controls();
    m_session.setNotesRangeLow(low);
    {
        m_syncing = true;
        (low == 1 ? m_notesMinus2 : m_notesMinus1)->setChecked(true);
        m_syncing = false;
    }
    m_main.refreshKnobTable(m_main.bank().selectedPreset);
}

void TConfigForm::chooseDeviceVariant(DeviceVariant variant)
{
    m_session.switchVariant(variant);
    m_main.refreshKnobTable(m_main.bank().selectedPreset);
    m_main.applyDeviceVariant(variant);
    m_main.redrawTree();
}

void TConfigForm::setShowBankGroups(bool show)
{
    controls();
    m_session.setShowBankGroups(show);
    m_syncing = true;
    m_showBankGroups->setChecked(show);
    m_syncing = false;
    const bool dial = model().deviceVariant == DeviceVariant::zembraDial;
    m_fixed->setEnabled(dial && show);
    m_variable->setEnabled(dial && show);
    m_main.redrawTree();
}

void TConfigForm::setBankGroupsVariable(bool variable)
{
    controls();
    m_session.setBankGroupsVariable(variable);
    m_syncing = true;
    (variable ? m_variable : m_fixed)->setChecked(true);
    m_syncing = false;
    m_main.redrawTree();
}

void TConfigForm::configureDevice()
{
    if (!model().configureEnabled() || !confirmConfigure || !confirmConfigure())
        return;
    m_session.sendThruConfiguration();
}

void TConfigForm::getDeviceConfiguration()
{
    m_session.requestConfiguration();
    updateButtons();
}

void TConfigForm::findFastestDelay() { m_main.FindFastestDelay1Click(); }

void TConfigForm::chooseDragKeyRow(int row) { m_main.setDragKeyMap(dragKeyRow(row)); }

bool TConfigForm::selectOutputByName(const std::string& name)
{
    const bool found = m_session.selectOutputByName(name);
    showSettings();
    return found;
}

bool TConfigForm::selectInputByName(const std::string& name)
{
    const bool found = m_session.selectInputByName(name);
    showSettings();
    return found;
}

std::string TConfigForm::selectedOutputName() const { return m_session.selectedOutputName(); }

std::string TConfigForm::selectedInputName() const { return m_session.selectedInputName(); }

QRadioButton* TConfigForm::variantRadio(DeviceVariant variant) const
{
    const int v = static_cast<int>(variant);
    return v >= 0 && v < 3 ? controls().m_variant[static_cast<std::size_t>(v)] : nullptr;
}

void TConfigForm::showDeviceVariant(DeviceVariant variant)
{
    if (!built())
        return;
    m_syncing = true;
    if (QRadioButton* radio = variantRadio(variant))
        radio->setChecked(true);
    m_syncing = false;
    const bool dial = variant == DeviceVariant::zembraDial;
    m_showBankGroups->setEnabled(dial);
    m_fixed->setEnabled(dial && model().showBankGroups);
    m_variable->setEnabled(dial && model().showBankGroups);
}

void TConfigForm::syncFromModel()
{
    m_syncPending = !built();
    if (m_syncPending)
        return;
    m_syncing = true;
    {
        const QSignalBlocker b1(m_channelThru);
        const QSignalBlocker b2(m_sysexThru);
        const QSignalBlocker b3(m_realtimeThru);
        m_channelThru->setChecked(model().channelEventsThru);
        m_sysexThru->setChecked(model().sysexEventsThru);
        m_realtimeThru->setChecked(model().realtimeEventsThru);
    }
    m_masterChannel->setValue(model().masterChannel());
    m_version->setText(QString::fromStdString(model().versionText));
    if (!m_delayUpdating) { // a Delay the device work set (Find Fastest Delay)
        const QSignalBlocker blockDelay(m_delay);
        m_delay->setText(QString::fromStdString(model().delayText));
    }
    m_syncing = false;
}

void TConfigForm::showPortLists()
{
    if (!built())
        return;
    const DeviceSettingsModel& m = model();
    const QSignalBlocker blockOutput(m_outputList);
    const QSignalBlocker blockInput(m_inputList);
    QStringList outputs = toQt(m.outputList());
    QStringList inputs = toQt(m.inputList());
    // A chosen port that is not there stays chosen, and says so.
    const auto markAbsent = [](QStringList& names, bool chosen, int index, bool lost) {
        if (chosen && lost && index >= 0 && index < names.size())
            names[index] += QStringLiteral(" (not connected)");
    };
    markAbsent(outputs, m.outputChosen(), m.selectedOutput, m_session.portWatch().outputLost());
    markAbsent(inputs, m.inputChosen(), m.selectedInput, m_session.portWatch().inputLost());
    QString systems;
    for (const std::string& line : m_session.ports().systemStatus())
        systems += (systems.isEmpty() ? QString() : QStringLiteral("\n"))
            + QString::fromStdString(line);
    if (m_systems->text() != systems) {
        // As tall as its lines wrap to; the dialog grows with it.
        m_systems->setText(systems);
        m_systems->resize(m_systems->width(), m_systems->heightForWidth(m_systems->width()));
        setFixedSize(width(), m_systems->geometry().bottom() + kSystemsMargin);
    }
    if (outputs != listed(*m_outputList)) {
        m_outputList->clear();
        m_outputList->addItems(outputs);
    }
    if (inputs != listed(*m_inputList)) {
        m_inputList->clear();
        m_inputList->addItems(inputs);
    }
    m_outputList->setCurrentIndex(m.outputChosen() ? m.selectedOutput : m.outputDeviceCount());
    m_inputList->setCurrentIndex(m.inputChosen() ? m.selectedInput : m.inputDeviceCount());
    updateButtons();
}

void TConfigForm::showSettings()
{
    if (!built())
        return;
    const DeviceSettingsModel& m = model();
    showPortLists();
    m_delayUpdating = true;
    m_delay->setText(QString::fromStdString(m.delayText));
    m_delayUpdating = false;
    m_syncing = true;
    (m_session.catalogue().notesRangeLow == 1 ? m_notesMinus2 : m_notesMinus1)->setChecked(true);
    m_showBankGroups->setChecked(m.showBankGroups);
    (m.bankGroupsVariable ? m_variable : m_fixed)->setChecked(true);
    m_verifyAfterSend->setChecked(m_session.deviceSync().verifyAfterSend);
    m_syncing = false;
    showDeviceVariant(m.deviceVariant);
    updateButtons();
}

void TConfigForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    hide();
}

void TConfigForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    m_main.redrawTree();
}

} // namespace kestrow
