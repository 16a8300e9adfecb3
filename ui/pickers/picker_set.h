#pragma once

#include "core/editor_state.h"
#include "ui/picker_host.h"

#include <QPoint>

#include <vector>

class QWidget;

namespace kestrow {

class TController1Form;
class TEventsForm;
class TValuesForm;
class TParameter1Form;
class TFactoryPresetsForm;
class TLongPianoForm;
class TNameEditForm;

/// All selector dialogs, each created when first asked for and reused after;
/// the knob table opens them through the PickerHost calls. The main window
/// owns one. Made on demand because none is seen at start, and together they
/// cost a good part of the main window's start-up.
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

    TController1Form& controllers();
    TEventsForm& events();
    TValuesForm& values();
    TParameter1Form& parameters();
    TFactoryPresetsForm& factoryPresets();
    TLongPianoForm& piano();
    /// Also the preset tree's rename box.
    TNameEditForm& nameEdit();

    /// Redraws the factory preset picker if it exists (it reads the names when drawn).
    void refreshFactoryPresets();
    /// The dialogs created so far, in creation order.
    std::vector<QWidget*> created() const { return m_created; }

private:
    /// Creates the dialog with its object name and first position on first use.
    template <typename T, typename Make>
    T& onFirstUse(T*& slot, const char* objectName, QPoint position, Make make);

    EditorState& m_state;
    QWidget* m_parent;
    TController1Form* m_controllers = nullptr;
    TEventsForm* m_events = nullptr;
    TValuesForm* m_values = nullptr;
    TParameter1Form* m_parameters = nullptr;
    TFactoryPresetsForm* m_factoryPresets = nullptr;
    TLongPianoForm* m_piano = nullptr;
    TNameEditForm* m_nameEdit = nullptr;
    std::vector<QWidget*> m_created;
};

} // namespace kestrow
