#include "ui/knob_table.h"

#include "core/bank_search.h"
#include "core/duplicate_assignments.h"
#include "core/knob_drops.h"
#include "core/preset_names.h"
#include "core/text_codec.h"
#include "ui/drag_cursors.h"
#include "ui/readable_colour.h"
#include "ui/undo_pass_through.h"

#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace kestrow {

namespace {

    const char* const kHeadings[6]
        = { "#", "Description", "  Ch", "Event", "Fixed Par", "Init Val" };

    QString fromModel(const std::string& text)
    {
        return QString::fromStdString(cp1252ToUtf8(text));
    }

    /// Paints every cell itself and edits knob names in place.
    class KnobCellDelegate : public QStyledItemDelegate {
    public:
        explicit KnobCellDelegate(KnobTable& table)
            : QStyledItemDelegate(&table)
            , m_table(table)
        {
        }

        void paint(QPainter* painter, const QStyleOptionViewItem& option,
            const QModelIndex& index) const override
        {
            const CellPos cell { index.column(), index.row() };
            const bool highlighted
                = m_table.hasFocus() && m_table.controller().currentCell() == cell;
            const CellLook look
                = knobCellLook(m_table.editorState(), cell, highlighted, m_table.palette());
            painter->save();
            painter->fillRect(option.rect, look.background);
            if (look.showsText) {
                painter->setPen(look.text);
                painter->setFont(option.font);
                const QString text = index.data(Qt::DisplayRole).toString();
                const QRect area = option.rect.adjusted(2, 2, -1, 0);
                const int width = painter->fontMetrics().horizontalAdvance(text);
                if (width > area.width() - 2 && area.width() > 2) {
                    // The columns have fixed widths; a text wider than its
                    // column ("Master" in "  Ch") is narrowed to fit, not cut.
                    painter->translate(area.topLeft());
                    painter->scale(static_cast<qreal>(area.width() - 2) / width, 1.0);
                    painter->drawText(
                        QRect(0, 0, width, area.height()), Qt::AlignLeft | Qt::AlignTop, text);
                } else {
                    painter->drawText(area, Qt::AlignLeft | Qt::AlignTop, text);
                }
            }
            painter->restore();
        }

