#pragma once

#include <QAccessible>
#include <QRect>
#include <QString>

namespace kestrow {

/// A hand-painted control made of parts (the picture's knobs, the preset
/// switches, the piano's keys) that assistive technology should see one by
/// one, each with its name, role and value. The control's widget inherits
/// this beside QWidget; installAccessibleParts() makes Qt (AT-SPI on Linux)
/// ask it.
class AccessibleParts {
public:
    virtual ~AccessibleParts() = default;

    virtual int accessiblePartCount() const = 0;
    /// Part 0..count-1.
    virtual QString accessiblePartName(int part) const = 0;
    /// What the part stands for now, e.g. what a knob sends; may be empty.
    virtual QString accessiblePartValue(int) const { return {}; }
    /// In the widget's coordinates.
    virtual QRect accessiblePartRect(int part) const = 0;
    virtual QAccessible::Role accessiblePartRole() const = 0;
    /// Parts with an on and off state (switches): whether it is on.
    virtual bool accessiblePartCheckable() const { return false; }
    virtual bool accessiblePartChecked(int) const { return false; }
    /// What a click on the part does.
    virtual void pressAccessiblePart(int part) = 0;
};

/// Registers the interface factory once; every widget that is AccessibleParts
/// is then seen part by part.
void installAccessibleParts();

/// Text of the part's accessible field, as assistive technology reads it;
/// empty for anything else. For tests and diagnostics.
QString accessiblePartText(QObject* widget, int part, QAccessible::Text field);

} // namespace kestrow
