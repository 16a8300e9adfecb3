// The status line, what device replies may redraw, and small hazards of
// the main window.

#include "main_test_support.h"
#include "ui/knob_table.h"
#include "ui/window_placement.h"

#include <QMessageBox>
#include <QStatusBar>

using namespace kestrow;
using namespace kestrow::test;

namespace {

void feedReply(FakePorts& ports, std::uint8_t preset)
{
    std::vector<std::uint8_t> bytes { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x20, preset, 0x00 };
    for (int i = 0; i < 48; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i % 16 + 1));
    bytes.push_back(0xF7);
    ports.reply(bytes);
}

/// The 16 x 5 knob cells as shown.
QStringList shownCells(TMainForm& form)
{
    QStringList cells;
    for (int r = 1; r <= kKnobCount; ++r)
        for (int c = 1; c < 6; ++c)
            cells << form.knobTable()->item(r, c)->text();
    return cells;
}

QStringList cellsOf(TMainForm& form, int preset)
{
    QStringList cells;
    const Preset& p = form.bank().presets[static_cast<std::size_t>(preset)];
    for (int k = 0; k < kKnobCount; ++k)
        for (int c = 0; c < 5; ++c)
            cells << QString::fromStdString(form.catalogue().cellText(p, k, c));
    return cells;
}

} // namespace

class MainStatusTest : public QObject {
    Q_OBJECT

private slots:
    void replyForAnotherPresetRedrawsOnlyItsTreeItem()
    {
        QTemporaryDir dir;
        Session run(dir.path(), false);
        TMainForm& form = run.main();
        PresetBank& bank = run.bank();
        bank.presets[4].name = "Five";
        bank.presets[4].description = "five's text";
        bank.presets[126].name = "Mine";
        bank.presets[126].description = "mine";
        form.FormShow();
        form.selectPreset(126);
        const QStringList shown = shownCells(form);

        feedReply(*run.ports, 4);
        QCOMPARE(form.headingLabel()->text(), QStringLiteral("127: Mine"));
        QCOMPARE(form.descriptionBox()->toPlainText(), QStringLiteral("mine"));
        QCOMPARE(shownCells(form), shown);
        QCOMPARE(form.presetTree()->item(4)->text(), QStringLiteral(" 5: Five"));
        QVERIFY(cellsOf(form, 4) != shown); // the reply did land in preset 5

        form.descriptionBox()->moveCursor(QTextCursor::End);
        QTest::keyClicks(form.descriptionBox(), QStringLiteral("X"));
        feedReply(*run.ports, 126); // the selected one is redrawn
        QCOMPARE(shownCells(form), cellsOf(form, 126));
        // Replies carry no texts: both descriptions stay as they were.
        QCOMPARE(bank.presets[126].description, std::string("mineX"));
        QCOMPARE(bank.presets[4].description, std::string("five's text"));
    }

    void statusLineAndFixedWindowHazards()
    {
        QTemporaryDir dir;
        Session run(dir.path(), false); // no driver library: no save can succeed
        TMainForm& form = run.main();
        form.FormShow();
        const QSize client = form.centralWidget()->size();
        form.SendButtonClick(); // no output chosen: no box, but a reason
        QVERIFY(run.warnings.isEmpty());
        QCOMPARE(
            form.statusText(), QStringLiteral("No output port: choose one in Device Settings"));

        run.config().chooseOutputEntry(0);
        form.SendButtonClick();
        QStringList seen;
        while (form.session().transferring()) {
            form.session().tick(*form.session().protocol().deadline(ProtocolTimer::Timer1));
            seen << form.statusText();
        }
        QCOMPARE(seen,
            (QStringList { QStringLiteral("Sending preset 1 of 1"), QStringLiteral("Sent") }));
        QCOMPARE(form.centralWidget()->size(), client); // the line sits below the client area
        QVERIFY(form.statusBar()->isVisible() || !form.isVisible());

        // Small hazards of the fixed window.
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

        // "Master" is shown whole in its 39-pixel cell, not cut to "Maste".
        run.bank().presets[0].eventType[0] = 0; // a controller, which has a channel
        run.bank().presets[0].channel[0] = 0;
        form.selectPreset(0);
        form.refreshKnobTable(0);
        KnobTable* table = form.knobTable();
        QCOMPARE(table->item(1, 2)->text(), QStringLiteral("Master"));
        const QRect cell = table->visualItemRect(table->item(1, 2));
        const QImage image = table->viewport()->grab(cell).toImage();
        int left = image.width(), right = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (qGray(image.pixel(x, y)) < 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        QVERIFY2(right >= 0 && right <= image.width() - 3 && right - left > image.width() / 2,
            qPrintable(QStringLiteral("ink %1..%2 of %3").arg(left).arg(right).arg(image.width())));

        QString defaultButton;
        QTimer::singleShot(0, &form, [&defaultButton] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr) {
                defaultButton = box->defaultButton()->text();
                box->defaultButton()->click();
            }
        });
        QCOMPARE(form.askSaveFailure(QStringLiteral("Config.MID: no driver")),
            SaveFailureChoice::closeAnyway);
        QCOMPARE(defaultButton, QStringLiteral("&Close Anyway"));
    }

    void secondaryWindowsOpenBesideTheMainWindow()
    {
        const std::pair<QRect, QPoint> cases[] = {
            // the main window, the corner beside it
            { QRect(100, 50, 800, 600), QPoint(900, 50) }, // room on the right
            { QRect(1000, 50, 800, 600), QPoint(400, 50) }, // room on the left only
            { QRect(600, 50, 800, 600), QPoint(0, 50) }, // room on neither side
            { QRect(100, 900, 800, 600), QPoint(900, 480) }, // kept on the screen
        };
        for (const auto& [main, corner] : cases)
            QCOMPARE(besidePosition(main, QSize(600, 600), QRect(0, 0, 1920, 1080)), corner);
    }
};

QTEST_MAIN(MainStatusTest)
#include "main_status_test.moc"
