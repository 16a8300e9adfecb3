#pragma once

#include "core/catalogue.h"

#include <QPoint>
#include <QString>

#include <optional>
#include <vector>

namespace kestrow {

/// One entry of a popup menu; the text "-" is a separator.
struct PopupEntry {
    QString text;
    bool enabled = true;
};

/// What the knob table opens. The dialogs assign the chosen value themselves
/// (through the EditorState); a test host records the calls instead.
class PickerHost {
public:
    virtual ~PickerHost() = default;

    /// Shows a popup at a screen position; returns the chosen entry's index, or -1.
    virtual int popupMenu(const std::vector<PopupEntry>& entries, QPoint screenPos) = 0;
    /// Event picker; marked -1 marks no cell (the heading gesture).
    virtual void openEventPicker(int marked, bool byKeyboard) = 0;
    virtual void openControllerPicker(int value, bool byKeyboard) = 0;
    /// Value picker; marked -1 marks no cell ("select Value").
    virtual void openValuePicker(int marked, bool byKeyboard) = 0;
    virtual void openParameterPicker(ParameterList list, int value, bool byKeyboard) = 0;
    virtual void openNotePicker(int note) = 0;
    /// Number entry box: the edited text, or nullopt when cancelled.
    virtual std::optional<QString> editNumber(const QString& text) = 0;
    /// Information message box with an OK button.
    virtual void warning(const QString& title, const QString& text) = 0;
};

} // namespace kestrow
