// The knob table window and its printing: layout at screen and printer
// resolution, navigation with its clamps and wrap-around, a real PDF print.

#include "description_form.h"
#include "knob_table_layout.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

using namespace kestrow;

namespace
{

PresetBank namedBank()
{
    PresetBank bank;
    for (int p = 0; p < kPresetCount; ++p)
    {
        auto& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Preset " + std::to_string(p + 1);
        for (int k = 0; k < kKnobCount; ++k)
            preset.knobName[static_cast<std::size_t>(k)] = "K" + std::to_string(k + 1);
    }
    return bank;
}

QImage drawn(const PresetBank& bank, int firstPreset, int count, int dpi)
{
    QImage image(knobTableSurfaceSize(count, dpi, dpi), QImage::Format_RGB32);
    image.fill(Qt::lightGray);
    QPainter painter(&image);
    drawKnobTable(painter, bank, firstPreset, count, dpi, dpi);
    return image;
}

QImage shownSurface(const QWidget& form, const PresetBank& bank, int firstPreset, int count)
{
    QImage image(knobTableSurfaceSize(count, 96, 96), QImage::Format_RGB32);
    image.fill(form.palette().color(QPalette::Window));
    QPainter painter(&image);
    drawKnobTable(painter, bank, firstPreset, count, 96, 96);
    return image;
}

bool isDark(QRgb pixel) { return qGray(pixel) < 128; }

void sendWheel(QWidget& widget, int deltaY)
{
    QWheelEvent event(QPointF(10, 10), widget.mapToGlobal(QPointF(10, 10)), QPoint(),
        QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&widget, &event);
}

// Dark-pixel extent along one image row: first and last dark column.
std::pair<int, int> darkExtent(const QImage& image, int y)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x)
    {
        if (isDark(image.pixel(x, y)))
        {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return { first, last };
}

} // namespace

class KnobTableTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutAtScreenAndPrinterResolution();
    void titlesAndWrapAround();
    void keysClampAndWrap();
    void pageKeysHomeEnd();
    void wheelMovesOnePresetPerNotch();
    void windowFitsTheSurface();
    void namesAreClippedAtTheBoxEdge();
    void printsToPdfAtPhysicalSize();
    void cancelledSetupPrintsNothing();
};

void KnobTableTest::layoutAtScreenAndPrinterResolution()
{
    // 295 x 600 / 254 and 50 x 600 / 254, truncated.
    QCOMPARE(knobTableBoxRect(0, 0, 600, 600).size(), QSize(696, 118));
    QCOMPARE(knobTableSurfaceSize(8, 96, 96), QSize(902, 707));
    QCOMPARE(knobTableSurfaceSize(4, 96, 96), QSize(902, 353));
    // x and y follow their own resolution.
    QCOMPARE(knobTableSurfaceSize(4, 600, 300), QSize(5638, 1105));

    // Knobs 1-8 across the upper row, 9-16 across the lower; the last box
    // ends inside the table.
    const QRect knob1 = knobTableBoxRect(0, 0, 600, 600);
    const QRect knob8 = knobTableBoxRect(0, 7, 600, 600);
    const QRect knob9 = knobTableBoxRect(0, 8, 600, 600);
    QCOMPARE(knob1.topLeft(), QPoint(7, 170));
    QCOMPARE(knob9.left(), knob1.left());
    QCOMPARE(knob9.top(), 359); // 15.2 mm from the block's top
    QCOMPARE(knob8.top(), knob1.top());
    QVERIFY(knob8.right() < knobTableSurfaceSize(1, 600, 600).width());
    // Block 3 begins 3 x 23.4 mm further down.
    QCOMPARE(knobTableBoxRect(3, 0, 600, 600).top(), (3 * 234 + 72) * 600 / 254);
    QCOMPARE(knobTableTitleRect(0, 96, 96), QRect(4, 1, 302, 18));

    // Fonts keep their point size: 13 and 9 pixels on screen.
    QCOMPARE(knobTableTitleFont(96).pixelSize(), 13);
    QCOMPARE(knobTableNameFont(96).pixelSize(), 9);
    QCOMPARE(knobTableNameFont(600).pixelSize(), 58);
}

void KnobTableTest::titlesAndWrapAround()
{
    Preset pad;
    pad.name = "Pad";
    QCOMPARE(knobTableTitle(pad, 6), QStringLiteral("7:  Pad"));
    pad.name = "Caf\xe9";
    QCOMPARE(knobTableTitle(pad, 127), QStringLiteral("128:  Caf\u00e9"));

    QCOMPARE(knobTableBlockPreset(124, 3), 127);
    QCOMPARE(knobTableBlockPreset(124, 4), 0);
    QCOMPARE(knobTableBlockPreset(124, 7), 3);
}

