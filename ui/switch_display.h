#pragma once

#include "core/bank_operations.h" // presetAfterSwitchClick, what a click does

#include <QPixmap>
#include <QWidget>

namespace kestrow {

/// Seven switches showing the bits of the selected preset index (switch 1 =
/// value 1 ... switch 7 = value 64) and an eighth without a bit.
class SwitchDisplay : public QWidget {
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

signals:
    /// Switch 1..7 was clicked.
    void switchClicked(int switchNumber);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_value = 0;
    QPixmap m_up;
    QPixmap m_down;
};

} // namespace kestrow
