#include "ui/fit_text.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QWidget>

#include <algorithm>

namespace kestrow {

namespace {

    bool placedByHand(const QWidget& widget)
    {
        const QWidget* parent = widget.parentWidget();
        return parent != nullptr && parent->layout() == nullptr && !widget.isWindow();
    }

    bool showsOneLineOfText(const QWidget& widget)
    {
        if (const auto* label = qobject_cast<const QLabel*>(&widget))
            return !label->wordWrap() && !label->text().isEmpty();
        return qobject_cast<const QAbstractButton*>(&widget) != nullptr;
    }

    /// Grows `box` so that every shown child lies inside it, with the margin
    /// its left-most child keeps on the left.
    void holdChildren(QWidget& box)
    {
        int right = 0;
        int bottom = 0;
        int margin = box.width();
        for (const QWidget* child : box.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow() || child->isHidden())
                continue;
            right = std::max(right, child->geometry().right());
            bottom = std::max(bottom, child->geometry().bottom());
            margin = std::min(margin, child->x());
        }
        margin = std::clamp(margin, 2, 10);
        const QSize needed(
            std::max(box.width(), right + 1 + margin), std::max(box.height(), bottom + 1));
        if (needed == box.size())
            return;
        if (box.minimumSize() == box.maximumSize())
            box.setFixedSize(needed);
        else
            box.resize(needed);
    }

} // namespace

void fitTextWidgets(QWidget& root)
{
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (!placedByHand(*widget) || !showsOneLineOfText(*widget))
            continue;
        const QSize hint = widget->sizeHint();
        if (widget->width() < hint.width())
            widget->resize(hint.width(), std::max(widget->height(), hint.height()));
    }
    // Innermost boxes first, so that each outer one sees its grown children.
    QList<QGroupBox*> boxes = root.findChildren<QGroupBox*>();
    std::reverse(boxes.begin(), boxes.end());
    for (QGroupBox* box : boxes) {
        if (placedByHand(*box))
            holdChildren(*box);
    }
    if (root.layout() == nullptr)
        holdChildren(root);
}

} // namespace kestrow
