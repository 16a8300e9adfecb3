#include "pickers/picker_set.h"

#include "pickers/controller_form.h"
#include "pickers/events_form.h"
#include "pickers/factory_presets_form.h"
#include "pickers/long_piano_form.h"
#include "pickers/name_edit_form.h"
#include "pickers/parameter_form.h"
#include "pickers/values_form.h"

#include <QMenu>
#include <QMessageBox>

namespace kestrow {

// The dialogs are children of the parent window, which deletes them.
PickerSet::PickerSet(EditorState& state, QWidget* parent)
    : m_parent(parent)
    , m_controllers(new TController1Form(state, parent))
    , m_events(new TEventsForm(state, parent))
    , m_values(new TValuesForm(state, parent))
    , m_parameters(new TParameter1Form(state, parent))
    , m_factoryPresets(new TFactoryPresetsForm(state, parent))
    , m_piano(new TLongPianoForm(state, parent))
    , m_nameEdit(new TNameEditForm(parent))
{
    // Where the dialogs first appear; the window manager may still move them.
    m_controllers->move(473, 35);
    m_events->move(50, 50);
    m_values->move(505, 81);
    m_parameters->move(79, 25);
    m_factoryPresets->move(50, 50);
    m_piano->move(435, 36);
    m_nameEdit->move(275, 114);
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
    m_events->openEventPicker(marked, byKeyboard);
}

void PickerSet::openControllerPicker(int value, bool byKeyboard)
{
    m_controllers->openControllerPicker(value, byKeyboard);
}

void PickerSet::openValuePicker(int marked, bool byKeyboard)
{
    m_values->openValuePicker(marked, byKeyboard);
}

void PickerSet::openParameterPicker(ParameterList list, int value, bool byKeyboard)
{
    m_parameters->openParameterPicker(list, value, byKeyboard);
}

void PickerSet::openNotePicker(int note) { m_piano->openNotePicker(note); }

std::optional<QString> PickerSet::editNumber(const QString& text)
{
    return m_nameEdit->editNumber(text);
}

void PickerSet::warning(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

} // namespace kestrow