        QWidget* createEditor(
            QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
        {
            if (index.column() != 1 || index.row() < 1)
                return nullptr;
            auto* editor = new QLineEdit(parent);
            editor->setMaxLength(static_cast<int>(kKnobNameLength));
            editor->setFrame(false);
            const int knob = index.row() - 1;
            KnobTable* table = &m_table;
            QObject::connect(
                editor, &QLineEdit::textEdited, editor, [table, knob](const QString& text) {
                    table->controller().setKnobName(knob, text);
                });
            UndoPassThrough::install(editor);
            return editor;
        }

        void destroyEditor(QWidget* editor, const QModelIndex& index) const override
        {
            m_table.controller().nameEditFinished();
            QStyledItemDelegate::destroyEditor(editor, index);
        }

        void setModelData(
            QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
        {
            auto* line = static_cast<QLineEdit*>(editor);
            m_table.controller().setKnobName(index.row() - 1, line->text());
            const Preset& p = m_table.editorState().preset();
            model->setData(index, fromModel(p.knobName[static_cast<std::size_t>(index.row() - 1)]));
        }

    private:
        KnobTable& m_table;
    };

} // namespace

std::vector<int> collidingWith(const Preset& preset, int knob, int masterChannel)
{
    for (const KnobGroup& group : duplicateKnobs(preset, masterChannel)) {
        if (std::find(group.begin(), group.end(), knob) == group.end())
            continue;
        std::vector<int> others;
        for (int k : group) {
            if (k != knob)
                others.push_back(k);
        }
        return others;
    }
    return {};
}

CellLook knobCellLook(
    const EditorState& state, CellPos cell, bool highlighted, const QPalette& palette)
{
    if (cell.column == 0 && cell.row > 0
        && !collidingWith(state.bank.presets[static_cast<std::size_t>(state.bank.selectedPreset)],
            cell.row - 1, state.knownMasterChannel())
                .empty())
        return { kCollisionColour,
            readableOn(kCollisionColour, palette.color(QPalette::ButtonText)), true };
    if (cell.row == 0 || cell.column == 0)
        return { palette.color(QPalette::Button), palette.color(QPalette::ButtonText), true };
    if (cell.column == 5 && !state.initValuesAvailable())
        return { QColor(128, 128, 128), QColor(128, 128, 128), false };
    const Preset& p = state.bank.presets[static_cast<std::size_t>(state.bank.selectedPreset)];
    const std::int32_t eventType = p.eventType[static_cast<std::size_t>(cell.row - 1)];
    const QColor background = highlighted ? palette.color(QPalette::Highlight) : QColor(Qt::white);
    if (!eventFitsVariant(state.variant, eventType))
        return { background, QColor(255, 0, 0), true };
    const QColor text = readableOn(
        background, palette.color(highlighted ? QPalette::HighlightedText : QPalette::WindowText));
    return { background, text, true };
}

void execKnobDrag(QWidget* source, const EditorState& state, bool fromPicture)
{
    auto* drag = new QDrag(source);
    auto* mime = new QMimeData;
    mime->setData(kKnobDragMime, QByteArray::number(state.dragSourceKnob));
    drag->setMimeData(mime);
    setOperationCursor(*drag, state.dragOperation, fromPicture);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

KnobTable::KnobTable(EditorState& state, PickerHost& host, QWidget* parent)
    : QTableWidget(parent)
    , m_state(state)
    , m_controller(state, host)
{
    // Rows and columns only once the headers are hidden: a shown header
    // measures every section's text each time their number changes.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setRowCount(kKnobCount + 1);
    setColumnCount(6);
    // Read by assistive technology only: the heading row shows them short.
    setHorizontalHeaderLabels({ QStringLiteral("Knob"), QStringLiteral("Description"),
        QStringLiteral("Channel"), QStringLiteral("Event"), QStringLiteral("Fixed Parameter"),
        QStringLiteral("Init Value") });
    setAccessibleName(QStringLiteral("Knob table"));
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::DoubleClicked);
    setItemDelegate(new KnobCellDelegate(*this));
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setTabKeyNavigation(false);
    // The application's own face (no other face to load before the first
    // paint), at a size where "Init Val" fits its 42 pixels.
    QFont cellFont = font();
    cellFont.setPixelSize(11);
    setFont(cellFont);

    int width = 0;
    for (int c = 0; c < 6; ++c) {
        setColumnWidth(c, kColumnWidths[static_cast<std::size_t>(c)]);
        width += kColumnWidths[static_cast<std::size_t>(c)];
    }
    for (int r = 0; r <= kKnobCount; ++r)
        setRowHeight(r, kRowHeight);
    for (int r = 0; r <= kKnobCount; ++r) {
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem;
            Qt::ItemFlags flags = Qt::ItemIsEnabled;
            if (c == 1 && r > 0)
                flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            if (r == 0)
                item->setText(QString::fromLatin1(kHeadings[c]));
            else if (c == 0)
                item->setText(QString::number(r));
            setItem(r, c, item);
        }
    }
    const int frame = 2 * frameWidth() + 1;
    setMinimumSize(width + frame, (kKnobCount + 1) * kRowHeight + frame);

    m_controller.onCurrentCellChanged = [this](CellPos cell) {
        setCurrentCell(cell.row, cell.column);
        viewport()->update();
    };
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int column, int, int) {
        m_controller.setCurrentCell({ column, row });
        viewport()->update();
    });
    setCurrentCell(1, 1);

    m_state.addView(this,
        { [this](int preset) { refreshCells(preset); }, [this](CellPos cell) { refreshCell(cell); },
            {} });
    refreshCells(m_state.bank.selectedPreset);
}

KnobTable::~KnobTable() { m_state.removeView(this); }

void KnobTable::refreshCells(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    const Preset& p = m_state.bank.presets[static_cast<std::size_t>(presetIndex)];
    static const char* const kVariantNames[] = { "zembraControl", "zembraFader", "zembraDial" };
    const QString notOffered
        = QStringLiteral("The %1 does not offer this event: choose another one for this knob.")
              .arg(QString::fromLatin1(kVariantNames[std::clamp(int(m_state.variant), 0, 2)]));
    const QString noInitValue
        = QStringLiteral("Only the zembraDial keeps init values, for its presets 1 to 127.");
    for (int r = 1; r <= kKnobCount; ++r) {
        const bool offered = eventFitsVariant(m_state.variant, p.eventType[std::size_t(r - 1)]);
        for (int c = 1; c < 6; ++c) {
            const QString text = fromModel(m_state.catalogue.cellText(p, r - 1, c - 1));
            QTableWidgetItem* cell = item(r, c);
            // Leave an unchanged cell alone so that an open name editor keeps its caret.
            if (cell->text() != text)
                cell->setText(text);
            // The red rows and the grey column say why.
            const QString tip = c == 5 && !m_state.initValuesAvailable() ? noInitValue
                : !offered                                               ? notOffered
                                                                         : QString();
            if (cell->toolTip() != tip)
                cell->setToolTip(tip);
        }
        // A screen reader reads the knob's number cell as the whole row.
        QTableWidgetItem* number = item(r, 0);
        const QString spoken = QStringLiteral("Knob %1, ").arg(r)
            + fromModel(sendsText(m_state.catalogue, p, r - 1));
        if (number->data(Qt::AccessibleTextRole).toString() != spoken)
            number->setData(Qt::AccessibleTextRole, spoken);
    }
    markCollisions();
    viewport()->update();
}

