// paint_probe: loaded with LD_PRELOAD into a Qt program that knows nothing
// of the bench (qjackctl), it reports that program's first paint as the
// editor's FirstPaintProbe does: once the first paint of a top-level window
// has been handled, a queued report prints "first-paint NS WIDTH HEIGHT
// FLAGS" on stdout (NS: the steady clock, CLOCK_MONOTONIC).

#include "ui/first_paint_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class AnyWindowProbe : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_window == nullptr && event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->isWindow()) {
            m_window = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void report()
    {
        kestrow::printFirstPaint(*m_window);
        QCoreApplication::instance()->removeEventFilter(this);
    }

    QWidget* m_window = nullptr;
};

void installProbe() { QCoreApplication::instance()->installEventFilter(new AnyWindowProbe); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
