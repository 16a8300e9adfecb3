// bare_window: the start-up baseline of scripts/bench. An empty Qt window of
// the main window's size and flags that reports its first paint as the editor
// does (KESTROW_FIRST_PAINT). With "label" it shows one line of text, the
// bench's reference for what drawing any text costs (the font system). With
// "widgets" it is a main window holding the stock Qt widgets the editor's
// window is built from, at the same places and in the same numbers, with no
// program behind them: the floor that the toolkit alone sets for that window.
//
//   bare_window WIDTH HEIGHT FLAGS [label|widgets]

#include "ui/first_paint_probe.h"
#include "ui/main_layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

/// The editor's window in stock widgets: heading, send panel, preset list,
/// picture frame, description box, knob table, menus and status line.
std::unique_ptr<QWidget> stockWidgetWindow(int width, int height)
{
    auto window = std::make_unique<QMainWindow>();
    auto* client = new QWidget(window.get());
    client->setFixedSize(width, height);
    window->setCentralWidget(client);

    auto* heading = new QLabel(QStringLiteral("1: Init Preset"), client);
    heading->setGeometry(7, 9, 541, 30);
    auto* send = new QPushButton(QStringLiteral("Send"), client);
    send->setGeometry(562, 7, 44, 40);
    (new QLabel(QStringLiteral("Send Preset"), client))->setGeometry(611, 4, 102, 15);
    (new QCheckBox(QStringLiteral("&AutoSend"), client))->setGeometry(715, 22, 75, 20);

    auto* list = new QListWidget(client);
    list->setGeometry(0, 53, 181, 481);
    for (int i = 1; i <= 128; ++i)
        new QListWidgetItem(QStringLiteral("%1: Init Preset").arg(i), list);
    auto* picture = new QFrame(client);
    picture->setFrameShape(QFrame::Box);
    picture->setGeometry(181, 48, 374, 158);
    auto* description = new QPlainTextEdit(QStringLiteral("Init Preset"), client);
    description->setGeometry(555, 54, 235, 152);
    description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    description->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* table = new QTableWidget(client);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setRowCount(17);
    table->setColumnCount(6);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setGeometry(181, 208, 609, 326);
    for (int row = 0; row < 17; ++row) {
        table->setRowHeight(row, 19);
        for (int column = 0; column < 6; ++column)
            table->setItem(row, column, new QTableWidgetItem(QStringLiteral("No-Event")));
    }

    // About as many menus, submenus and items as the editor's menu bar.
    for (int m = 0; m < 8; ++m) {
        QMenu* menu = window->menuBar()->addMenu(QStringLiteral("&Menu %1").arg(m));
        for (int i = 0; i < 8; ++i)
            menu->addAction(QStringLiteral("Item %1").arg(i));
        if (m < 5) {
            for (int sub = 0; sub < 2; ++sub) {
                QMenu* submenu = menu->addMenu(QStringLiteral("Submenu %1").arg(sub));
                for (int i = 0; i < 4; ++i)
                    submenu->addAction(QStringLiteral("Item %1").arg(i));
            }
        }
    }
    window->statusBar()->addWidget(new QLabel(QStringLiteral("No device")), 1);
    return window;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int width = argc > 1 ? std::atoi(argv[1]) : 790;
    const int height = argc > 2 ? std::atoi(argv[2]) : 553;
    const auto flags = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 0ul;
    const char* mode = argc > 4 ? argv[4] : "";
    std::unique_ptr<QWidget> window;
    if (std::strcmp(mode, "widgets") == 0) {
        // The client area is the window less its menu bar and status line.
        window = stockWidgetWindow(
            kestrow::MainLayout::kClientWidth, kestrow::MainLayout::kClientHeight);
    } else {
        window = std::make_unique<QWidget>();
        window->setFixedSize(width, height);
        if (std::strcmp(mode, "label") == 0)
            new QLabel(QStringLiteral("1: Init Preset"), window.get());
    }
    if (flags != 0)
        window->setWindowFlags(Qt::WindowFlags::fromInt(static_cast<int>(flags)));
    kestrow::FirstPaintProbe::installFromEnvironment(*window);
    window->show();
    return app.exec();
}
