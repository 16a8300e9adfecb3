#include "ui/drag_cursors.h"

#include <QApplication>
#include <QDrag>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace kestrow {

namespace {

    void drawArrow(QPainter& painter)
    {
        QPainterPath arrow;
        arrow.moveTo(0, 0);
        arrow.lineTo(0, 16);
        arrow.lineTo(4, 12);
        arrow.lineTo(7, 19);
        arrow.lineTo(9, 18);
        arrow.lineTo(6, 11);
        arrow.lineTo(11, 11);
        arrow.closeSubpath();
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::white);
        painter.drawPath(arrow);
    }

    /// The badge at the lower right says what the drop will do.
    void drawBadge(QPainter& painter, DragCursor cursor)
    {
        const bool picture
            = cursor == DragCursor::c2 || cursor == DragCursor::m2 || cursor == DragCursor::s2;
        const QRectF box(14, 15, 16, 16);
        painter.setPen(QPen(Qt::black, 1));
        if (picture) {
            // A knob cap: the picture drags whole knobs.
            painter.setBrush(QColor(200, 30, 30));
            painter.drawEllipse(box);
        } else {
            painter.setBrush(Qt::white);
            painter.drawRect(box);
        }
        painter.setPen(QPen(picture ? Qt::white : Qt::black, 2));
        const QPointF c = box.center();
        switch (cursor) {
        case DragCursor::copy:
        case DragCursor::c2:
            painter.drawLine(QPointF(c.x() - 4, c.y()), QPointF(c.x() + 4, c.y()));
            painter.drawLine(QPointF(c.x(), c.y() - 4), QPointF(c.x(), c.y() + 4));
            break;
        case DragCursor::move:
        case DragCursor::m2:
            painter.drawLine(QPointF(c.x() - 5, c.y()), QPointF(c.x() + 4, c.y()));
            painter.drawLine(QPointF(c.x() + 4, c.y()), QPointF(c.x() + 1, c.y() - 3));
            painter.drawLine(QPointF(c.x() + 4, c.y()), QPointF(c.x() + 1, c.y() + 3));
            break;
        case DragCursor::swap:
        case DragCursor::s2:
            painter.drawLine(QPointF(c.x() - 4, c.y() - 2), QPointF(c.x() + 4, c.y() - 2));
            painter.drawLine(QPointF(c.x() + 4, c.y() - 2), QPointF(c.x() + 2, c.y() - 4));
            painter.drawLine(QPointF(c.x() - 4, c.y() + 2), QPointF(c.x() + 4, c.y() + 2));
            painter.drawLine(QPointF(c.x() - 4, c.y() + 2), QPointF(c.x() - 2, c.y() + 4));
            break;
        }
    }

} // namespace

QPixmap dragCursorPixmap(DragCursor cursor, qreal pixelRatio)
{
    QPixmap pixmap(QSize(32, 32) * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        drawArrow(painter);
        drawBadge(painter, cursor);
    }
    return pixmap;
}

bool dragCursorFor(DragOperation operation, bool fromPicture, DragCursor& cursor)
{
    switch (operation) {
    case DragOperation::copy:
        cursor = fromPicture ? DragCursor::c2 : DragCursor::copy;
        return true;
    case DragOperation::move:
        cursor = fromPicture ? DragCursor::m2 : DragCursor::move;
        return true;
    case DragOperation::swap:
        cursor = fromPicture ? DragCursor::s2 : DragCursor::swap;
        return true;
    case DragOperation::none:
        break;
    }
    return false;
}

void setOperationCursor(QDrag& drag, DragOperation operation, bool fromPicture)
{
    DragCursor cursor {};
    if (!dragCursorFor(operation, fromPicture, cursor))
        return;
    // Sharp on the screen the drag starts on.
    const auto* source = qobject_cast<const QWidget*>(drag.source());
    const QPixmap pixmap = dragCursorPixmap(
        cursor, source != nullptr ? source->devicePixelRatioF() : qApp->devicePixelRatio());
    for (Qt::DropAction action : { Qt::CopyAction, Qt::MoveAction, Qt::LinkAction })
        drag.setDragCursor(pixmap, action);
}

} // namespace kestrow
