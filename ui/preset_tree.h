#pragma once

#include "core/bank_operations.h"
#include "core/editor_state.h"
#include "core/preset_bank.h"
#include "core/preset_names.h"
#include "protocol/device_memory.h"

#include <QListWidget>
#include <QStringList>
#include <QStyledItemDelegate>

#include <functional>

namespace kestrow {

/// Item delegate that paints every row itself and reports confirmed edits.
class PresetItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using ShadeFunction = std::function<TreeShade(int row, bool drawnSelected)>;
    using MarkFunction = std::function<bool(int row)>;
    using DeviceMarkFunction = std::function<DeviceMark(int row)>;

    explicit PresetItemDelegate(QObject* parent = nullptr);
    void setShadeFunction(ShadeFunction shade) { m_shade = std::move(shade); }
    /// Rows with a red bar at their visible right edge (knobs that send the
    /// same event); the bank shade stays.
    void setDuplicateMarkFunction(MarkFunction mark) { m_duplicateMark = std::move(mark); }
    /// What the device holds of each row, as a mark left of that bar: none
    /// while unknown, a ring once sent, a green dot once read back the same,
    /// an orange dot where the device holds something else.
    void setDeviceMarkFunction(DeviceMarkFunction mark) { m_deviceMark = std::move(mark); }
    /// The tooltip of a device mark; empty for none.
    static QString deviceMarkTip(DeviceMark mark);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    void setModelData(
        QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    /// The row's tooltip at a viewport position: what a mark means over the
    /// mark, else the whole name where it is cut short, with the row's marks.
    QString toolTipAt(
        const QStyleOptionViewItem& option, const QModelIndex& index, QPoint pos) const;

signals:
    /// The in-place editor was confirmed with this text (UTF-8).
    void editConfirmed(int row, const QString& text) const;

private:
    /// Where the name, the red bar and the device dot go; null rects for absent marks.
    struct RowLayout {
        QRect text;
        QRect bar;
        QRect dot;
    };
    RowLayout layoutRow(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    ShadeFunction m_shade;
    MarkFunction m_duplicateMark;
    DeviceMarkFunction m_deviceMark;
};

/// The flat list of 128 presets: owner-painted, renamed in place, presets
/// dragged onto each other. Gestures are reported by signals; the window
/// decides what they do.
class PresetTree : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kIndent = 15;

    explicit PresetTree(QWidget* parent = nullptr);

    PresetItemDelegate* itemDelegateForPresets() const { return m_delegate; }

    /// Decides the operation from the modifier keys at mouse-down.
    std::function<DragOperation(Qt::KeyboardModifiers)> operationForModifiers;
    /// Drag operation fixed at the last mouse-down.
    DragOperation dragOperation() const { return m_operation; }
    int dragSourceItem() const { return m_sourceRow; }

    /// Item at a position in viewport coordinates, -1 where none lies.
    int rowAt(const QPoint& viewportPos) const;

signals:
    void renameConfirmed(int row, const QString& text);
    void enterPressed(int row);
    void presetDropped(int source, int target, kestrow::DragOperation operation);
    /// Local files dropped from outside over item row (-1 where no item lies).
    void filesDropped(const QStringList& paths, int row);
    void focusGained();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void startPresetDrag();

    PresetItemDelegate* m_delegate;
    DragOperation m_operation = DragOperation::copy;
    int m_sourceRow = -1;
    QPoint m_pressPos;
    bool m_pressed = false;
    bool m_viewHasPress = false; ///< the list view saw the press (edit on release)
};

} // namespace kestrow
