#include "ui/accessible_parts.h"

#include <QAccessibleWidget>
#include <QWidget>

#include <vector>

namespace kestrow {

namespace {

    AccessibleParts* partsOf(QObject* object)
    {
        return object != nullptr && object->isWidgetType() ? dynamic_cast<AccessibleParts*>(object)
                                                           : nullptr;
    }

    class PartsWidget;

    /// One part: no object of its own, so it asks its widget for everything.
    class Part : public QAccessibleInterface, public QAccessibleActionInterface {
    public:
        Part(PartsWidget& owner, int index)
            : m_owner(owner)
            , m_index(index)
        {
        }

        bool isValid() const override;
        QObject* object() const override { return nullptr; }
        QWindow* window() const override;
        QAccessibleInterface* parent() const override;
        QAccessibleInterface* child(int) const override { return nullptr; }
        int childCount() const override { return 0; }
        int indexOfChild(const QAccessibleInterface*) const override { return -1; }
        QAccessibleInterface* childAt(int, int) const override { return nullptr; }
        QString text(QAccessible::Text field) const override;
        void setText(QAccessible::Text, const QString&) override { }
        QRect rect() const override;
        QAccessible::Role role() const override;
        QAccessible::State state() const override;
        void* interface_cast(QAccessible::InterfaceType type) override
        {
            return type == QAccessible::ActionInterface
                ? static_cast<QAccessibleActionInterface*>(this)
                : nullptr;
        }

        QStringList actionNames() const override;
        void doAction(const QString& name) override;
        QStringList keyBindingsForAction(const QString&) const override { return {}; }

    private:
        AccessibleParts* parts() const;
        QWidget* widget() const;

        PartsWidget& m_owner;
        int m_index;
    };

    /// The control itself: a group whose children are its parts.
    class PartsWidget : public QAccessibleWidget {
    public:
        explicit PartsWidget(QWidget* widget)
            : QAccessibleWidget(widget, QAccessible::Grouping)
        {
        }

        ~PartsWidget() override
        {
            for (Part* part : m_parts) {
                if (part != nullptr)
                    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(part));
            }
        }

        AccessibleParts* parts() const { return partsOf(object()); }

        int childCount() const override
        {
            return parts() != nullptr ? parts()->accessiblePartCount() : 0;
        }

        QAccessibleInterface* child(int index) const override
        {
            if (index < 0 || index >= childCount())
                return nullptr;
            if (m_parts.size() <= static_cast<std::size_t>(index))
                m_parts.resize(static_cast<std::size_t>(index) + 1, nullptr);
            Part*& part = m_parts[static_cast<std::size_t>(index)];
            if (part == nullptr) {
                part = new Part(*const_cast<PartsWidget*>(this), index);
                QAccessible::registerAccessibleInterface(part);
            }
            return part;
        }

        int indexOfChild(const QAccessibleInterface* child) const override
        {
            for (std::size_t i = 0; i < m_parts.size(); ++i) {
                if (m_parts[i] == child)
                    return static_cast<int>(i);
            }
            return -1;
        }

        QAccessibleInterface* childAt(int x, int y) const override
        {
            const QPoint local = widget()->mapFromGlobal(QPoint(x, y));
            for (int i = 0; i < childCount(); ++i) {
                if (parts()->accessiblePartRect(i).contains(local))
                    return child(i);
            }
            return nullptr;
        }

    private:
        mutable std::vector<Part*> m_parts;
    };

    bool Part::isValid() const
    {
        return parts() != nullptr && m_index < parts()->accessiblePartCount();
    }

    QWindow* Part::window() const { return m_owner.window(); }

    QAccessibleInterface* Part::parent() const { return &m_owner; }

    AccessibleParts* Part::parts() const { return m_owner.parts(); }

    QWidget* Part::widget() const { return static_cast<QWidget*>(m_owner.object()); }

    QString Part::text(QAccessible::Text field) const
    {
        if (!isValid())
            return {};
        switch (field) {
        case QAccessible::Name:
            return parts()->accessiblePartName(m_index);
        case QAccessible::Value:
        case QAccessible::Description:
            return parts()->accessiblePartValue(m_index);
        default:
            return {};
        }
    }

    QRect Part::rect() const
    {
        if (!isValid())
            return {};
        const QRect local = parts()->accessiblePartRect(m_index);
        return QRect(widget()->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::Role Part::role() const
    {
        return isValid() ? parts()->accessiblePartRole() : QAccessible::NoRole;
    }

    QAccessible::State Part::state() const
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.invisible = !widget()->isVisible();
        state.disabled = !widget()->isEnabled();
        state.checkable = parts()->accessiblePartCheckable();
        state.checked = state.checkable && parts()->accessiblePartChecked(m_index);
        return state;
    }

    QStringList Part::actionNames() const
    {
        if (!isValid())
            return {};
        return { parts()->accessiblePartCheckable() ? toggleAction() : pressAction() };
    }

    void Part::doAction(const QString& name)
    {
        if (isValid() && actionNames().contains(name))
            parts()->pressAccessiblePart(m_index);
    }

    QAccessibleInterface* partsFactory(const QString&, QObject* object)
    {
        if (partsOf(object) == nullptr)
            return nullptr;
        return new PartsWidget(static_cast<QWidget*>(object));
    }

} // namespace

void installAccessibleParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(partsFactory);
}

QString accessiblePartText(QObject* widget, int part, QAccessible::Text field)
{
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
    QAccessibleInterface* child = control != nullptr ? control->child(part) : nullptr;
    return child != nullptr ? child->text(field) : QString();
}

} // namespace kestrow
