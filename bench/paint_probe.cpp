// paint_probe: loaded with LD_PRELOAD into a Qt program that knows nothing
// of the bench (qjackctl), it reports that program's first paint as the
// editor's FirstPaintProbe does: once the first paint of a top-level window
// has been handled, a queued report prints "first-paint NS WIDTH HEIGHT
// FLAGS" on stdout (NS: the steady clock, CLOCK_MONOTONIC).

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

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
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("first-paint %lld %d %d 0x%x\n",
            static_cast<long long>(std::chrono::nanoseconds(now).count()), m_window->width(),
            m_window->height(), static_cast<unsigned>(m_window->windowFlags().toInt()));
        std::fflush(stdout);
        QCoreApplication::instance()->removeEventFilter(this);
    }

    QWidget* m_window = nullptr;
};

void installProbe() { QCoreApplication::instance()->installEventFilter(new AnyWindowProbe); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
