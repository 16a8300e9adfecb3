#pragma once

#include "link/midi_event.h"
#include "protocol/device_settings_model.h"
#include "ui/preset_tree.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kestrow {

class DeviceProtocol;
class EditorSession;
class TMainForm;

/// Drag key map rows of the hidden "Drag/Drop Configuration" group, each
/// giving the operation for no key, Shift and Ctrl.
std::array<DragOperation, 3> dragKeyRow(int row);

/// Device settings: MIDI ports, delay, notes range, device variant, tree
/// options and the device's thru configuration. A view over the session's
/// device settings and protocol; lives for the whole run and only hides when
/// closed. Its controls are built when first needed (shown, asked for, or a
/// gesture), as nothing shows them before: until then the show and sync calls
/// have nothing to update, and the controls show the session when built.
class TConfigForm : public QDialog {
    Q_OBJECT
public:
    /// Builds the port lists from the session's ports and writes the drag key
    /// defaults into the main window.
    TConfigForm(EditorSession& session, TMainForm& mainForm, QWidget* parent = nullptr);
    ~TConfigForm() override;

    const DeviceSettingsModel& model() const;

    /// Asked before "Configure zembraC" sends; true = OK. Defaults to the warning box.
    std::function<bool()> confirmConfigure;

    // Gestures as plain calls (the controls call these too).
    void chooseOutputEntry(int entry);
    void chooseInputEntry(int entry);
    void setDelayFieldText(const QString& text);
    void setNotesRangeLow(int low);
    void chooseDeviceVariant(DeviceVariant variant);
    void setShowBankGroups(bool show);
    void setBankGroupsVariable(bool variable);
    void configureDevice();
    void getDeviceConfiguration();
    /// "Find Fastest Delay": as the Device menu's command.
    void findFastestDelay();
    void chooseDragKeyRow(int row);

    /// Selects the list entry of a port named exactly `name`; false (and
    /// "no device") when there is none. Output: also opens it.
    bool selectOutputByName(const std::string& name);
    bool selectInputByName(const std::string& name);
    /// Name of the selected list entry ("no device" for none).
    std::string selectedOutputName() const;
    std::string selectedInputName() const;

    /// Variant radio and bank-group controls follow the variant (device variant switch).
    void showDeviceVariant(DeviceVariant variant);
    /// Rereads thru flags, master channel and version from the model.
    void syncFromModel();
    /// The port lists show the session's lists and its chosen ports.
    void showPortLists();
    /// Every control shows the session's settings (after the settings loader).
    void showSettings();

    // Controls, for the main window's settings and for tests (built on the first call).
    QComboBox* outputList() const { return controls().m_outputList; }
    QComboBox* inputList() const { return controls().m_inputList; }
    QLineEdit* delayField() const { return controls().m_delay; }
    QRadioButton* notesMinus1() const { return controls().m_notesMinus1; }
    QRadioButton* notesMinus2() const { return controls().m_notesMinus2; }
    QCheckBox* channelThru() const { return controls().m_channelThru; }
    QCheckBox* sysexThru() const { return controls().m_sysexThru; }
    QCheckBox* realtimeThru() const { return controls().m_realtimeThru; }
    QSpinBox* masterChannel() const { return controls().m_masterChannel; }
    QPushButton* configureButton() const { return controls().m_configure; }
    QPushButton* getConfigurationButton() const { return controls().m_getConfiguration; }
    QLabel* versionLabel() const { return controls().m_version; }
    /// One line per MIDI system: its state, and why a device may be missing.
    QLabel* systemsLabel() const { return controls().m_systems; }
    QRadioButton* variantRadio(DeviceVariant variant) const;
    QCheckBox* showBankGroups() const { return controls().m_showBankGroups; }
    QRadioButton* fixedRadio() const { return controls().m_fixed; }
    QRadioButton* variableRadio() const { return controls().m_variable; }
    QGroupBox* dragDropGroup() const { return controls().m_dragGroup; }
    /// "Verify after send": each paced send is read back and compared.
    QCheckBox* verifyAfterSend() const { return controls().m_verifyAfterSend; }

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// This form with its controls built.
    const TConfigForm& controls() const;
    bool built() const { return m_outputList != nullptr; }
    void buildControls();
    void updateButtons();

    EditorSession& m_session;
    TMainForm& m_main;
    bool m_delayUpdating = false;
    bool m_syncing = false;
    bool m_syncPending = false; ///< syncFromModel came before the controls

    QComboBox* m_outputList = nullptr;
    QComboBox* m_inputList = nullptr;
    QLineEdit* m_delay = nullptr;
    QRadioButton* m_notesMinus1 = nullptr;
    QRadioButton* m_notesMinus2 = nullptr;
    QCheckBox* m_channelThru = nullptr;
    QCheckBox* m_sysexThru = nullptr;
    QCheckBox* m_realtimeThru = nullptr;
    QSpinBox* m_masterChannel = nullptr;
    QPushButton* m_configure = nullptr;
    QPushButton* m_getConfiguration = nullptr;
    QPushButton* m_findDelay = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_systems = nullptr;
    static constexpr int kSystemsMargin = 8;
    std::array<QRadioButton*, 3> m_variant {};
    QCheckBox* m_showBankGroups = nullptr;
    QRadioButton* m_fixed = nullptr;
    QRadioButton* m_variable = nullptr;
    QGroupBox* m_dragGroup = nullptr;
    QCheckBox* m_verifyAfterSend = nullptr;
    std::array<QRadioButton*, 6> m_dragRows {};
};

} // namespace kestrow
