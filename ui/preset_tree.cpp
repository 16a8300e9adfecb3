#include "ui/preset_tree.h"

#include "ui/drag_cursors.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QUrl>

#include <algorithm>

namespace kestrow {

namespace {

    constexpr char kPresetMime[] = "application/x-kestrow-preset";

    /// The local files of a drop from outside the program; empty for anything else.
    QStringList localFiles(const QMimeData* mime)
    {
        QStringList paths;
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        return paths;
    }

} // namespace

// ---------------------------------------------------------------------------

PresetItemDelegate::PresetItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void PresetItemDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool drawnSelected = option.state.testFlag(QStyle::State_Selected);
    const TreeShade shade = m_shade ? m_shade(index.row(), drawnSelected) : TreeShade::white;
    QColor background(Qt::white);
    QColor text(Qt::black);
    switch (shade) {
    case TreeShade::highlight:
        background = option.palette.color(QPalette::Highlight);
        text = option.palette.color(QPalette::HighlightedText);
        break;
    case TreeShade::background:
        background = option.palette.color(QPalette::Dark);
        text = option.palette.color(QPalette::HighlightedText);
        break;
    case TreeShade::silver:
        background = QColor(0xC0, 0xC0, 0xC0);
        break;
    case TreeShade::white:
        break;
    }
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    QFont font = option.font;
    // Hot tracking: the item under the pointer is underlined.
    font.setUnderline(option.state.testFlag(QStyle::State_MouseOver));
    painter->setFont(font);
    // Level is always 0, so the text starts at the row's left edge; the name
    // stops with an ellipsis before the marks, and its tooltip shows it whole.
    const RowLayout row = layoutRow(option, index);
    painter->drawText(row.text, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(font).elidedText(
            index.data(Qt::DisplayRole).toString(), Qt::ElideRight, row.text.width()));
    if (!row.bar.isNull()) {
        // Two knobs send the same event: a red bar.
        painter->fillRect(row.bar, QColor(0xD0, 0x20, 0x20));
    }
    if (!row.dot.isNull()) {
        // What the device holds: a dot left of the bar, hollow while unproven.
        const DeviceMark mark = m_deviceMark(index.row());
        painter->setRenderHint(QPainter::Antialiasing);
        if (mark == DeviceMark::sent) {
            painter->setPen(QPen(text, 1.2));
            painter->setBrush(Qt::NoBrush);
            painter->drawEllipse(QRectF(row.dot).adjusted(0.5, 0.5, -0.5, -0.5));
        } else {
            painter->setPen(Qt::NoPen);
            painter->setBrush(
                mark == DeviceMark::differs ? QColor(0xD0, 0x60, 0x00) : QColor(0x20, 0x90, 0x30));
            painter->drawEllipse(row.dot);
        }
    }
    painter->restore();
}

PresetItemDelegate::RowLayout PresetItemDelegate::layoutRow(
    const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Marks sit at the visible right edge, over the row's own shade.
    int right = option.rect.right();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
        right = std::min(right, view->viewport()->rect().right());
    const bool duplicates = m_duplicateMark && m_duplicateMark(index.row());
    const DeviceMark mark = m_deviceMark ? m_deviceMark(index.row()) : DeviceMark::unknown;
    const bool marked = mark != DeviceMark::unknown;
    const int size = std::max(4, option.rect.height() / 3);
    RowLayout row;
    row.text = option.rect;
    row.text.setRight(right);
    if (duplicates || marked)
        row.text.setRight(right - (marked ? 11 + size : 7));
    if (duplicates)
        row.bar = QRect(right - 5, option.rect.top() + 2, 4, option.rect.height() - 4);
    if (marked)
        row.dot = QRect(right - 9 - size, option.rect.center().y() - size / 2, size, size);
    return row;
}

QString PresetItemDelegate::toolTipAt(
    const QStyleOptionViewItem& option, const QModelIndex& index, QPoint pos) const
{
    static const QString kDuplicateTip = QStringLiteral(
        "Two or more knobs of this preset send the same event; their numbers are orange in "
        "the knob table.");
    const QString deviceTip
        = deviceMarkTip(m_deviceMark ? m_deviceMark(index.row()) : DeviceMark::unknown);
    const RowLayout row = layoutRow(option, index);
    // The marks are small: the pointer may miss them by a pixel or two.
    if (!row.bar.isNull() && row.bar.adjusted(-2, -2, 3, 2).contains(pos))
        return kDuplicateTip;
    if (!row.dot.isNull() && row.dot.adjusted(-2, -2, 2, 2).contains(pos))
        return deviceTip;
    QStringList lines;
    const QString name = index.data(Qt::DisplayRole).toString();
    if (QFontMetrics(option.font).horizontalAdvance(name) > row.text.width())
        lines << name;
    if (!row.bar.isNull())
        lines << kDuplicateTip;
    if (!row.dot.isNull())
        lines << deviceTip;
    return lines.join(QLatin1Char('\n'));
}

