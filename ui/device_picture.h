#pragma once

#include "core/editor_state.h"
#include "ui/accessible_parts.h"
#include "ui/picture_forms.h"

#include <QWidget>

#include <memory>

namespace kestrow {

/// The 369 x 147 device picture: shows the knob set of the current variant
/// with hoverKnob highlighted, and is a source and target of knob drags.
/// Its 16 knobs are seen by assistive technology, each with what it sends;
/// with the focus, the arrow keys go from knob to knob.
class DevicePicture : public QWidget, public AccessibleParts {
    Q_OBJECT
public:
    explicit DevicePicture(EditorState& state, QWidget* parent = nullptr);
    ~DevicePicture() override;

    /// Knob 1..16 shown highlighted, 0 when the plain picture is shown.
    int shownKnob() const { return m_shownKnob; }
    const PictureSets& pictureSets() const { return *m_sets; }

    // Gestures in picture coordinates, called by the event handlers and by tests.
    /// Pointer moved; a new knob under it becomes hoverKnob and is shown.
    void pointerMovedTo(QPoint pos);
    /// Button pressed: fixes the drag operation and, over a knob, loads the
    /// knob into the clipboard and arms a drag. Returns whether a drag is armed.
    bool pressAt(QPoint pos, bool shift, bool ctrl);
    /// Button released without a drag: over a knob pastes that clipboard slot into it.
    void releaseAt(QPoint pos);
    /// A drag in progress dropped at pos; returns whether the preset changed.
    bool dropAt(QPoint pos);
    /// Knob 1..16 becomes hoverKnob and is shown, as if the pointer went there.
    void hoverKnob(int knob);

    int accessiblePartCount() const override;
    QString accessiblePartName(int part) const override;
    QString accessiblePartValue(int part) const override;
    QRect accessiblePartRect(int part) const override;
    QAccessible::Role accessiblePartRole() const override;
    void pressAccessiblePart(int part) override { hoverKnob(part + 1); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showKnob(int knob);

    EditorState& m_state;
    std::unique_ptr<PictureSets> m_sets;
    int m_shownKnob = 0;
    bool m_dragArmed = false;
    bool m_dragged = false;
};

} // namespace kestrow
