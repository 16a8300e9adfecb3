#pragma once

#include "ui/pickers/grid_picker.h"

namespace kestrow {

/// Event picker: the 128 event type names, 4 x 32; codes the variant does not
/// offer are grey and refused.
class TEventsForm : public GridPicker {
    Q_OBJECT
public:
    explicit TEventsForm(EditorState& state, QWidget* parent = nullptr);

    /// Marks the code (-1: none, the heading gesture) and runs the picker modally.
    int openEventPicker(int marked, bool byKeyboard) { return openPicker(marked, byKeyboard); }

    QString cellText(int value) const override;
    bool greyed(int value) const override;
    /// Refused unless the variant offers the code; else to all 16 knobs (heading)
    /// or the selected knob, whose channel, event and fixed-parameter cells are rewritten.
    void assign(int value) override;

protected:
    QString moveCaption(int value) const override;
    QString releaseCaption(int value) const override;
    QString keyCaption(int value) const override { return releaseCaption(value); }
    int textInset() const override { return 4; }
    void done(int result) override;
};

} // namespace kestrow
