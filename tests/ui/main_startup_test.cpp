// Start-up and close of a run in a temporary program directory.

#include "main_test_support.h"
#include "ui/editor_style.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/window_placement.h"

#include <QFileInfo>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyleFactory>

using namespace kestrow;
using namespace kestrow::test;

namespace {

/// A first run in `dir` that leaves a zembraDial on output entry 1, AutoSend
/// on, a delay of 20 ms, notes from C-2 and preset 58 selected.
void saveARun(const QTemporaryDir& dir)
{
    QVERIFY(copyFactorySet(dir.path()));
    Session first(dir.path());
    first.main().FormShow();
    first.main().switchDeviceVariant(DeviceVariant::zembraDial);
    first.config().chooseOutputEntry(1);
    first.main().autoSendBox()->setChecked(true);
    first.config().setDelayFieldText(QStringLiteral("20"));
    first.config().notesMinus2()->setChecked(true);
    first.main().selectPreset(57);
    first.main().close();
}

} // namespace

class MainStartupTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunShowsTheDefaultsAndRetriesItsSave()
    {
        // The autosave folder is not writable at first: the close may be retried.
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("autosave"));
        QVERIFY(writeBytes(folder, {})); // a plain file where the folder belongs
        Session run(dir.path(), true, folder);
        TMainForm& main = run.main();
        main.FormShow();
        QListWidget* tree = main.presetTree();
        QCOMPARE((QStringList { QString::number(tree->count()), tree->item(127)->text(),
                     QString::number(tree->currentRow()), main.windowTitle(),
                     run.config().delayField()->text(), run.config().outputList()->currentText() }),
            (QStringList {
                "128", "128: ", "0", "Kestrow Editor:   ZEMBRA CONTROL", "200", "no device" }));
        QVERIFY(!main.autoSendBox()->isChecked());
        QVERIFY(!main.findAction({ "&Edit", "Select &Factory Preset" })->isEnabled()); // no set
        QStringList messages;
        main.askSaveFailure = [&](const QString& message) {
            messages << message;
            QFile::remove(folder);
            return SaveFailureChoice::retry;
        };
        QVERIFY(main.close());
        QCOMPARE(messages.size(), 1);
        QVERIFY(
            messages[0].contains(folder) && QFile::exists(folder + QStringLiteral("/Config.MID")));
    }

    void runWithoutTheDriverLibraryKeepsTheAutosaveSet()
    {
        QTemporaryDir dir;
        QVERIFY(copyFactorySet(dir.path()));
        QVERIFY(QFile::copy(dir.filePath(QStringLiteral("FactoryPresets.MID")),
            dir.filePath(QStringLiteral("Config.MID"))));
        const QByteArray savedDump = fileBytes(dir.filePath(QStringLiteral("Config.MID")));

        const QByteArray previous = qgetenv("KESTROW_MIDIDRV");
        qputenv(
            "KESTROW_MIDIDRV", dir.filePath(QStringLiteral("missing/libmididrv.so")).toLocal8Bit());
        QStringList warnings;
        QStringList failures;
        {
            EditorRun run(pathsIn(dir.path()));
            QVERIFY(!run.hasDriver());
            QCOMPARE(run.driverError(), QStringLiteral("Load of libmididrv.so failed"));
            TMainForm& main = run.mainForm();
            main.showWarning = [&warnings](const QString& title, const QString& text) {
                warnings << title + QStringLiteral(": ") + text;
            };
            main.askFileName = [&dir](const QString&, const QString&, bool) {
                return dir.filePath(QStringLiteral("Mine.MID"));
            };
            main.askSaveFailure = [&failures](const QString& message) {
                failures << message;
                return failures.size() == 1 ? SaveFailureChoice::retry
                                            : SaveFailureChoice::closeAnyway;
            };
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
            QCOMPARE(run.windows().configForm().outputList()->count(), 1); // "no device"
            // Editing goes on; the file commands say why they cannot run.
            main.renameConfirmed(3, QStringLiteral("Bass"));
            QCOMPARE(main.bank().presets[3].name, std::string("Bass"));
            main.Save1Click();
            QCOMPARE(warnings.size(), 1);
            QVERIFY(warnings[0].startsWith(
                QStringLiteral("Save All Presets: Load of libmididrv.so failed")));
            QVERIFY(main.close());
        }
        qputenv("KESTROW_MIDIDRV", previous);
        // The close path said that nothing was saved, also on retrying, and
        // left the autosave set where it was.
        QCOMPARE(failures.size(), 2);
        QVERIFY(failures[0].contains(QStringLiteral("Config.MID")));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("Config.MID"))), savedDump);
    }

    void portsAttachedAfterTheFirstPaintGetTheSavedChoicesBeforeTheProgramChange()
    {
        QTemporaryDir dir;
        saveARun(dir);
        // Start-up reads with the built-in file functions and no ports.
        const std::unique_ptr<TMidiDriver> files = TMidiDriver::filesOnly();
        EditorSession session(pathsIn(dir.path()), nullptr, files.get());
        session.awaitMidi();
        EditorWindows windows(session);
        TMainForm& main = windows.mainForm();
        main.FormShow();
        QCOMPARE(main.presetTree()->currentRow(), 57);
        QVERIFY(main.findAction({ "&Edit", "Select &Factory Preset" })->isEnabled()); // a set
        QVERIFY(main.headingLabel()->text().startsWith(QStringLiteral("58: ")));
        QVERIFY(main.autoSendBox()->isChecked());
        QCOMPARE(windows.configForm().delayField()->text(), QStringLiteral("20"));
        QVERIFY(windows.configForm().notesMinus2()->isChecked());
        QVERIFY(windows.configForm().variantRadio(DeviceVariant::zembraDial)->isChecked());
        QTest::qWait(60); // past the delay: the Program Change waits for the ports
        auto fake = std::make_unique<FakePorts>();
        FakePorts& ports = *fake;
        TMidiDriver driver;
        session.attachMidi(std::move(fake), &driver);
        main.midiAttached();
        QVERIFY(ports.openedOutputs.count(1));
        QCOMPARE(windows.configForm().outputList()->currentText(), QStringLiteral("Test Out B"));
        // The device queries, then the Program Change, no dump: the session's test
        // says what each is; here that they wait for the ports.
        QTRY_COMPARE_WITH_TIMEOUT(ports.puts.size(), std::size_t { 3 }, 1000);
        QCOMPARE(ports.puts.back().bytes, (std::vector<std::uint8_t> { 0xC0, 57 }));
    }

    void runLoadsTheDriverAndTheDescriptionFontAfterTheFirstPaint()
    {
        QTemporaryDir dir;
        EditorRun run(pathsIn(dir.path()));
        QPlainTextEdit* box = run.mainForm().descriptionBox();
        QVERIFY(!run.hasDriver());
        QVERIFY(box->font().family() != QStringLiteral("Courier New"));
        run.mainForm().show();
        QTRY_VERIFY(run.started());
        QVERIFY(run.hasDriver());
        QCOMPARE(box->font().family(), QStringLiteral("Courier New"));
        QVERIFY(box->font().bold());
        QVERIFY(run.mainForm().close());
    }

    void fileCommandsSaveAndLoadThroughTheDialogs()
    {
        QTemporaryDir dir;
        QVERIFY(copyFactorySet(dir.path()));
        Session run(dir.path());
        run.main().FormShow();
        QStringList asked;
        QString answer;
        QString folder; // where the last dialog started
        run.main().askFileName = [&](const QString& title, const QString& start, bool save) {
            asked << title + QStringLiteral("|") + QFileInfo(start).fileName()
                    + (save ? QStringLiteral("|save") : QStringLiteral("|load"));
            folder = QFileInfo(start).absolutePath();
            return answer;
        };
        // Before any file: the documents folder or home, never the autosave folder.
        run.main().Open1Click();
        QVERIFY(folder
                == QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                       .absolutePath()
            || folder == QDir::homePath());
        run.main().selectPreset(11);
        run.bank().presets[11].description = "twelve";
        const QString name = QString::fromStdString(run.bank().presets[11].name);

        answer = dir.filePath(QStringLiteral("single.MID"));
        run.main().SaveSinglePreset1Click();
        QCOMPARE(asked.last(),
            QStringLiteral("Save Preset   12:") + name + QStringLiteral("|12_") + name
                + QStringLiteral(".MID|save"));
        run.main().selectPreset(39);
        run.main().Load1Click();
        QCOMPARE(asked.last(), QStringLiteral("Load Preset 40||load"));
        QCOMPARE(folder, QDir(dir.path()).absolutePath()); // the folder last saved to
        QCOMPARE(run.main().presetTree()->item(39)->text(), QStringLiteral("40: ") + name);
        QCOMPARE(run.main().descriptionBox()->toPlainText(), QStringLiteral("twelve"));

        // Cancelling changes nothing; the banks commands belong to the zembraDial.
        const auto before = run.bank().presets;
        answer.clear();
        run.main().Open1Click();
        QVERIFY(run.bank().presets == before && run.warnings.isEmpty());
        const auto count = asked.size();
        run.main().Save4Presets1Click();
        QCOMPARE(asked.size(), count);
    }

    void dragKeyDefaultsComeFromTheDialog()
    {
        QTemporaryDir dir;
        Session run(dir.path(), false);
        // No key, Shift, Ctrl.
        QVERIFY(run.main().dragKeyMap()
            == (std::array { DragOperation::copy, DragOperation::swap, DragOperation::move }));
        // The windows shown only on request come later, when first asked for.
        QCOMPARE(run.windows->creationOrder(),
            QStringList({ QStringLiteral("MainForm"), QStringLiteral("ConfigForm") }));
        QCOMPARE(run.windows->window(QStringLiteral("EventsForm")), nullptr);
        QWidget* events = &run.main().pickers().events();
        QCOMPARE(run.windows->window(QStringLiteral("EventsForm")), events);
        QCOMPARE(&run.main().pickers().events(), events);
        if (canPlaceWindows()) // on Wayland the compositor places it
            QCOMPARE(events->pos(), QPoint(50, 50));
    }

    void menuBarExtensionIconDrawsAsTheBaseStyles()
    {
        // Loaded only when drawn, yet the same picture, in either direction.
        const std::unique_ptr<QStyle> base(QStyleFactory::create(QStringLiteral("Fusion")));
        EditorStyle style(QStyleFactory::create(QStringLiteral("Fusion")));
        for (const Qt::LayoutDirection direction : { Qt::LeftToRight, Qt::RightToLeft }) {
            QWidget bar;
            bar.setLayoutDirection(direction);
            for (const auto which : { QStyle::SP_ToolBarHorizontalExtensionButton,
                     QStyle::SP_ToolBarVerticalExtensionButton }) {
                const QImage ours = style.standardIcon(which, nullptr, &bar).pixmap(16).toImage();
                QVERIFY(!ours.isNull());
                QCOMPARE(ours, base->standardIcon(which, nullptr, &bar).pixmap(16).toImage());
            }
        }
    }
};

QTEST_MAIN(MainStartupTest)
#include "main_startup_test.moc"
