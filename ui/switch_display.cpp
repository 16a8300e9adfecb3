#include "ui/switch_display.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kestrow {

namespace {

    constexpr int kSwitchWidth = 12;
    constexpr int kSwitchHeight = 25;

    /// One DIP switch at x: a dark slot with a light lever at the top (up) or
    /// bottom (down). Drawn as shapes, so it is sharp at any pixel ratio.
    void drawSwitch(QPainter& p, qreal x, bool down)
    {
        p.save();
        p.translate(x, 0);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.setBrush(QColor(0x40, 0x40, 0x48));
        p.drawRoundedRect(QRectF(1.5, 1.5, kSwitchWidth - 3, kSwitchHeight - 3), 2, 2);
        const QRectF lever(
            3, down ? kSwitchHeight / 2.0 : 3.0, kSwitchWidth - 6, kSwitchHeight / 2.0 - 3);
        p.setPen(Qt::NoPen);
        p.setBrush(down ? QColor(0xF0, 0xC0, 0x30) : QColor(0xE8, 0xE8, 0xE8));
        p.drawRect(lever);
        p.restore();
    }

} // namespace

SwitchDisplay::SwitchDisplay(QWidget* parent)
    : QWidget(parent)
{
    installAccessibleParts(); // before anything makes Qt look at this widget
    setFixedSize(102, 25);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Preset number switches"));
    setToolTip(QStringLiteral("The selected preset's number as the device's switches show "
                              "it; click a switch to change it"));
}

void SwitchDisplay::showPresetNumber(int presetIndex)
{
    if (presetIndex == m_value)
        return;
    m_value = presetIndex;
    update();
}

bool SwitchDisplay::switchDown(int switchNumber) const
{
    if (switchNumber < 1 || switchNumber > 7)
        return false;
    return (m_value & (1 << (switchNumber - 1))) != 0;
}

int SwitchDisplay::switchAt(QPoint pos) const
{
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= width() || pos.y() >= height())
        return 0;
    const int number = pos.x() * kSwitchCount / width() + 1;
    return number <= kSwitchCount ? number : 0;
}

QString SwitchDisplay::accessiblePartName(int part) const
{
    return QStringLiteral("Switch %1 (adds %2)").arg(part + 1).arg(1 << part);
}

QString SwitchDisplay::accessiblePartValue(int part) const
{
    return switchDown(part + 1) ? QStringLiteral("down") : QStringLiteral("up");
}

QRect SwitchDisplay::accessiblePartRect(int part) const
{
    const int cell = width() / kSwitchCount;
    return QRect(part * cell, 0, cell, height());
}

void SwitchDisplay::keyPressEvent(QKeyEvent* event)
{
    const int number = event->key() - Qt::Key_0;
    if (number >= 1 && number <= 7)
        emit switchClicked(number);
    else
        QWidget::keyPressEvent(event);
}

void SwitchDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x70, 0x20, 0x20));
    if (hasFocus()) {
        p.setPen(QPen(QColor(0xF0, 0xF0, 0xF0), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const int cell = width() / kSwitchCount;
    for (int k = 1; k <= kSwitchCount; ++k) {
        const int x = (k - 1) * cell + (cell - kSwitchWidth) / 2 + 1;
        drawSwitch(p, x, switchDown(k));
    }
}

void SwitchDisplay::mousePressEvent(QMouseEvent* event)
{
    const int number = switchAt(event->position().toPoint());
    if (number >= 1 && number <= 7)
        emit switchClicked(number);
}

} // namespace kestrow
