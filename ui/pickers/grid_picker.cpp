#include "ui/pickers/grid_picker.h"

#include "ui/readable_colour.h"
#include "ui/screen_pointer.h"
#include "ui/window_placement.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace kestrow {

QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

void keepOnScreen(QWidget& dialog)
{
    const QScreen* screen = dialog.screen();
    if (!screen || !canPlaceWindows())
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = dialog.frameGeometry();
    QPoint pos = dialog.pos();
    if (frame.right() > area.right())
        pos.rx() -= frame.right() - area.right();
    if (frame.bottom() > area.bottom())
        pos.ry() -= frame.bottom() - area.bottom();
    pos.setX(std::max(pos.x(), area.left()));
    pos.setY(std::max(pos.y(), area.top()));
    dialog.move(pos);
}

GridPicker::GridPicker(
    EditorState& state, Layout layout, const QString& caption, QSize clientSize, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_layout(layout)
{
    setWindowTitle(caption);
    setModal(true);
    m_grid = new PickerGrid(*this);
    m_grid->move(1, 1);
    setFixedSize(clientSize);
}

int GridPicker::valueAt(int column, int row) const
{
    if (column < 0 || column >= m_layout.columns || row < 0 || row >= m_layout.rows)
        return -1;
    return m_layout.rowMajor ? column + m_layout.columns * row : m_layout.rows * column + row;
}

QPoint GridPicker::cellOf(int value) const
{
    if (value < 0 || value >= valueCount())
        return { -1, -1 };
    if (m_layout.rowMajor)
        return { value % m_layout.columns, value / m_layout.columns };
    return { value / m_layout.rows, value % m_layout.rows };
}

void GridPicker::setMarkedValue(int value)
{
    m_marked = value >= 0 && value < valueCount() ? value : -1;
    m_grid->update();
}

void GridPicker::setKeyboardValue(int value)
{
    if (value < 0 || value >= valueCount())
        return;
    m_keyboard = value;
    m_grid->update();
}

int GridPicker::openPicker(int marked, bool byKeyboard)
{
    setMarkedValue(marked);
    m_openedByKeyboard = byKeyboard;
    m_lastPointer = { -1, -1 };
    keepOnScreen(*this);
    return exec();
}

int GridPicker::valueAtPos(QPoint gridPos) const
{
    if (gridPos.x() < 0 || gridPos.y() < 0)
        return -1;
    return valueAt(gridPos.x() / (m_layout.cellWidth + 1), gridPos.y() / (m_layout.cellHeight + 1));
}

QRect GridPicker::cellRect(int value) const
{
    const QPoint cell = cellOf(value);
    return { cell.x() * (m_layout.cellWidth + 1) + 1, cell.y() * (m_layout.cellHeight + 1) + 1,
        m_layout.cellWidth, m_layout.cellHeight };
}

void GridPicker::pointerMoved(QPoint gridPos)
{
    if (gridPos == m_lastPointer)
        return;
    m_lastPointer = gridPos;
    const int value = valueAtPos(gridPos);
    if (value < 0)
        return;
    m_keyboard = value;
    setWindowTitle(moveCaption(value));
    m_grid->update();
}

void GridPicker::buttonPressed(QPoint, Qt::MouseButton) { }

void GridPicker::buttonReleased(QPoint gridPos, Qt::MouseButton button)
{
    const int value = valueAtPos(gridPos);
    if (value >= 0) {
        setWindowTitle(releaseCaption(value));
        if (button == Qt::LeftButton)
            assign(value);
    }
    accept();
}

void GridPicker::keyReleased(int key)
{
    if (m_openedByKeyboard) {
        m_openedByKeyboard = false;
        return;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        assign(m_keyboard);
        accept();
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        setWindowTitle(keyCaption(m_keyboard));
        m_grid->update();
        break;
    }
}

bool GridPicker::greyed(int) const { return false; }

void GridPicker::paintCell(QPainter& painter, int value, const QRect& rect) const
{
    const QPalette& pal = palette();
    if (greyed(value)) {
        // An entry that cannot be taken: a grey cell without text, unless the keyboard is on it.
        painter.fillRect(
            rect, value == m_keyboard ? pal.color(QPalette::Highlight) : QColor(128, 128, 128));
        return;
    }
    QString text = cellText(value);
    if (showsMark() && value == m_marked) {
        painter.fillRect(rect, QColor(255, 0, 0));
        painter.setPen(pal.color(QPalette::HighlightedText));
        painter.drawText(rect.adjusted(1, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    } else if (value == m_keyboard) {
        painter.fillRect(rect, pal.color(QPalette::Highlight));
        painter.setPen(pal.color(QPalette::HighlightedText));
        painter.drawText(rect.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    } else {
        painter.fillRect(rect, Qt::white);
        painter.setPen(readableOn(Qt::white, pal.color(QPalette::WindowText)));
        painter.drawText(rect.adjusted(textInset(), 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    }
}

void GridPicker::keyPressEvent(QKeyEvent* event)
{
    // Arrows move the grid cursor at once; every choice waits for the release.
    const QPoint cell = cellOf(m_keyboard);
    int column = cell.x();
    int row = cell.y();
    switch (event->key()) {
    case Qt::Key_Left:
        --column;
        break;
    case Qt::Key_Right:
        ++column;
        break;
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    default:
        event->accept();
        return;
    }
    const int value = valueAt(column, row);
    if (value >= 0)
        setKeyboardValue(value);
    event->accept();
}

void GridPicker::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
    if (!event->isAutoRepeat())
        keyReleased(event->key());
}

void GridPicker::done(int result)
{
    if (restoresPointer())
        restorePointer(m_state);
    QDialog::done(result);
}

PickerGrid::PickerGrid(GridPicker& picker)
    : QWidget(&picker)
    , m_picker(picker)
{
    const GridPicker::Layout& layout = picker.layout();
    setFixedSize(
        layout.columns * (layout.cellWidth + 1) + 1, layout.rows * (layout.cellHeight + 1) + 1);
    setMouseTracking(true);
    // Small enough that underscores stay inside the 13-pixel rows.
    QFont cellFont(QStringLiteral("Liberation Sans"));
    cellFont.setPixelSize(11);
    setFont(cellFont);
}

void PickerGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(160, 160, 160));
    for (int value = 0; value < m_picker.valueCount(); ++value) {
        painter.save();
        const QRect cell = m_picker.cellRect(value);
        painter.setClipRect(cell);
        m_picker.paintCell(painter, value, cell);
        painter.restore();
    }
}

void PickerGrid::mouseMoveEvent(QMouseEvent* event)
{
    m_picker.pointerMoved(event->position().toPoint());
}

void PickerGrid::mousePressEvent(QMouseEvent* event)
{
    m_picker.buttonPressed(event->position().toPoint(), event->button());
}

void PickerGrid::mouseReleaseEvent(QMouseEvent* event)
{
    m_picker.buttonReleased(event->position().toPoint(), event->button());
}

} // namespace kestrow
