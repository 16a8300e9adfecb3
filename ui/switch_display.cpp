#include "ui/switch_display.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestrow {

namespace {

    constexpr int kSwitchWidth = 12;
    constexpr int kSwitchHeight = 25;

    /// One DIP switch: a dark slot with a light lever at the top (up) or bottom (down).
    QPixmap drawSwitch(bool down)
    {
        QPixmap pixmap(kSwitchWidth, kSwitchHeight);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.setBrush(QColor(0x40, 0x40, 0x48));
        p.drawRoundedRect(QRectF(1.5, 1.5, kSwitchWidth - 3, kSwitchHeight - 3), 2, 2);
        const QRectF lever(
            3, down ? kSwitchHeight / 2.0 : 3.0, kSwitchWidth - 6, kSwitchHeight / 2.0 - 3);
        p.setPen(Qt::NoPen);
        p.setBrush(down ? QColor(0xF0, 0xC0, 0x30) : QColor(0xE8, 0xE8, 0xE8));
        p.drawRect(lever);
        return pixmap;
    }

} // namespace

SwitchDisplay::SwitchDisplay(QWidget* parent)
    : QWidget(parent)
    , m_up(drawSwitch(false))
    , m_down(drawSwitch(true))
{
    setFixedSize(102, 25);
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

void SwitchDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x70, 0x20, 0x20));
    const int cell = width() / kSwitchCount;
    for (int k = 1; k <= kSwitchCount; ++k) {
        const int x = (k - 1) * cell + (cell - kSwitchWidth) / 2 + 1;
        p.drawPixmap(x, 0, switchDown(k) ? m_down : m_up);
    }
}

void SwitchDisplay::mousePressEvent(QMouseEvent* event)
{
    const int number = switchAt(event->position().toPoint());
    if (number >= 1 && number <= 7)
        emit switchClicked(number);
}

} // namespace kestrow
