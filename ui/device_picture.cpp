#include "ui/device_picture.h"

#include "core/knob_drops.h"
#include "ui/knob_table.h"

#include <QDragEnterEvent>
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
    setFixedSize(kPictureWidth, kPictureHeight);
    setMouseTracking(true);
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
    const int knob = knobHitTest(m_state.variant, pos.x(), pos.y());
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
    painter.drawPixmap(0, 0, m_sets->forVariant(m_state.variant).pictureForKnob(m_shownKnob));
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
