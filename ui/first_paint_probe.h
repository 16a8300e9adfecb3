#pragma once

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace kestrow {

/// The bench's report of a first paint: "first-paint NS WIDTH HEIGHT FLAGS".
inline void printFirstPaint(const QWidget& window)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("first-paint %lld %d %d 0x%x\n",
        static_cast<long long>(std::chrono::nanoseconds(now).count()), window.width(),
        window.height(), static_cast<unsigned>(window.windowFlags().toInt()));
    std::fflush(stdout);
}

/// For scripts/bench: once `window` has been painted and flushed, prints
/// "first-paint NS WIDTH HEIGHT FLAGS" on stdout (NS: the steady clock, which
/// is CLOCK_MONOTONIC). With quit set the process then ends at once, without
/// the close path, so nothing is saved; with close the window is closed as by
/// its close box (tests of the close path). Header-only, so that the bench's bare
/// window reports in exactly the same way without linking the editor.
class FirstPaintProbe : public QObject {
public:
    FirstPaintProbe(QWidget& window, bool quit, bool close = false)
        : QObject(&window)
        , m_window(window)
        , m_quit(quit)
        , m_close(close)
    {
        window.installEventFilter(this);
    }

    /// Installs a probe when KESTROW_FIRST_PAINT is set ("quit" ends the run
    /// after the report, "close" closes the window); otherwise does nothing.
    static void installFromEnvironment(QWidget& window)
    {
        const char* mode = std::getenv("KESTROW_FIRST_PAINT");
        if (mode && *mode)
            new FirstPaintProbe(
                window, std::strcmp(mode, "quit") == 0, std::strcmp(mode, "close") == 0);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Queued: runs once this paint has reached the screen.
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    void report()
    {
        printFirstPaint(m_window);
        if (m_quit)
            ::_exit(0);
        if (m_close)
            m_window.close();
    }

    QWidget& m_window;
    bool m_quit = false;
    bool m_close = false;
    bool m_seen = false;
};

} // namespace kestrow