bool PresetItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = toolTipAt(option, index, event->pos());
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}

QString PresetItemDelegate::deviceMarkTip(DeviceMark mark)
{
    switch (mark) {
    case DeviceMark::sent:
        return QStringLiteral("Sent to the device, not read back yet");
    case DeviceMark::verified:
        return QStringLiteral("Read back: the device holds this preset as it is here");
    case DeviceMark::differs:
        return QStringLiteral(
            "The device holds something else: send this preset, or take it from the device");
    case DeviceMark::unknown:
        break;
    }
    return {};
}

void PresetItemDelegate::setModelData(
    QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    // The window stores the name and rewrites the item; the raw text never lands.
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        emit editConfirmed(index.row(), line->text());
}

// ---------------------------------------------------------------------------

PresetTree::PresetTree(QWidget* parent)
    : QListWidget(parent)
    , m_delegate(new PresetItemDelegate(this))
{
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setUniformItemSizes(true);
    // Long names end in an ellipsis with the whole name in the tooltip.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    connect(m_delegate, &PresetItemDelegate::editConfirmed, this, &PresetTree::renameConfirmed);
}

int PresetTree::rowAt(const QPoint& viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

void PresetTree::mousePressEvent(QMouseEvent* event)
{
    m_operation
        = operationForModifiers ? operationForModifiers(event->modifiers()) : DragOperation::copy;
    m_sourceRow = rowAt(event->position().toPoint());
    m_pressPos = event->position().toPoint();
    m_pressed = event->button() == Qt::LeftButton;
    // Any button selects, so the popup menu acts on the item under the pointer.
    const bool wasSelected = m_sourceRow >= 0 && currentRow() == m_sourceRow;
    if (m_sourceRow >= 0 && !wasSelected)
        setCurrentRow(m_sourceRow);
    // Only a click on the item already selected may start an in-place edit;
    // the view sees no other press, so its release cannot start one either.
    m_viewHasPress = event->button() == Qt::LeftButton && wasSelected;
    if (m_viewHasPress)
        QListWidget::mousePressEvent(event);
    else
        event->accept();
    setFocus(Qt::MouseFocusReason);
}

void PresetTree::mouseMoveEvent(QMouseEvent* event)
{
    if (window()->isActiveWindow() && !hasFocus() && state() != QAbstractItemView::EditingState)
        setFocus(Qt::MouseFocusReason);
    if (m_pressed && (event->buttons() & Qt::LeftButton) && m_sourceRow >= 0
        && (event->position().toPoint() - m_pressPos).manhattanLength()
            >= QApplication::startDragDistance()) {
        m_pressed = false;
        m_viewHasPress = false;
        startPresetDrag();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton))
        m_pressed = false;
    event->accept();
}

void PresetTree::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    if (m_viewHasPress)
        QListWidget::mouseReleaseEvent(event);
    else
        event->accept();
    m_viewHasPress = false;
}

void PresetTree::startPresetDrag()
{
    auto* mime = new QMimeData;
    mime->setData(kPresetMime, QByteArray::number(m_sourceRow));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    setOperationCursor(*drag, m_operation, false);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void PresetTree::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && state() != QAbstractItemView::EditingState) {
        if (currentRow() >= 0)
            emit enterPressed(currentRow());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void PresetTree::focusInEvent(QFocusEvent* event)
{
    QListWidget::focusInEvent(event);
    emit focusGained();
}

void PresetTree::dragEnterEvent(QDragEnterEvent* event)
{
    if ((event->mimeData()->hasFormat(kPresetMime) && event->source() == this)
        || (event->source() == nullptr && !localFiles(event->mimeData()).isEmpty()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PresetTree::dragMoveEvent(QDragMoveEvent* event)
{
    if ((event->mimeData()->hasFormat(kPresetMime) && event->source() == this)
        || (event->source() == nullptr && !localFiles(event->mimeData()).isEmpty()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PresetTree::dropEvent(QDropEvent* event)
{
    if (event->source() == nullptr && !event->mimeData()->hasFormat(kPresetMime)) {
        const QStringList paths = localFiles(event->mimeData());
        if (paths.isEmpty()) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        emit filesDropped(paths, rowAt(event->position().toPoint()));
        return;
    }
    if (!event->mimeData()->hasFormat(kPresetMime) || event->source() != this) {
        event->ignore();
        return;
    }
    const int source = event->mimeData()->data(kPresetMime).toInt();
    const int target = rowAt(event->position().toPoint());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (target >= 0)
        emit presetDropped(source, target, m_operation);
}

} // namespace kestrow
