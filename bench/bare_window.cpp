// bare_window: the start-up baseline of scripts/bench. An empty Qt window of
// the main window's size and flags that reports its first paint as the editor
// does (KESTROW_FIRST_PAINT). With "label" it shows one line of text, the
// bench's reference for what drawing any text costs (the font system).
//
//   bare_window WIDTH HEIGHT FLAGS [label]

#include "ui/first_paint_probe.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstdlib>
#include <cstring>

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
    if (argc > 4 && std::strcmp(argv[4], "label") == 0)
        new QLabel(QStringLiteral("1: Init Preset"), &window);
    kestrow::FirstPaintProbe::installFromEnvironment(window);
    window.show();
    return app.exec();
}
