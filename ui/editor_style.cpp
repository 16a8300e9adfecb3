#include "ui/editor_style.h"

#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QWidget>

namespace kestrow {

namespace {

    /// Stands in for a standard icon of style and asks style for it on first use.
    class DeferredIconEngine : public QIconEngine {
    public:
        DeferredIconEngine(QStyle* style, QStyle::StandardPixmap which, const QWidget* widget)
            : m_style(style)
            , m_which(which)
            , m_widget(widget)
        {
        }

        void paint(
            QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
        {
            icon().paint(painter, rect, Qt::AlignCenter, mode, state);
        }

        QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
        {
            return icon().pixmap(size, mode, state);
        }

        QPixmap scaledPixmap(
            const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
        {
            return icon().pixmap(size, scale, mode, state);
        }

        QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
        {
            return icon().actualSize(size, mode, state);
        }

        QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
        {
            return icon().availableSizes(mode, state);
        }

        QIconEngine* clone() const override
        {
            auto* copy = new DeferredIconEngine(m_style, m_which, m_widget);
            copy->m_icon = m_icon;
            copy->m_loaded = m_loaded;
            return copy;
        }

    private:
        const QIcon& icon()
        {
            if (!m_loaded) {
                m_loaded = true;
                if (m_style)
                    m_icon = m_style->standardIcon(m_which, nullptr, m_widget);
            }
            return m_icon;
        }

        QPointer<QStyle> m_style;
        QStyle::StandardPixmap m_which;
        QPointer<const QWidget> m_widget;
        QIcon m_icon;
        bool m_loaded = false;
    };

} // namespace

EditorStyle::EditorStyle(QStyle* base)
    : QProxyStyle(base)
{
}

QIcon EditorStyle::standardIcon(
    StandardPixmap standardIcon, const QStyleOption* option, const QWidget* widget) const
{
    // Only the menu bar's request, which comes without an option; any other
    // icon is read at once as before.
    const bool extension = standardIcon == SP_ToolBarHorizontalExtensionButton
        || standardIcon == SP_ToolBarVerticalExtensionButton;
    if (extension && option == nullptr)
        return QIcon(new DeferredIconEngine(baseStyle(), standardIcon, widget));
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

} // namespace kestrow
