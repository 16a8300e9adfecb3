#include "ui/picture_forms.h"

#include "ui/plain_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace kestrow {

namespace {

    const QColor kCapRed(214, 28, 28);
    /// Around a lit knob's hit area, the part of the plain picture drawn again.
    constexpr int kRedrawMargin = 4;
    /// How far any knob's drawing reaches beyond its hit area (skirt dots, labels).
    constexpr int kKnobReach = 12;
    /// Rows of a cap drawn at a time.
    constexpr int kCapBand = 8;

    QFont pixelFont(int pixels, bool bold = false, bool italic = false)
    {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(pixels);
        font.setBold(bold);
        font.setItalic(italic);
        return font;
    }

    QRect toRect(const KnobArea& area)
    {
        return QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom));
    }

    /// A small push button with its caption inside.
    void drawButton(
        QPainter& painter, const QRect& rect, const QString& caption, const QColor& face)
    {
        painter.setPen(QPen(QColor(20, 20, 20), 1));
        painter.setBrush(face);
        painter.drawRoundedRect(rect, 3, 3);
        painter.setPen(QColor(235, 235, 235));
        painter.setFont(pixelFont(8, true));
        painter.drawText(rect, Qt::AlignCenter, caption);
    }

    void drawTitle(QPainter& painter, const QRect& band, const QString& title)
    {
        painter.fillRect(band, QColor(22, 24, 28));
        painter.setPen(QColor(240, 240, 240));
        painter.setFont(pixelFont(17, true, true));
        painter.drawText(band.adjusted(0, 0, -10, 0), Qt::AlignRight | Qt::AlignVCenter, title);
    }

    void drawCase(QPainter& painter, const QColor& body)
    {
        painter.fillRect(0, 0, kPictureWidth, kPictureHeight, body);
        painter.setPen(QPen(QColor(15, 15, 15), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, kPictureWidth - 1, kPictureHeight - 1);
    }

    /// A round cap with a light from the upper left; red when highlighted.
    void drawCap(QPainter& painter, QPointF centre, double radius, bool highlighted)
    {
        const QColor base = highlighted ? kCapRed : QColor(70, 72, 78);
        QRadialGradient gradient(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
        gradient.setColorAt(0, base.lighter(170));
        gradient.setColorAt(1, base.darker(130));
        painter.setPen(QPen(QColor(10, 10, 10), 1));
        painter.setBrush(gradient);
        // Drawn in bands of a few rows: the raster engine hands a large
        // gradient fill to its thread pool, which costs more than the fill.
        // Clipping changes no pixel.
        const int top = static_cast<int>(std::floor(centre.y() - radius)) - 1;
        const int bottom = static_cast<int>(std::ceil(centre.y() + radius)) + 1;
        const int left = static_cast<int>(std::floor(centre.x() - radius)) - 1;
        const int width = static_cast<int>(std::ceil(2 * radius)) + 3;
        for (int y = top; y <= bottom; y += kCapBand) {
            painter.save();
            painter.setClipRect(QRect(left, y, width, kCapBand), Qt::IntersectClip);
            painter.drawEllipse(centre, radius, radius);
            painter.restore();
        }
    }

} // namespace

KnobPictureSet::KnobPictureSet(DeviceVariant variant)
    : m_variant(variant)
{
}

const QPixmap& KnobPictureSet::picture(int slot) const
{
    if (slot < 0 || slot >= kPlainSlot)
        slot = kPlainSlot;
    QPixmap& cached = m_pictures[static_cast<std::size_t>(slot)];
    if (!cached.isNull())
        return cached;
    if (slot == kPlainSlot) {
        // Drawn when the editor was built, for a pixel ratio of 1; drawn here
        // for any other ratio, or if that fails.
        if (m_ratio == 1.0)
            cached = builtPlainPicture(m_variant);
        if (cached.isNull())
            cached = render(kPlainSlot);
        return cached;
    }
    // The plain picture with the knob's surroundings drawn again, lit: the
    // same pixels as a whole drawing at a fraction of its cost.
    QPixmap lit = picture(kPlainSlot).copy();
    const KnobArea area = knobArea(m_variant, slot + 1);
    const QRect around = toRect(area)
                             .adjusted(-kRedrawMargin, -kRedrawMargin, kRedrawMargin, kRedrawMargin)
                             .intersected(QRect(0, 0, kPictureWidth, kPictureHeight));
    QPainter painter(&lit);
    paint(painter, slot + 1, around);
    painter.end();
    cached = lit;
    return cached;
}

QPixmap KnobPictureSet::render(int slot) const
{
    // Logical coordinates throughout: the painter scales to the device pixels.
    QPixmap pixmap(QSize(kPictureWidth, kPictureHeight) * m_ratio);
    pixmap.setDevicePixelRatio(m_ratio);
    QPainter painter(&pixmap);
    paint(painter, slot + 1, QRect(0, 0, kPictureWidth, kPictureHeight));
    painter.end();
    return pixmap;
}

void KnobPictureSet::setPixelRatio(qreal ratio) const
{
    if (ratio <= 0 || ratio == m_ratio)
        return;
    m_ratio = ratio;
    m_pictures.fill(QPixmap());
}

int KnobPictureSet::drawnPictures() const
{
    return static_cast<int>(std::count_if(
        m_pictures.begin(), m_pictures.end(), [](const QPixmap& p) { return !p.isNull(); }));
}

void KnobPictureSet::paint(QPainter& painter, int litKnob, const QRect& clip) const
{
    painter.setClipRect(clip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawBody(painter);
    for (int knob = 1; knob <= kKnobCount; ++knob) {
        const QRect area = toRect(knobArea(m_variant, knob));
        // No knob draws further than this beyond its hit area.
        if (!clip.intersects(area.adjusted(-kKnobReach, -kKnobReach, kKnobReach, kKnobReach)))
            continue;
        painter.save();
        drawKnob(painter, knob, area, knob == litKnob);
        painter.restore();
    }
}

TPictureForm::TPictureForm()
    : KnobPictureSet(DeviceVariant::zembraControl)
{
}

void TPictureForm::drawBody(QPainter& painter) const
{
    drawCase(painter, QColor(60, 66, 76));
    drawTitle(painter, QRect(1, 1, kPictureWidth - 2, 28), QStringLiteral("zembraControl"));
    drawButton(painter, QRect(8, 7, 40, 15), QStringLiteral("SNAP"), QColor(150, 40, 40));
    // A rule between the two knob rows.
    painter.setPen(QPen(QColor(40, 44, 50), 1));
    painter.drawLine(8, 85, 363, 85);
}

void TPictureForm::drawKnob(QPainter& painter, int knob, const QRect& area, bool highlighted) const
{
    const QPointF centre(area.center().x() + 0.5, area.top() + 15.5);
    // The skirt with its scale dots.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 200, 205));
    for (int i = 0; i < 11; ++i) {
        const double angle = (225.0 - i * 27.0) * M_PI / 180.0;
        painter.drawEllipse(
            centre + QPointF(std::cos(angle) * 16.5, -std::sin(angle) * 16.5), 0.9, 0.9);
    }
    drawCap(painter, centre, 13, highlighted);
    // Each knob points somewhere else, as on a device in use.
    const double angle = (225.0 - ((knob * 53) % 270)) * M_PI / 180.0;
    painter.setPen(QPen(QColor(250, 250, 250), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + QPointF(std::cos(angle) * 4, -std::sin(angle) * 4),
        centre + QPointF(std::cos(angle) * 11, -std::sin(angle) * 11));
    painter.setFont(pixelFont(10, true));
    painter.setPen(highlighted ? QColor(255, 120, 120) : QColor(230, 230, 230));
    const QRect label(area.left(), area.top() + 31, area.width(), area.bottom() - area.top() - 30);
    painter.drawText(label, Qt::AlignHCenter | Qt::AlignBottom, QString::number(knob));
}

TzembraFaderPictureForm::TzembraFaderPictureForm()
    : KnobPictureSet(DeviceVariant::zembraFader)
{
}

void TzembraFaderPictureForm::drawBody(QPainter& painter) const
{
    drawCase(painter, QColor(74, 78, 86));
    drawTitle(painter, QRect(1, 1, kPictureWidth - 2, 25), QStringLiteral("zembraFader"));
    drawButton(painter, QRect(6, 6, 40, 14), QStringLiteral("SNAP"), QColor(150, 40, 40));
}

void TzembraFaderPictureForm::drawKnob(
    QPainter& painter, int knob, const QRect& area, bool highlighted) const
{
    const int x = area.center().x();
    const int slotTop = area.top() + 5;
    const int slotBottom = area.bottom() - 20;
    // Scale ticks beside the slot.
    painter.setPen(QPen(QColor(150, 155, 160), 1));
    for (int y = slotTop + 2; y <= slotBottom - 2; y += 8)
        painter.drawLine(x - 7, y, x - 5, y);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(18, 18, 20));
    painter.drawRoundedRect(QRect(x - 1, slotTop, 3, slotBottom - slotTop), 1, 1);
    // Faders stand at different heights, as after a mix.
    const int travel = slotBottom - slotTop - 12;
    const int capTop = slotTop + (knob * 37) % travel;
    const QRect cap(x - 7, capTop, 15, 12);
    QLinearGradient gradient(cap.topLeft(), cap.bottomLeft());
    const QColor base = highlighted ? kCapRed : QColor(190, 192, 198);
    gradient.setColorAt(0, base.lighter(130));
    gradient.setColorAt(1, base.darker(140));
    painter.setPen(QPen(QColor(10, 10, 10), 1));
    painter.setBrush(gradient);
    painter.drawRoundedRect(cap, 2, 2);
    painter.setPen(QPen(highlighted ? Qt::white : QColor(20, 20, 20), 1));
    painter.drawLine(cap.left() + 2, cap.center().y(), cap.right() - 2, cap.center().y());
    painter.setFont(pixelFont(9, true));
    painter.setPen(highlighted ? QColor(255, 120, 120) : QColor(235, 235, 235));
    painter.drawText(QRect(area.left() - 2, area.bottom() - 14, area.width() + 4, 14),
        Qt::AlignHCenter | Qt::AlignBottom, QString::number(knob));
}

TzembraDialPictureForm::TzembraDialPictureForm()
    : KnobPictureSet(DeviceVariant::zembraDial)
{
}

void TzembraDialPictureForm::drawBody(QPainter& painter) const
{
    drawCase(painter, QColor(44, 47, 53));
    painter.fillRect(QRect(1, 1, kPictureWidth - 2, 38), QColor(30, 32, 36));
    painter.setPen(QColor(225, 225, 225));
    painter.setFont(pixelFont(9, true));
    painter.drawText(QRect(8, 3, 90, 11), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("BANK"));
    for (int lamp = 0; lamp < 4; ++lamp) {
        const QPointF centre(14 + lamp * 20, 22);
        painter.setPen(QPen(QColor(10, 10, 10), 1));
        painter.setBrush(lamp == 0 ? QColor(80, 230, 90) : QColor(40, 70, 45));
        painter.drawEllipse(centre, 4, 4);
        painter.setPen(QColor(225, 225, 225));
        painter.setFont(pixelFont(8, true));
        painter.drawText(
            QRectF(centre.x() - 6, 27, 12, 10), Qt::AlignCenter, QString::number(lamp + 1));
    }
    painter.setPen(QColor(240, 240, 240));
    painter.setFont(pixelFont(17, true, true));
    painter.drawText(QRect(100, 2, 150, 34), Qt::AlignCenter, QStringLiteral("zembraDial"));
    drawButton(painter, QRect(258, 11, 48, 17), QStringLiteral("CHANNEL"), QColor(80, 84, 92));
    drawButton(painter, QRect(312, 11, 50, 17), QStringLiteral("PROGRAM"), QColor(80, 84, 92));
}

void TzembraDialPictureForm::drawKnob(
    QPainter& painter, int knob, const QRect& area, bool highlighted) const
{
    const QPointF centre(area.left() + area.width() / 2.0, area.top() + area.height() / 2.0);
    // The LED ring of an endless dial.
    painter.setPen(Qt::NoPen);
    const int lit = (knob * 5) % 15;
    for (int i = 0; i < 15; ++i) {
        const double angle = (240.0 - i * 21.4) * M_PI / 180.0;
        painter.setBrush(i <= lit ? QColor(255, 170, 40) : QColor(90, 70, 40));
        const QPointF dot(std::cos(angle) * 16, -std::sin(angle) * 16);
        painter.drawEllipse(centre + dot, 1.3, 1.3);
    }
    drawCap(painter, centre, 12, highlighted);
    // Grip ridges instead of a pointer: the dial has no end stop.
    painter.setPen(QPen(highlighted ? QColor(255, 200, 200) : QColor(120, 122, 128), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, 9.5, 9.5);
    painter.setFont(pixelFont(10, true));
    painter.setPen(QColor(245, 245, 245));
    painter.drawText(
        QRectF(centre.x() - 10, centre.y() - 8, 20, 16), Qt::AlignCenter, QString::number(knob));
}

PictureSets::PictureSets() = default;
PictureSets::~PictureSets() = default;

const KnobPictureSet& PictureSets::forVariant(DeviceVariant variant) const
{
    switch (variant) {
    case DeviceVariant::zembraFader:
        if (!m_fader)
            m_fader = std::make_unique<TzembraFaderPictureForm>();
        return *m_fader;
    case DeviceVariant::zembraDial:
        if (!m_dial)
            m_dial = std::make_unique<TzembraDialPictureForm>();
        return *m_dial;
    case DeviceVariant::zembraControl:
        break;
    }
    if (!m_control)
        m_control = std::make_unique<TPictureForm>();
    return *m_control;
}

} // namespace kestrow
