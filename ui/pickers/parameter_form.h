#pragma once

#include "ui/pickers/grid_picker.h"

namespace kestrow {

/// Parameter picker: one of the parameter lists, chosen by the knob's event type.
class TParameter1Form : public GridPicker {
    Q_OBJECT
public:
    explicit TParameter1Form(EditorState& state, QWidget* parent = nullptr);

    /// Fills the grid from the list (rebuilt at every opening), marks the value, runs modally.
    int openParameterPicker(ParameterList list, int value, bool byKeyboard);
    /// Fills the grid without opening it.
    void setList(ParameterList list);
    ParameterList list() const { return m_list; }

    QString cellText(int value) const override;
    /// assignSelectedField(value), then refreshKnobCell.
    void assign(int value) override;

protected:
    QString moveCaption(int value) const override;

private:
    ParameterList m_list = ParameterList::xgDrum;
    QStringList m_texts;
};

} // namespace kestrow
