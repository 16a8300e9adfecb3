#pragma once

#include "editor_state.h"
#include "picker_host.h"

class QWidget;

namespace kestrow {

class TController1Form;
class TEventsForm;
class TValuesForm;
class TParameter1Form;
class TFactoryPresetsForm;
class TLongPianoForm;
class TNameEditForm;

/// All selector dialogs, created once and reused; the knob table opens them
/// through the PickerHost calls. The main window owns one.
class PickerSet : public PickerHost {
public:
    PickerSet(EditorState& state, QWidget* parent);
    ~PickerSet() override;

    int popupMenu(const std::vector<PopupEntry>& entries, QPoint screenPos) override;
    void openEventPicker(int marked, bool byKeyboard) override;
    void openControllerPicker(int value, bool byKeyboard) override;
    void openValuePicker(int marked, bool byKeyboard) override;
    void openParameterPicker(ParameterList list, int value, bool byKeyboard) override;
    void openNotePicker(int note) override;
    std::optional<QString> editNumber(const QString& text) override;
    void warning(const QString& title, const QString& text) override;

    TController1Form& controllers() { return *m_controllers; }
    TEventsForm& events() { return *m_events; }
    TValuesForm& values() { return *m_values; }
    TParameter1Form& parameters() { return *m_parameters; }
    TFactoryPresetsForm& factoryPresets() { return *m_factoryPresets; }
    TLongPianoForm& piano() { return *m_piano; }
    /// Also the preset tree's rename box.
    TNameEditForm& nameEdit() { return *m_nameEdit; }

private:
    QWidget* m_parent;
    TController1Form* m_controllers;
    TEventsForm* m_events;
    TValuesForm* m_values;
    TParameter1Form* m_parameters;
    TFactoryPresetsForm* m_factoryPresets;
    TLongPianoForm* m_piano;
    TNameEditForm* m_nameEdit;
};

} // namespace kestrow
