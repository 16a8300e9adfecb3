#pragma once

#include "core/bank_operations.h" // presetAfterSwitchClick, what a click does
#include "ui/accessible_parts.h"

#include <QWidget>

namespace kestrow {

/// Seven switches showing the bits of the selected preset index (switch 1 =
/// value 1 ... switch 7 = value 64) and an eighth without a bit. Assistive
/// technology sees the seven as check boxes; with the focus, the keys 1..7
/// toggle them.
class SwitchDisplay : public QWidget, public AccessibleParts {
    Q_OBJECT
public:
    static constexpr int kSwitchCount = 8;

    explicit SwitchDisplay(QWidget* parent = nullptr);

    /// Shows preset index 0..127 on the switches.
    void showPresetNumber(int presetIndex);
    int presetNumber() const { return m_value; }
    /// Whether switch 1..8 shows its "down" picture.
    bool switchDown(int switchNumber) const;
    /// Switch 1..8 under a point in widget coordinates, 0 where none.
    int switchAt(QPoint pos) const;

    int accessiblePartCount() const override { return 7; }
    QString accessiblePartName(int part) const override;
    QString accessiblePartValue(int part) const override;
    QRect accessiblePartRect(int part) const override;
    QAccessible::Role accessiblePartRole() const override { return QAccessible::CheckBox; }
    bool accessiblePartCheckable() const override { return true; }
    bool accessiblePartChecked(int part) const override { return switchDown(part + 1); }
    void pressAccessiblePart(int part) override { emit switchClicked(part + 1); }

signals:
    /// Switch 1..7 was clicked.
    void switchClicked(int switchNumber);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_value = 0;
};

} // namespace kestrow
