#include "ui/device_picture.h"

#include "core/bank_search.h"
#include "core/knob_drops.h"
#include "core/text_codec.h"
#include "ui/knob_table.h"

#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace kestrow {

namespace {

    bool isKnob(int knob) { return knob >= 1 && knob <= kKnobCount; }

} // namespace

DevicePicture::DevicePicture(EditorState& state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_sets(std::make_unique<PictureSets>())
{
    installAccessibleParts(); // before anything makes Qt look at this widget
    setFixedSize(kPictureWidth, kPictureHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Device picture"));
    setAcceptDrops(true);
    m_state.addView(this, { {}, {}, [this](int knob) { showKnob(knob); } });
}

DevicePicture::~DevicePicture() { m_state.removeView(this); }

void DevicePicture::showKnob(int knob)
{
    m_shownKnob = isKnob(knob) ? knob : 0;
    update();
}

void DevicePicture::pointerMovedTo(QPoint pos)
{
    hoverKnob(knobHitTest(m_state.variant, pos.x(), pos.y()));
}

void DevicePicture::hoverKnob(int knob)
{
    if (!isKnob(knob) || knob == m_state.hoverKnob)
        return;
    m_state.hoverKnob = knob;
    m_state.refreshKnobTable(m_state.bank.selectedPreset);
    m_state.showKnob(knob);
}

bool DevicePicture::pressAt(QPoint pos, bool shift, bool ctrl)
{
    m_state.dragOperation = m_state.operationFor(shift, ctrl);
    const int knob = knobHitTest(m_state.variant, pos.x(), pos.y());
    m_dragged = false;
    m_dragArmed = isKnob(knob);
    if (m_dragArmed)
        startKnobDrag(m_state, knob, 0);
    return m_dragArmed;
}

void DevicePicture::releaseAt(QPoint pos)
{
    const bool pressedOnKnob = m_dragArmed;
    m_dragArmed = false;
    if (pressedOnKnob || m_dragged)
        return;
    const int knob = knobHitTest(m_state.variant, pos.x(), pos.y());
    if (!isKnob(knob))
        return;
    unsetCursor();
    releaseOnPicture(m_state, knob);
}

bool DevicePicture::dropAt(QPoint pos)
{
    unsetCursor();
    return dropOnPicture(m_state, knobHitTest(m_state.variant, pos.x(), pos.y()));
}

void DevicePicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const KnobPictureSet& set = m_sets->forVariant(m_state.variant);
    set.setPixelRatio(devicePixelRatioF());
    // Into the picture's own rectangle: at a fractional ratio the pixmap's
    // size in pixels is rounded, and must not shift the knobs by a fraction.
    const QPixmap& picture = set.pictureForKnob(m_shownKnob);
    painter.drawPixmap(QRectF(0, 0, kPictureWidth, kPictureHeight), picture,
        QRectF(QPointF(0, 0), QSizeF(picture.size())));
    if (hasFocus() && isKnob(m_shownKnob)) {
        // The knob the arrow keys start from.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(accessiblePartRect(m_shownKnob - 1).adjusted(-2, -2, 1, 1));
    }
}

void DevicePicture::keyPressEvent(QKeyEvent* event)
{
    // Left and right step through the knobs in their order, up and down by a row of eight.
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -kKnobCount / 2;
        break;
    case Qt::Key_Down:
        step = kKnobCount / 2;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const int from = isKnob(m_state.hoverKnob) ? m_state.hoverKnob : 1;
    hoverKnob((from - 1 + step + kKnobCount) % kKnobCount + 1);
    update();
}

int DevicePicture::accessiblePartCount() const { return kKnobCount; }

QString DevicePicture::accessiblePartName(int part) const
{
    return QStringLiteral("Knob %1").arg(part + 1);
}

QString DevicePicture::accessiblePartValue(int part) const
{
    if (part < 0 || part >= kKnobCount)
        return {};
    const Preset& preset
        = m_state.bank.presets[static_cast<std::size_t>(m_state.bank.selectedPreset)];
    return QString::fromStdString(cp1252ToUtf8(sendsText(m_state.catalogue, preset, part)));
}

QRect DevicePicture::accessiblePartRect(int part) const
{
    const KnobArea area = knobArea(m_state.variant, part + 1);
    return QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom));
}

QAccessible::Role DevicePicture::accessiblePartRole() const
{
    return m_state.variant == DeviceVariant::zembraFader ? QAccessible::Slider : QAccessible::Dial;
}

void DevicePicture::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_dragArmed && event->buttons() != Qt::NoButton) {
        // The press already loaded the knob; any movement carries it away.
        m_dragArmed = false;
        m_dragged = true;
        execKnobDrag(this, m_state, true);
        unsetCursor();
        return;
    }
    pointerMovedTo(pos);
}

void DevicePicture::mousePressEvent(QMouseEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    pressAt(event->position().toPoint(), shift, ctrl);
    event->accept();
}

void DevicePicture::mouseReleaseEvent(QMouseEvent* event)
{
    releaseAt(event->position().toPoint());
    m_dragged = false;
    event->accept();
}

void DevicePicture::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(kKnobDragMime) && pictureAcceptsDrag(m_state))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DevicePicture::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(kKnobDragMime) && pictureAcceptsDrag(m_state))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DevicePicture::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasFormat(kKnobDragMime)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    dropAt(event->position().toPoint());
}

} // namespace kestrow
