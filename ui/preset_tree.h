#pragma once

#include "editor_state.h"
#include "preset_bank.h"

#include <QListWidget>
#include <QStyledItemDelegate>

#include <functional>
#include <string>
#include <vector>

namespace kestrow {

/// Longest preset name the tree keeps.
constexpr std::size_t kPresetNameLength = 35;

/// How a tree item's background is painted.
enum class TreeShade { highlight, background, silver, white };

/// What decides the bank-group shading of the preset tree.
struct BankGroupOptions {
    DeviceVariant variant = DeviceVariant::zembraControl;
    bool showBankGroups = true;
    bool variable = false; ///< "&variable" rather than "fi&xed"
};

/// Background of item 0..127: the selected preset is highlighted (or shows
/// the desktop colour when not drawn selected); on a zembraDial with groups
/// shown the others alternate white/silver in groups of four, fixed from
/// preset 1 or moving with the selection; otherwise white.
TreeShade presetItemShade(int index, int selectedPreset, bool drawnSelected,
                          const BankGroupOptions& options);

/// The name an in-place edit stores (Windows-1252): trimmed, cut to 35, and
/// with a kept label ("12: ") removed up to the first colon and one more character.
std::string presetNameFromEdit(const std::string& text);

/// The name part of an item text: everything after the first ": ".
std::string presetNameFromItemText(const std::string& itemText);

/// A name returned by the name editor: trimmed and cut to 35 characters.
std::string presetNameFromEditor(const std::string& text);

/// Applies a tree drop of preset `source` on preset `target` (0..127) and
/// returns the presets to select afterwards, in order (selecting an item that
/// is already selected does nothing): for Move each preset that moved, then
/// target, source, target.
std::vector<int> applyPresetDrop(PresetBank& bank, int source, int target, DragOperation operation);

/// Item delegate that paints every row itself and reports confirmed edits.
class PresetItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using ShadeFunction = std::function<TreeShade(int row, bool drawnSelected)>;

    explicit PresetItemDelegate(QObject* parent = nullptr);
    void setShadeFunction(ShadeFunction shade) { m_shade = std::move(shade); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    /// The in-place editor was confirmed with this text (UTF-8).
    void editConfirmed(int row, const QString& text) const;

private:
    ShadeFunction m_shade;
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

    /// Drag operation fixed at the last mouse-down, and the cursors for it.
    void setDragCursors(const QCursor& copy, const QCursor& swap, const QCursor& move);
    /// Decides the operation from the modifier keys at mouse-down.
    std::function<DragOperation(Qt::KeyboardModifiers)> operationForModifiers;
    DragOperation dragOperation() const { return m_operation; }
    int dragSourceItem() const { return m_sourceRow; }

    /// Item at a position in viewport coordinates, -1 where none lies.
    int rowAt(const QPoint& viewportPos) const;

signals:
    void renameConfirmed(int row, const QString& text);
    void enterPressed(int row);
    void presetDropped(int source, int target, kestrow::DragOperation operation);
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
    QCursor m_cursors[3];
    bool m_haveCursors = false;
};

} // namespace kestrow