void KnobTableTest::keysClampAndWrap()
{
    const PresetBank bank = namedBank();
    TDescriptionForm form;
    // Preset 125 selected: 125..128, then 1..4.
    form.showKnobTable(bank, 124, 8);
    QCOMPARE(form.firstPreset(), 124);
    QCOMPARE(form.surface(), shownSurface(form, bank, 124, 8));
    if (qEnvironmentVariableIsSet("KESTROW_KEEP_SURFACE"))
        form.surface().save(qEnvironmentVariable("KESTROW_KEEP_SURFACE"));

    // Down clamps to 128 - 8: the top block becomes preset 121.
    QTest::keyClick(&form, Qt::Key_Down);
    QCOMPARE(form.firstPreset(), 120);
    QTest::keyClick(&form, Qt::Key_Down);
    QCOMPARE(form.firstPreset(), 120);
    // The surface follows the new first preset.
    QCOMPARE(form.surface(), shownSurface(form, bank, 120, 8));

    QTest::keyClick(&form, Qt::Key_Home);
    QCOMPARE(form.firstPreset(), 0);
    QTest::keyClick(&form, Qt::Key_Up);
    QCOMPARE(form.firstPreset(), 0);

    // Up from beyond the last full table moves by one and keeps wrapping.
    form.showKnobTable(bank, 126, 4);
    QTest::keyClick(&form, Qt::Key_Up);
    QCOMPARE(form.firstPreset(), 125);

    QVERIFY(form.isVisible());
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    // Reopening keeps what it is told.
    form.showKnobTable(bank, 3, 4);
    QCOMPARE(form.firstPreset(), 3);
    QCOMPARE(form.presetCount(), 4);
}

void KnobTableTest::pageKeysHomeEnd()
{
    const PresetBank bank = namedBank();
    TDescriptionForm form;
    form.showKnobTable(bank, 0, 4);
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(form.firstPreset(), 4);
    form.showKnobTable(bank, 2, 4);
    QTest::keyClick(&form, Qt::Key_PageUp);
    QCOMPARE(form.firstPreset(), 0);
    form.showKnobTable(bank, 122, 4);
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(form.firstPreset(), 124);
    QTest::keyClick(&form, Qt::Key_PageUp);
    QCOMPARE(form.firstPreset(), 120);

    form.showKnobTable(bank, 50, 8);
    QTest::keyClick(&form, Qt::Key_End);
    QCOMPARE(form.firstPreset(), 120);
    QTest::keyClick(&form, Qt::Key_PageDown);
    QCOMPARE(form.firstPreset(), 120);
    QTest::keyClick(&form, Qt::Key_Home);
    QCOMPARE(form.firstPreset(), 0);
    QTest::keyClick(&form, Qt::Key_PageUp);
    QCOMPARE(form.firstPreset(), 0);
}

void KnobTableTest::wheelMovesOnePresetPerNotch()
{
    const PresetBank bank = namedBank();
    TDescriptionForm form;
    form.showKnobTable(bank, 10, 4);
    sendWheel(form, 120); // away from the user
    QCOMPARE(form.firstPreset(), 9);
    sendWheel(form, -120);
    sendWheel(form, -120);
    QCOMPARE(form.firstPreset(), 11);
    // Half notches add up to one preset.
    sendWheel(form, -60);
    QCOMPARE(form.firstPreset(), 11);
    sendWheel(form, -60);
    QCOMPARE(form.firstPreset(), 12);

    form.showKnobTable(bank, 124, 4);
    sendWheel(form, -120);
    QCOMPARE(form.firstPreset(), 124);
    form.showKnobTable(bank, 0, 4);
    sendWheel(form, 240);
    QCOMPARE(form.firstPreset(), 0);
}

void KnobTableTest::windowFitsTheSurface()
{
    const PresetBank bank = namedBank();
    TDescriptionForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("DescriptionForm"));
    form.showKnobTable(bank, 0, 8);
    QCOMPARE(form.size(), QSize(902, 707));
    QCOMPARE(form.minimumSize(), form.maximumSize()); // fixed border
    form.showKnobTable(bank, 0, 4);
    QCOMPARE(form.size(), QSize(902, 353));

    QCOMPARE(knobTableWindowSize(QSize(902, 707), 383), QSize(912, 737));
    QCOMPARE(knobTableWindowSize(QSize(902, 353), 800), QSize(912, 383));
    QCOMPARE(knobTableWindowSize(QSize(902, 707), 801), QSize(912, 500));

    // Nonsense from a caller does not crash and lands on a real table.
    form.showKnobTable(bank, 300, 0);
    QVERIFY(form.firstPreset() >= 0 && form.firstPreset() < kPresetCount);
    QVERIFY(form.presetCount() >= 1);
    form.showKnobTable(bank, -1, 4);
    QCOMPARE(form.firstPreset(), 127);
}