void KnobTable::refreshCell(CellPos cell)
{
    if (cell.row < 1 || cell.row > kKnobCount || cell.column < 1 || cell.column > 5)
        return;
    const QString text
        = fromModel(m_state.catalogue.cellText(m_state.preset(), cell.row - 1, cell.column - 1));
    item(cell.row, cell.column)->setText(text);
    markCollisions();
    viewport()->update();
}

void KnobTable::markCollisions()
{
    const Preset& preset = m_state.preset();
    for (int r = 1; r <= kKnobCount; ++r) {
        QString tip;
        for (int k : collidingWith(preset, r - 1, m_state.knownMasterChannel()))
            tip += (tip.isEmpty() ? QString() : QStringLiteral(", ")) + QString::number(k + 1);
        if (!tip.isEmpty())
            tip = QStringLiteral("Sends the same event as knob ") + tip;
        item(r, 0)->setToolTip(tip);
    }
}

void KnobTable::closeNameEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

CellPos KnobTable::cellAtPos(QPoint viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    if (!index.isValid())
        return {};
    return { index.column(), index.row() };
}

QRect KnobTable::cellRect(CellPos cell) const
{
    return visualRect(model()->index(cell.row, cell.column));
}

void KnobTable::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_dragArmed && (event->buttons() & Qt::LeftButton)) {
        startKnobDrag();
        return;
    }
    if (pos == m_lastMousePos)
        return;
    m_lastMousePos = pos;
    if (window()->isActiveWindow() && !hasFocus() && state() != QAbstractItemView::EditingState)
        setFocus(Qt::MouseFocusReason);
    if (state() != QAbstractItemView::EditingState)
        m_controller.hover(cellAtPos(pos));
}

void KnobTable::mousePressEvent(QMouseEvent* event)
{
    const CellPos cell = cellAtPos(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        QTableWidget::mousePressEvent(event);
        m_controller.setCurrentCell(cell);
        const bool shift = event->modifiers() & Qt::ShiftModifier;
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        m_dragArmed = m_controller.leftPress(cell, shift, ctrl);
        return;
    }
    event->accept();
}

void KnobTable::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragArmed = false;
    if (event->button() == Qt::RightButton) {
        m_controller.rightClick(
            cellAtPos(event->position().toPoint()), event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTableWidget::mouseReleaseEvent(event);
}

void KnobTable::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_dragArmed = false;
    if (event->button() == Qt::LeftButton)
        QTableWidget::mouseDoubleClickEvent(event);
}

void KnobTable::keyPressEvent(QKeyEvent* event)
{
    if (state() != QAbstractItemView::EditingState
        && m_controller.keyPress(event->key(), event->modifiers(), event->isAutoRepeat())) {
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void KnobTable::keyReleaseEvent(QKeyEvent* event)
{
    m_controller.keyRelease(event->key(), event->isAutoRepeat());
    QTableWidget::keyReleaseEvent(event);
}

void KnobTable::contextMenuEvent(QContextMenuEvent* event)
{
    // The right button acts on its release; the keyboard's menu key arrives as a key.
    event->accept();
}

void KnobTable::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(kKnobDragMime) && m_state.dragOrigin == 2)
        event->acceptProposedAction();
    else
        event->ignore();
}

void KnobTable::dragMoveEvent(QDragMoveEvent* event)
{
    const CellPos cell = cellAtPos(event->position().toPoint());
    if (event->mimeData()->hasFormat(kKnobDragMime) && tableAcceptsDrag(m_state, cell))
        event->acceptProposedAction();
    else
        event->ignore();
}

void KnobTable::dropEvent(QDropEvent* event)
{
    const CellPos cell = cellAtPos(event->position().toPoint());
    if (!event->mimeData()->hasFormat(kKnobDragMime)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    dropOnTable(m_state, cell);
}

void KnobTable::startKnobDrag()
{
    m_dragArmed = false;
    execKnobDrag(this, m_state, false);
    unsetCursor();
}

} // namespace kestrow
