#pragma once

#include "ui/pickers/grid_picker.h"

namespace kestrow {

/// Factory preset picker: the names of the 128 factory presets, 4 x 32; presets
/// that do not fit the variant are grey and refused.
class TFactoryPresetsForm : public GridPicker {
    Q_OBJECT
public:
    explicit TFactoryPresetsForm(EditorState& state, QWidget* parent = nullptr);

    /// Runs the picker modally (opened from the menus; no keyboard flag).
    int openFactoryPresetPicker() { return openPicker(-1, false); }

    QString cellText(int value) const override;
    bool greyed(int value) const override;
    /// Copies factory preset 0..127 over the selected preset if it fits the variant.
    void assign(int value) override;

    void buttonPressed(QPoint gridPos, Qt::MouseButton button) override;
    void buttonReleased(QPoint gridPos, Qt::MouseButton button) override;

protected:
    QString moveCaption(int value) const override;
    QString keyCaption(int value) const override;
    bool restoresPointer() const override { return false; }
};

} // namespace kestrow
