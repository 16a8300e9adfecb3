#pragma once

#include <QProxyStyle>

namespace kestrow {

/// The style the application would use anyway, except that the menu bar's
/// extension icon is loaded when first drawn. Qt's own style reads that icon
/// at once, and reading an image of unnamed format loads and asks every
/// image-format plugin (and libjpeg) at start-up, for a button that shows
/// only when the menus do not fit.
class EditorStyle : public QProxyStyle {
public:
    /// Wraps base (the application's current style), taking it over.
    explicit EditorStyle(QStyle* base);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;
};

} // namespace kestrow