void KnobTableTest::namesAreClippedAtTheBoxEdge()
{
    PresetBank bank;
    bank.presets[0].name = std::string(200, 'W');
    bank.presets[0].knobName[0] = std::string(60, 'W');
    const int dpi = 300;
    const QImage image = drawn(bank, 0, 1, dpi);
    const QRect box = knobTableBoxRect(0, 0, dpi, dpi);
    const QRect next = knobTableBoxRect(0, 1, dpi, dpi);
    QVERIFY(next.left() - box.right() > 2);

    int inkInBox = 0;
    for (int y = box.top() + 1; y < box.bottom(); ++y)
    {
        for (int x = box.left() + 1; x < box.right(); ++x)
            inkInBox += isDark(image.pixel(x, y)) ? 1 : 0;
        // Nothing between this box and the next.
        for (int x = box.right() + 1; x < next.left(); ++x)
            QVERIFY2(!isDark(image.pixel(x, y)),
                qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
        // The next box is empty inside.
        QVERIFY(!isDark(image.pixel(next.left() + next.width() / 2, y)));
    }
    QVERIFY(inkInBox > 100);
    // The frame lies inside the box on all four sides.
    QVERIFY(isDark(image.pixel(box.left(), box.center().y())));
    QVERIFY(isDark(image.pixel(box.right(), box.center().y())));
    QVERIFY(isDark(image.pixel(box.center().x(), box.top())));
    QVERIFY(isDark(image.pixel(box.center().x(), box.bottom())));
    QVERIFY(!isDark(image.pixel(box.right() + 1, box.center().y())));

    // The title is clipped to its box too.
    const QRect title = knobTableTitleRect(0, dpi, dpi);
    for (int y = title.top(); y <= title.bottom(); ++y)
        for (int x = title.right() + 1; x < image.width(); ++x)
            QVERIFY(!isDark(image.pixel(x, y)));
}

void KnobTableTest::printsToPdfAtPhysicalSize()
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        QSKIP("pdftoppm (poppler-utils) is not installed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("table.pdf"));
    PresetBank bank = namedBank();
    bank.presets[6].name = "Pad";

    TDescriptionForm form;
    int setups = 0;
    form.setPrinterSetup(
        [&](QPrinter& printer)
        {
            ++setups;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setResolution(600);
            printer.setPageSize(QPageSize(QPageSize::A4));
            return true;
        });
    QVERIFY(form.printKnobTable(bank, 124, 8));
    QCOMPARE(setups, 1);
    // The page is landscape unless the user turns it: the table is 238.7 mm wide.
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5) == "%PDF-");
    file.close();

    const int renderDpi = 150;
    QProcess render;
    render.start(pdftoppm,
        { QStringLiteral("-r"), QString::number(renderDpi), QStringLiteral("-png"),
            QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page")) });
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.exitCode(), 0);
    const QImage page(dir.filePath(QStringLiteral("page.png")));
    QVERIFY(!page.isNull());
    QVERIFY(page.width() > page.height());
    if (qEnvironmentVariableIsSet("KESTROW_KEEP_PRINT"))
        page.save(qEnvironmentVariable("KESTROW_KEEP_PRINT"));

    // Find the upper box row of the first block: the first row from the top
    // whose dark run spans most of the page width.
    const double pixelsPerMm = renderDpi / 25.4;
    int frameRow = -1;
    for (int y = 0; y < page.height() && frameRow < 0; ++y)
    {
        const auto [first, last] = darkExtent(page, y);
        if (first >= 0 && last - first > 200 * pixelsPerMm)
            frameRow = y;
    }
    QVERIFY(frameRow >= 0);
    // Outer frame edges of knob 1 and knob 8: 238.1 mm apart (the table is
    // 238.7 mm with its margins).
    const auto [left, right] = darkExtent(page, frameRow + 3);
    const double widthMm = (right - left + 1) / pixelsPerMm;
    qInfo("printed knob row width %.2f mm", widthMm);
    QVERIFY2(std::abs(widthMm - 238.1) < 0.6, qPrintable(QString::number(widthMm)));

    // The next block's upper box row is 23.4 mm further down.
    int nextRow = -1;
    const int searchFrom = frameRow + static_cast<int>(20 * pixelsPerMm);
    for (int y = searchFrom; y < page.height() && nextRow < 0; ++y)
    {
        const auto [first, last] = darkExtent(page, y);
        if (first >= 0 && last - first > 200 * pixelsPerMm)
            nextRow = y;
    }
    QVERIFY(nextRow > 0);
    const double blockMm = (nextRow - frameRow) / pixelsPerMm;
    qInfo("printed block pitch %.2f mm", blockMm);
    QVERIFY2(std::abs(blockMm - 23.4) < 0.4, qPrintable(QString::number(blockMm)));
}

void KnobTableTest::cancelledSetupPrintsNothing()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("cancelled.pdf"));
    TDescriptionForm form;
    form.setPrinterSetup(
        [&](QPrinter& printer)
        {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return false;
        });
    QVERIFY(!form.printKnobTable(namedBank(), 0, 4));
    QVERIFY(!QFile::exists(pdf));
}

QTEST_MAIN(KnobTableTest)
#include "display_knob_table_test.moc"
