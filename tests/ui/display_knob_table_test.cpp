// The knob table window and its printing: layout at screen and printer
// resolution, navigation with its clamps and wrap-around, a real PDF print;
// the listing window, the help window and the about box.

#include "core/listings.h"
#include "core/text_codec.h"
#include "ui/about_form.h"
#include "ui/build_info.h"
#include "ui/description_form.h"
#include "ui/display_form.h"
#include "ui/info_form.h"
#include "ui/knob_table_layout.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

using namespace kestrow;

namespace {

PresetBank namedBank()
{
    PresetBank bank;
    for (int p = 0; p < kPresetCount; ++p) {
        auto& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Preset " + std::to_string(p + 1);
        for (int k = 0; k < kKnobCount; ++k)
            preset.knobName[static_cast<std::size_t>(k)] = "K" + std::to_string(k + 1);
    }
    return bank;
}

QImage drawn(const PresetBank& bank, int firstPreset, int count, int dpi, QColor background)
{
    QImage image(knobTableSurfaceSize(count, dpi, dpi), QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    drawKnobTable(painter, bank, firstPreset, count, dpi, dpi);
    return image;
}

bool isDark(QRgb pixel) { return qGray(pixel) < 128; }

/// First and last dark column of one image row; -1 when none.
std::pair<int, int> darkExtent(const QImage& image, int y)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (isDark(image.pixel(x, y))) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return { first, last };
}

/// The first row from `from` down whose dark run is wider than `minWidth`: a box row.
int boxRowFrom(const QImage& image, int from, double minWidth)
{
    for (int y = from; y < image.height(); ++y) {
        const auto [first, last] = darkExtent(image, y);
        if (first >= 0 && last - first > minWidth)
            return y;
    }
    return -1;
}

QStringList shownLines(const TDisplayForm& form) { return form.text().split(QLatin1Char('\n')); }

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class DisplayTest : public QObject {
    Q_OBJECT

private slots:
    void layoutAtScreenAndPrinterResolutionAndClipping()
    {
        // Millimetres are the printed page's test; here how the parts stand to
        // each other: x and y scale apart, knobs 1-8 above 9-16, blocks stacked.
        const QSize one = knobTableSurfaceSize(1, 600, 600);
        QCOMPARE(knobTableSurfaceSize(4, 600, 300),
            QSize(one.width(), knobTableSurfaceSize(4, 300, 300).height()));
        const QRect knob1 = knobTableBoxRect(0, 0, 600, 600);
        const QRect knob8 = knobTableBoxRect(0, 7, 600, 600);
        const QRect knob9 = knobTableBoxRect(0, 8, 600, 600);
        QVERIFY(knob8.top() == knob1.top() && knob8.left() > knob1.right());
        QVERIFY(knob9.left() == knob1.left() && knob9.top() > knob1.bottom());
        QVERIFY(knob8.right() < one.width() && knob9.bottom() < one.height());
        const int threeBlocks = knobTableSurfaceSize(3, 600, 600).height();
        QVERIFY(std::abs(knobTableBoxRect(3, 0, 600, 600).top() - knob1.top() - threeBlocks) <= 1);
        // Fonts keep their point size at any resolution.
        QCOMPARE(knobTableNameFont(600).pixelSize(), 58);

        // Titles, and blocks wrapping from preset 128 to preset 1.
        Preset pad;
        pad.name = "Pad";
        QCOMPARE(knobTableTitle(pad, 6), QStringLiteral("7:  Pad"));
        pad.name = "Caf\xe9";
        QCOMPARE(knobTableTitle(pad, 127), QStringLiteral("128:  Caf\u00e9"));
        QCOMPARE(knobTableBlockPreset(124, 3), 127);
        QCOMPARE(knobTableBlockPreset(124, 4), 0);
        QCOMPARE(knobTableBlockPreset(124, 7), 3);

        // Names are clipped at the box edge.
        PresetBank bank;
        bank.presets[0].name = std::string(200, 'W');
        bank.presets[0].knobName[0] = std::string(60, 'W');
        const int dpi = 300;
        const QImage image = drawn(bank, 0, 1, dpi, Qt::lightGray);
        const QRect box = knobTableBoxRect(0, 0, dpi, dpi);
        const QRect next = knobTableBoxRect(0, 1, dpi, dpi);
        QVERIFY(next.left() - box.right() > 2);
        int inkInBox = 0;
        for (int y = box.top() + 1; y < box.bottom(); ++y) {
            for (int x = box.left() + 1; x < box.right(); ++x)
                inkInBox += isDark(image.pixel(x, y)) ? 1 : 0;
            // Nothing between this box and the next, and the next box empty inside.
            for (int x = box.right() + 1; x < next.left(); ++x)
                QVERIFY2(
                    !isDark(image.pixel(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
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
            QVERIFY(darkExtent(image, y).second <= title.right());
    }

    void navigationAndTheSurfaceShown()
    {
        struct Case {
            const char* name;
            int first;
            int count;
            QString steps; // keys, or W and a wheel delta
            int expected;
        };
        const Case cases[] = {
            { "Down from 125 clamps", 124, 8, "Down", 120 },
            { "Home", 124, 8, "Down Home", 0 },
            { "Up at the top", 0, 8, "Up", 0 },
            { "Up beyond the last table", 126, 4, "Up", 125 },
            { "PgDn from 0", 0, 4, "PgDn", 4 },
            { "PgUp from 2", 2, 4, "PgUp", 0 },
            { "PgDn clamps", 122, 4, "PgDn", 124 },
            { "End", 50, 8, "End", 120 },
            { "PgUp at the top", 50, 8, "Home PgUp", 0 },
            { "wheel away", 10, 4, "W120", 9 },
            { "wheel toward", 10, 4, "W120 W-120 W-120", 11 },
            { "half notch", 11, 4, "W-60", 11 },
            { "two half notches", 11, 4, "W-60 W-60", 12 },
            { "wheel at the end", 124, 4, "W-120", 124 },
            { "wheel at the top", 0, 4, "W240", 0 },
        };
        const QMap<QString, Qt::Key> keys { { "Down", Qt::Key_Down }, { "Up", Qt::Key_Up },
            { "PgDn", Qt::Key_PageDown }, { "PgUp", Qt::Key_PageUp }, { "Home", Qt::Key_Home },
            { "End", Qt::Key_End } };
        // The window keeps a pointer to the bank it shows.
        const PresetBank bank = namedBank();
        for (const Case& c : cases) {
            TDescriptionForm form;
            form.showKnobTable(bank, c.first, c.count);
            for (const QString& step : c.steps.split(QLatin1Char(' '))) {
                if (step.startsWith(QLatin1Char('W'))) {
                    QWheelEvent wheel(QPointF(10, 10), form.mapToGlobal(QPointF(10, 10)), QPoint(),
                        QPoint(0, step.mid(1).toInt()), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
                    QCoreApplication::sendEvent(&form, &wheel);
                } else {
                    QVERIFY(keys.contains(step));
                    QTest::keyClick(&form, keys[step]);
                }
            }
            QCOMPARE((QList<int> { form.firstPreset(), form.presetCount() }),
                (QList<int> { c.expected, c.count }));
        }

        // The window shows the drawn surface.
        TDescriptionForm window;
        const QColor background = window.palette().color(QPalette::Window);
        window.showKnobTable(bank, 124, 8);
        QCOMPARE(window.surface(), drawn(bank, 124, 8, 96, background));
        QCOMPARE(window.size(), knobTableSurfaceSize(8, 96, 96));
        QCOMPARE(window.minimumSize(), window.maximumSize()); // fixed border
        QTest::keyClick(&window, Qt::Key_Down);
        QCOMPARE(window.surface(), drawn(bank, 120, 8, 96, background));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        window.showKnobTable(bank, 3, 4);
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), knobTableSurfaceSize(4, 96, 96));

        QCOMPARE(knobTableWindowSize(QSize(902, 707), 801), QSize(912, 500)); // a low screen

        // Nonsense from a caller does not crash and lands on a real table.
        window.showKnobTable(bank, 300, 0);
        QVERIFY(window.firstPreset() >= 0 && window.firstPreset() < kPresetCount);
        QVERIFY(window.presetCount() >= 1);
        window.showKnobTable(bank, -1, 4);
        QCOMPARE(window.firstPreset(), 127);
    }

    void printsToPdfAtPhysicalSize()
    {
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (pdftoppm.isEmpty())
            QSKIP("pdftoppm (poppler-utils) is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pdf = dir.filePath(QStringLiteral("table.pdf"));
        TDescriptionForm form;
        bool accept = false;
        int setups = 0;
        QSet<QPrinter*> printers;
        form.setPrinterSetup([&](QPrinter& printer) {
            ++setups;
            printers << &printer;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setResolution(600);
            printer.setPageSize(QPageSize(QPageSize::A4));
            return accept;
        });
        QVERIFY(!form.printKnobTable(namedBank(), 0, 4)); // cancelled: nothing printed
        QVERIFY(!QFile::exists(pdf));
        accept = true;
        QVERIFY(form.printKnobTable(namedBank(), 124, 8));
        QCOMPARE(setups, 2);
        QCOMPARE(printers.size(), 1); // one printer for the run, options and all

        const int renderDpi = 150;
        QProcess render;
        render.start(pdftoppm,
            { QStringLiteral("-r"), QString::number(renderDpi), QStringLiteral("-png"),
                QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page")) });
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
        const QImage page(dir.filePath(QStringLiteral("page.png")));
        QVERIFY(!page.isNull());
        // The page is landscape unless the user turns it: the table is 238.7 mm wide.
        QVERIFY(page.width() > page.height());

        // Outer frame edges of knob 1 and knob 8 of the first block: 238.1 mm apart.
        const double pixelsPerMm = renderDpi / 25.4;
        const int frameRow = boxRowFrom(page, 0, 200 * pixelsPerMm);
        QVERIFY(frameRow >= 0);
        const auto [left, right] = darkExtent(page, frameRow + 3);
        const double widthMm = (right - left + 1) / pixelsPerMm;
        QVERIFY2(std::abs(widthMm - 238.1) < 0.6, qPrintable(QString::number(widthMm)));
        // The next block's upper box row is 23.4 mm further down.
        const int nextRow
            = boxRowFrom(page, frameRow + static_cast<int>(20 * pixelsPerMm), 200 * pixelsPerMm);
        QVERIFY(nextRow > 0);
        const double blockMm = (nextRow - frameRow) / pixelsPerMm;
        QVERIFY2(std::abs(blockMm - 23.4) < 0.4, qPrintable(QString::number(blockMm)));
    }

    void printingWithoutTheModule()
    {
        // the module named, what the warning says
        const std::pair<QString, QString> cases[] = {
            { QStringLiteral("/nonexistent/libkestrow-print.so"), QStringLiteral("No such file") },
            { QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6"),
                QStringLiteral("has no function CreatePrinterSessionV1") },
        };
        const PresetBank bank = namedBank();
        for (const auto& [module, reason] : cases) {
            QTemporaryDir dir;
            const QString pdf = dir.filePath(QStringLiteral("table.pdf"));
            TDescriptionForm form;
            QStringList warnings;
            form.showWarning = [&](const QString&, const QString& text) { warnings << text; };
            form.setPrinterSetup([&](QPrinter& printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(pdf);
                return true;
            });
            qputenv("KESTROW_PRINT_MODULE", module.toLocal8Bit());
            QVERIFY(!form.printKnobTable(bank, 0, 4));
            qunsetenv("KESTROW_PRINT_MODULE");
            QCOMPARE(warnings.size(), 1);
            QVERIFY2(warnings[0].startsWith(QStringLiteral("Printing is not available: "))
                    && warnings[0].contains(reason),
                qPrintable(warnings[0]));
            QVERIFY(!QFile::exists(pdf));
            // The window still works, and the module beside the program is found next time.
            form.showKnobTable(bank, 0, 4);
            QVERIFY(form.isVisible());
            QVERIFY(form.printKnobTable(bank, 0, 4));
            QVERIFY(QFile::exists(pdf));
            QCOMPARE(warnings.size(), 1);
        }
    }

    void listingsAppendAndTheAllCommandsReplace()
    {
        const Catalogue catalogue;
        PresetBank bank;
        bank.presets[4].name = "Strings";
        bank.presets[6].knobName[2] = "Caf\xe9 \x80";
        bank.presets[6].eventType[1] = 0;
        // The core's listings, Windows-1252 shown as the characters it stands for.
        const auto parameters
            = [&](int p) { return parameterListing(catalogue, bank.presets[p], p); };
        const auto knobNames = [&](int p) { return knobNameListing(bank.presets[p], p); };
        const auto lines = [](const std::vector<std::vector<std::string>>& blocks) {
            QStringList all;
            for (const auto& block : blocks) {
                for (const std::string& line : block)
                    all << QString::fromStdString(cp1252ToUtf8(line));
            }
            return all;
        };
        std::vector<std::vector<std::string>> allParameters;
        std::vector<std::vector<std::string>> allKnobNames;
        for (int p = 0; p < kPresetCount; ++p) {
            allParameters.push_back(parameters(p));
            allKnobNames.push_back(knobNames(p));
        }

        TDisplayForm form;
        form.showPresetKnobNames(bank, 6);
        QVERIFY(form.isVisible());
        form.appendKnobNames(bank, 99);
        form.showPresetParameters(catalogue, bank, 6);
        form.appendParameters(catalogue, bank, 132); // out of range: a real preset
        QCOMPARE(
            shownLines(form), lines({ knobNames(6), knobNames(99), parameters(6), parameters(4) }));
        form.showAllParameters(catalogue, bank);
        QCOMPARE(shownLines(form), lines(allParameters));
        form.showAllKnobNames(bank);
        QCOMPARE(shownLines(form), lines(allKnobNames));

        // The popup's "Clear" empties the window; new text starts at the top.
        QAction* clear = form.popupMenu()->actions().value(0);
        QVERIFY(clear && clear->text() == QStringLiteral("Clear"));
        clear->trigger();
        QCOMPARE(form.text(), QString());
        form.appendKnobNames(bank, 0);
        QCOMPARE(shownLines(form), lines({ knobNames(0) }));
    }

    void helpWindowReloadsItsFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Deep enough that the installed data directory stays inside the temporary one.
        QString programDirectory = dir.path() + QLatin1Char('/');
        for (qsizetype up
             = QString::fromLatin1(dataDirectoryFromProgram()).count(QStringLiteral("../"));
             up > 0; --up)
            programDirectory += QStringLiteral("p/");
        QVERIFY(QDir().mkpath(programDirectory));
        const QString path = programDirectory + QStringLiteral("Info.txt");
        TInfoForm form;
        form.showInfo(TInfoForm::locateInfoFile(programDirectory)); // no file yet
        QVERIFY(form.text().contains(QStringLiteral("could not be read")));
        QVERIFY(form.text().contains(QStringLiteral("Info.txt")));
        // A directory where the file should be is no help text either.
        QVERIFY(QDir(programDirectory).mkdir(QStringLiteral("Info.txt")));
        form.hide();
        form.showInfo(path);
        QVERIFY(form.text().contains(QStringLiteral("could not be read")));
        QVERIFY(QDir(programDirectory).rmdir(QStringLiteral("Info.txt")));

        // An installed copy only, spelt in another case, is found under its real name.
        const QString data = programDirectory + QString::fromLatin1(dataDirectoryFromProgram());
        QVERIFY(QDir().mkpath(data));
        writeFile(data + QStringLiteral("INFO.TXT"), "installed help");
        form.hide();
        form.showInfo(TInfoForm::locateInfoFile(programDirectory));
        QCOMPARE(form.text(), QStringLiteral("installed help"));

        writeFile(path, "First text\r\nline two\r\n");
        QCOMPARE(TInfoForm::locateInfoFile(programDirectory), path); // beside the program wins
        form.hide();
        form.showInfo(path);
        QCOMPARE(form.text(), QStringLiteral("First text\nline two\n"));

        // Shown again after an edit: the new text, without a restart.
        form.hide();
        writeFile(path, "Zweite Fassung: \xe4\xf6\xfc \x80");
        form.showInfo(path);
        QCOMPARE(form.text(), QStringLiteral("Zweite Fassung: \u00e4\u00f6\u00fc \u20ac"));
        // Brought to the front while open: read again too.
        writeFile(path, "\xef\xbb\xbfUTF-8 text: \xc3\xa4");
        form.showInfo(path);
        QCOMPARE(form.text(), QStringLiteral("UTF-8 text: \u00e4"));
    }

    void aboutBoxShowsBuildVersion()
    {
        QCOMPARE(TAboutForm::versionLine(), QStringLiteral("Version " KESTROW_EXPECTED_VERSION));
        TAboutForm about;
        const auto labels = about.findChildren<QLabel*>();
        bool versionShown = false;
        for (const QLabel* label : labels)
            versionShown = versionShown || label->text() == TAboutForm::versionLine();
        QVERIFY(versionShown);
    }
};

QTEST_MAIN(DisplayTest)
#include "display_knob_table_test.moc"
