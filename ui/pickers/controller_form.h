#pragma once

#include "ui/pickers/grid_picker.h"

namespace kestrow {

/// Controller picker: the 128 controller names, 4 x 32.
class TController1Form : public GridPicker {
    Q_OBJECT
public:
    explicit TController1Form(EditorState& state, QWidget* parent = nullptr);

    /// Marks value (0..127, else none) and runs the picker modally.
    int openControllerPicker(int value, bool byKeyboard) { return openPicker(value, byKeyboard); }

    QString cellText(int value) const override;
    /// assignSelectedField(value), then refreshKnobCell.
    void assign(int value) override;

protected:
    QString moveCaption(int value) const override;
};

} // namespace kestrow
