#include "ui/pickers/picker_set.h"

#include "ui/pickers/controller_form.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/long_piano_form.h"
#include "ui/pickers/name_edit_form.h"
#include "ui/pickers/parameter_form.h"
#include "ui/pickers/values_form.h"
#include "ui/window_placement.h"

#include <QMenu>
#include <QMessageBox>

namespace kestrow {

PickerSet::PickerSet(EditorState& state, QWidget* parent)
    : m_state(state)
    , m_parent(parent)
{
}

// The dialogs are children of the parent window, which deletes them. Where
// they first appear; the window manager may still move them.
template <typename T, typename Make>
T& PickerSet::onFirstUse(T*& slot, const char* objectName, QPoint position, Make make)
{
    if (!slot) {
        slot = make();
        slot->setObjectName(QString::fromLatin1(objectName));
        if (canPlaceWindows())
            slot->move(position);
        m_created.push_back(slot);
    }
    return *slot;
}

TController1Form& PickerSet::controllers()
{
    return onFirstUse(m_controllers, "Controller1Form", { 473, 35 },
        [this] { return new TController1Form(m_state, m_parent); });
}

TEventsForm& PickerSet::events()
{
    return onFirstUse(
        m_events, "EventsForm", { 50, 50 }, [this] { return new TEventsForm(m_state, m_parent); });
}

TValuesForm& PickerSet::values()
{
    return onFirstUse(
        m_values, "ValuesForm", { 505, 81 }, [this] { return new TValuesForm(m_state, m_parent); });
}

TParameter1Form& PickerSet::parameters()
{
    return onFirstUse(m_parameters, "Parameter1Form", { 79, 25 },
        [this] { return new TParameter1Form(m_state, m_parent); });
}

TFactoryPresetsForm& PickerSet::factoryPresets()
{
    return onFirstUse(m_factoryPresets, "FactoryPresetsForm", { 50, 50 },
        [this] { return new TFactoryPresetsForm(m_state, m_parent); });
}

TLongPianoForm& PickerSet::piano()
{
    return onFirstUse(m_piano, "LongPianoForm", { 435, 36 },
        [this] { return new TLongPianoForm(m_state, m_parent); });
}

TNameEditForm& PickerSet::nameEdit()
{
    return onFirstUse(
        m_nameEdit, "NameEditForm", { 275, 114 }, [this] { return new TNameEditForm(m_parent); });
}

void PickerSet::refreshFactoryPresets()
{
    if (m_factoryPresets)
        m_factoryPresets->update();
}

PickerSet::~PickerSet() = default;

int PickerSet::popupMenu(const std::vector<PopupEntry>& entries, QPoint screenPos)
{
    QMenu menu(m_parent);
    std::vector<QAction*> actions;
    for (const PopupEntry& entry : entries) {
        if (entry.text == QLatin1String("-")) {
            actions.push_back(menu.addSeparator());
            continue;
        }
        QAction* action = menu.addAction(entry.text);
        action->setEnabled(entry.enabled);
        actions.push_back(action);
    }
    QAction* chosen = menu.exec(screenPos);
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (chosen && actions[i] == chosen)
            return static_cast<int>(i);
    }
    return -1;
}

void PickerSet::openEventPicker(int marked, bool byKeyboard)
{
    events().openEventPicker(marked, byKeyboard);
}

void PickerSet::openControllerPicker(int value, bool byKeyboard)
{
    controllers().openControllerPicker(value, byKeyboard);
}

void PickerSet::openValuePicker(int marked, bool byKeyboard)
{
    values().openValuePicker(marked, byKeyboard);
}

void PickerSet::openParameterPicker(ParameterList list, int value, bool byKeyboard)
{
    parameters().openParameterPicker(list, value, byKeyboard);
}

void PickerSet::openNotePicker(int note) { piano().openNotePicker(note); }

std::optional<QString> PickerSet::editNumber(const QString& text)
{
    return nameEdit().editNumber(text);
}

void PickerSet::warning(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

} // namespace kestrow
