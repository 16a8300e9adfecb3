#pragma once

#include <QColor>

#include <cmath>

namespace kestrow {

/// `preferred` where it reads well on `background`, else black or white,
/// whichever stands out more. A fixed background (the white knob cells, the
/// orange collision mark) keeps its text readable under a dark desktop
/// palette, whose window-text colour is light.
inline QColor readableOn(const QColor& background, const QColor& preferred)
{
    // Relative brightness, ITU-R BT.601 weights, 0..255.
    const auto brightness
        = [](const QColor& c) { return 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue(); };
    const double back = brightness(background);
    if (std::abs(back - brightness(preferred)) >= 110)
        return preferred;
    return back >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace kestrow
