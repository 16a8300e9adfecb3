// bare_window: the start-up baseline of scripts/bench. An empty Qt window of
// the main window's size and flags that reports its first paint as the editor
// does (KESTROW_FIRST_PAINT).
//
//   bare_window WIDTH HEIGHT FLAGS

#include "first_paint_probe.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int width = argc > 1 ? std::atoi(argv[1]) : 790;
    const int height = argc > 2 ? std::atoi(argv[2]) : 553;
    const auto flags = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 0ul;
    QWidget window;
    if (flags != 0)
        window.setWindowFlags(Qt::WindowFlags::fromInt(static_cast<int>(flags)));
    window.setFixedSize(width, height);
    kestrow::FirstPaintProbe::installFromEnvironment(window);
    window.show();
    return app.exec();
}
