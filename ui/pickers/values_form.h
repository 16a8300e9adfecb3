#pragma once

#include "ui/pickers/grid_picker.h"

namespace kestrow {

/// Value picker: the numbers 0..127 in 16 columns x 8 rows.
class TValuesForm : public GridPicker {
    Q_OBJECT
public:
    explicit TValuesForm(EditorState& state, QWidget* parent = nullptr);

    /// Marks the value (-1: none) and runs the picker modally.
    int openValuePicker(int marked, bool byKeyboard) { return openPicker(marked, byKeyboard); }

    QString cellText(int value) const override;
    /// assignSelectedField: all 16 knobs after a heading gesture (the "Init Val"
    /// heading's "select Value"), else the selected knob.
    void assign(int value) override;

protected:
    QString moveCaption(int value) const override;
    QString keyCaption(int value) const override;
};

} // namespace kestrow
