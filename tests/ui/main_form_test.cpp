// Main window gestures: tree labels, renaming, drops, switches, variant
// switch, preset clipboard and the description box; the status line, what
// device replies may redraw, small hazards of the main window; the views of
// the live traffic: the MIDI monitor window and knob learn; end to end over
// the driver library's emulated device, presets sent, verified and fetched;
// the Verify report window: rows, sorting, size on the screen, its buttons.

#include "main_test_support.h"
#include "midi/toolkit_ports.h"
#include "protocol/dump_frame.h"
#include "ui/knob_table.h"
#include "ui/midi_monitor_form.h"
#include "ui/preset_tree.h"
#include "ui/qt_midi_dispatcher.h"
#include "ui/switch_display.h"
#include "ui/verify_report_form.h"
#include "ui/window_placement.h"

#include <QClipboard>
#include <QHeaderView>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTableView>

using namespace kestrow;
using namespace kestrow::test;

namespace {

/// Distinct knob data, so presets tell apart after they moved.
void mark(Preset& preset, int tag)
{
    preset.name = "P" + std::to_string(tag);
    preset.description = "about " + std::to_string(tag);
    for (int k = 0; k < kKnobCount; ++k) {
        preset.eventType[static_cast<std::size_t>(k)] = 0;
        preset.fixedParameter[static_cast<std::size_t>(k)] = (tag + k) % 128;
    }
}

/// One line per menu: its path, then its entries: the text (a tab shown as
/// " | "), the shortcut in brackets, "~" for an entry hidden in this variant,
/// "#" for a disabled one. Then a line for each submenu that has entries.
void listMenu(const QString& path, const QList<QAction*>& actions, QStringList& lines)
{
    QStringList entries;
    for (QAction* a : actions) {
        QString entry = a->isSeparator()
            ? QStringLiteral("-")
            : a->text().replace(QLatin1Char('\t'), QStringLiteral(" | "));
        if (!a->shortcut().isEmpty())
            entry += QStringLiteral(" [") + QKeySequence::listToString(a->shortcuts())
                + QLatin1Char(']');
        entry += QString(a->isVisible() ? "" : " ~") + QString(a->isEnabled() ? "" : " #");
        entries << entry;
    }
    lines << path + QStringLiteral(": ") + entries.join(QStringLiteral(", "));
    for (QAction* a : actions) {
        if (a->menu() != nullptr && !a->menu()->actions().isEmpty())
            listMenu(path + QLatin1Char('/') + a->text(), a->menu()->actions(), lines);
    }
}

/// The 16 x 5 knob cells as shown, or as `preset` holds them.
QStringList cells(TMainForm& form, int preset = -1)
{
    QStringList out;
    for (int k = 0; k < kKnobCount; ++k)
        for (int c = 0; c < 5; ++c)
            out << (preset < 0 ? form.knobTable()->item(k + 1, c + 1)->text()
                               : QString::fromStdString(form.catalogue().cellText(
                                   form.bank().presets[std::size_t(preset)], k, c)));
    return out;
}

/// An editor with its windows over the driver library's emulated device.
struct EmulatorRun {
    explicit EmulatorRun(QObject* parent)
        : dispatcher(parent)
        , paths(test::pathsIn(dir.path()))
        , dispatcherSet(&dispatcher)
        , session(paths, std::make_unique<ToolkitMidiPorts>(driver, dispatcher), &driver)
        , windows(session)
    {
    }

    /// Shows the window, picks the emulator for both ports and asks for its
    /// configuration; false when it is not listed.
    bool chooseEmulator()
    {
        windows.mainForm().FormShow();
        TConfigForm& config = windows.configForm();
        const bool listed = config.selectOutputByName("zembra Emulator")
            && config.selectInputByName("zembra Emulator");
        config.getDeviceConfiguration();
        return listed;
    }

    /// The dispatcher is the default one from before the driver loads until
    /// after the session is gone.
    struct DefaultDispatcher {
        explicit DefaultDispatcher(MidiDispatcher* d) { setDefaultMidiDispatcher(d); }
        ~DefaultDispatcher() { setDefaultMidiDispatcher(nullptr); }
    };

    QtMidiDispatcher dispatcher;
    QTemporaryDir dir;
    EditorPaths paths;
    DefaultDispatcher dispatcherSet;
    TMidiDriver driver;
    EditorSession session;
    EditorWindows windows;
};

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Session> m_run;

    TMainForm& form() { return m_run->main(); }
    PresetBank& bank() { return m_run->bank(); }
    QString item(int i) { return form().presetTree()->item(i)->text(); }

    /// The Verify report over the session, whose device holds other knob
    /// data in presets 6 and 10 and did not answer for preset 8.
    std::unique_ptr<TVerifyReportForm> verifyReport()
    {
        m_run->config().chooseOutputEntry(0);
        m_run->config().chooseInputEntry(0);
        const PresetSet before = bank().presets;
        // The device answers with its data (taken in), then ours go back as they were.
        PresetSet device = before;
        device[5].eventType.fill(2);
        device[9].channel.fill(0);
        for (int p : { 5, 9 })
            m_run->ports->reply(presetDataFrame(device[std::size_t(p)], p).bytes());
        for (int p : { 5, 9 })
            (void)m_run->editor->takeTheirPreset(before, p);
        SyncReport report;
        report.job = SyncJob::verify;
        report.differing
            = { comparePresets(before[5], device[5], 5), comparePresets(before[9], device[9], 9) };
        report.noReply = { 7 };
        auto shown = std::make_unique<TVerifyReportForm>(*m_run->editor, report);
        shown->show();
        return shown;
    }
    static QString cellText(const TVerifyReportForm& report, int row, int column)
    {
        return report.table()->model()->index(row, column).data().toString();
    }

private slots:
    void init()
    {
        m_run = std::make_unique<Session>(m_dir.path(), false);
        for (int p = 0; p < kPresetCount; ++p)
            mark(bank().presets[static_cast<std::size_t>(p)], p);
        form().FormShow();
        for (int p = 0; p < kPresetCount; ++p)
            form().refreshKnobTable(p);
        form().selectPreset(0);
    }
    void cleanup() { m_run.reset(); }

    void mouseDownSelectsAndFixesTheOperation()
    {
        form().show();
        QListWidget* tree = form().presetTree();
        const QPoint third = tree->visualItemRect(tree->item(3)).center();
        QTest::mousePress(
            tree->viewport(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, third);
        QCOMPARE(tree->currentRow(), 3);
        QCOMPARE(bank().selectedPreset, 3);
        QCOMPARE(form().editorState().dragOperation, DragOperation::none);
        QCOMPARE(form().editorState().dragOrigin, 1);
        QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, third);
        const QPoint fifth = tree->visualItemRect(tree->item(5)).center();
        QTest::mousePress(tree->viewport(), Qt::LeftButton, Qt::ShiftModifier, fifth);
        QCOMPARE(tree->currentRow(), 5);
        QCOMPARE(form().editorState().dragOperation, DragOperation::swap);
        QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, fifth);
        // A second click on the selected item edits it in place: the label goes,
        // the text is cut to 35 characters of the code page, its label included.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, fifth);
        QTRY_VERIFY(tree->viewport()->findChild<QLineEdit*>() != nullptr);
        auto* editor = tree->viewport()->findChild<QLineEdit*>();
        QCOMPARE(editor->text(), QStringLiteral(" 6: P5"));
        const QString name = QStringLiteral("Gr\u00f6\u00dfe \u20ac ABCDEFGHIJKLMNOPQRSTUVWX");
        editor->setText(QStringLiteral("  6: ") + name + QStringLiteral("YZabcdef  "));
        QTest::keyClick(editor, Qt::Key_Return);
        const std::string stored = "Gr\xf6\xdf"
                                   "e \x80 ABCDEFGHIJKLMNOPQRSTUVWX";
        QTRY_COMPARE(bank().presets[5].name, stored); // committed queued
        QCOMPARE(item(5), QStringLiteral(" 6: ") + name);
        QCOMPARE(form().headingLabel()->text(), item(5));
        QTRY_COMPARE(tree->viewport()->findChild<QLineEdit*>(), nullptr);
        // ... but a single click on an item that is not selected never does,
        // even on the item edited before.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, third);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, fifth);
        QCOMPARE(tree->currentRow(), 5);
        QTest::qWait(QApplication::doubleClickInterval() + 200);
        QCOMPARE(tree->viewport()->findChild<QLineEdit*>(), nullptr);
        QCOMPARE(bank().presets[5].name, stored);
    }

    void renamingWithEnter()
    {
        form().selectPreset(3);
        QStringList asked;
        form().editName = [&](const QString& name) {
            asked << name;
            return QStringLiteral("   A name that is far longer than thirty-five   ");
        };
        QTest::keyClick(form().presetTree(), Qt::Key_Return);
        QCOMPARE(asked, QStringList { QStringLiteral("P3") });
        QCOMPARE(bank().presets[3].name, std::string("A name that is far longer than thir"));
        QCOMPARE(item(3), QStringLiteral(" 4: A name that is far longer than thir"));

        // Cancel keeps the name; a typed "escape" is a name like any other.
        form().editName = [](const QString&) { return std::nullopt; };
        form().renameWithEditor(3);
        QCOMPARE(bank().presets[3].name, std::string("A name that is far longer than thir"));
        form().editName = [](const QString&) { return QStringLiteral("escape"); };
        form().renameWithEditor(3);
        QCOMPARE(bank().presets[3].name, std::string("escape"));
    }

    void droppedPresetRelabelsTheTreeAndAutoSendSendsTargetSourceTarget()
    {
        // Where the presets go is the session's test; here the tree follows.
        form().selectPreset(1); // the mouse-down on the source selects it
        form().presetTreeDrop(1, 4, DragOperation::move);
        QCOMPARE(item(1), QStringLiteral(" 2: P2"));
        QCOMPARE(item(4), QStringLiteral(" 5: P1"));
        QCOMPARE(form().presetTree()->currentRow(), 4);
        QCOMPARE(form().headingLabel()->text(), item(4));
        form().presetTreeDrop(4, -1, DragOperation::copy); // outside the tree: nothing
        QCOMPARE(item(4), QStringLiteral(" 5: P1"));

        // AutoSend follows the check box, and a swap sends target, source, target.
        m_run->config().chooseOutputEntry(0);
        form().selectPreset(9);
        QCOMPARE(form().session().protocol().sendCount(), 0);
        form().autoSendBox()->setChecked(true);
        form().selectPreset(4); // mouse-down on the source selects it
        QCOMPARE(form().session().protocol().sendCount(), 68);
        QCOMPARE(form().session().protocol().sendBuffer()[7].data1, std::uint8_t { 4 });
        std::vector<std::pair<int, int>> sent; // (row, preset byte in sendBuffer)
        connect(form().presetTree(), &QListWidget::currentRowChanged, this, [&](int row) {
            sent.emplace_back(row, form().session().protocol().sendBuffer()[7].data1);
        });
        form().presetTreeDrop(4, 1, DragOperation::swap);
        QCOMPARE(sent, (std::vector<std::pair<int, int>> { { 1, 1 }, { 4, 4 }, { 1, 1 } }));
    }

    void longNamesEndBeforeTheMarksWhichExplainThemselves()
    {
        Preset& preset = bank().presets[15];
        preset.name = "Master Channel Controllers For The Whole Rig";
        preset.fixedParameter[1] = preset.fixedParameter[0]; // knobs 1 and 2 collide
        preset.channel[1] = preset.channel[0];
        form().selectPreset(15);
        PresetTree* tree = form().presetTree();
        const auto tipAt = [tree](int row, bool onMark) {
            QStyleOptionViewItem option;
            option.rect = tree->visualRect(tree->model()->index(row, 0));
            option.font = tree->font();
            option.widget = tree;
            const QPoint at(
                onMark ? tree->viewport()->rect().right() - 3 : 4, option.rect.center().y());
            return tree->itemDelegateForPresets()->toolTipAt(
                option, tree->model()->index(row, 0), at);
        };
        const QString duplicates = QStringLiteral(
            "Two or more knobs of this preset send the same event; their numbers are orange in "
            "the knob table.");
        QCOMPARE(tipAt(15, true), duplicates);
        QVERIFY(tipAt(15, false).startsWith(
            QStringLiteral("16: Master Channel Controllers For The Whole Rig\n") + duplicates));
        QVERIFY(!tipAt(2, false).contains(QStringLiteral("P2"))); // a short name is not repeated
    }

    void presetNumberSwitches()
    {
        form().selectPreset(5);
        auto* switches = form().switchDisplay();
        QVERIFY(switches->switchDown(3) && !switches->switchDown(2));
        form().switchClicked(3);
        QCOMPARE(bank().selectedPreset, 1);
        QCOMPARE(form().presetTree()->currentRow(), 1);
        QVERIFY(!switches->switchDown(3));
        // A click on the widget (switch 2) reaches the same path.
        QTest::mouseClick(switches, Qt::LeftButton, {}, QPoint(switches->width() * 3 / 16, 10));
        QCOMPARE(bank().selectedPreset, 3);
    }

    void menusKeepEveryCaptionShortcutAndPlace()
    {
        QStringList lines;
        listMenu(QStringLiteral("bar"), form().menuBar()->actions(), lines);
        listMenu(QStringLiteral("devices"),
            form().findChild<QMenu*>(QStringLiteral("DevicesMenu"))->actions(), lines);
        listMenu(QStringLiteral("popup"), form().presetPopupMenu()->actions(), lines);
        const QStringList expected {
            "bar: &File, &Edit, &Settings, &Device, &Help",
            "bar/&File: Load, Save As..., -, Send, -, Display, Print, -, Import SysEx..., "
            "Export SysEx..., Compare with File..., Library... [Ctrl+Shift+B], Recent Files, -, "
            "Exit",
            "bar/&File/Load: Load All Presets, Load Single Preset [Ctrl+O], - ~ #, "
            "Load Banks 1-4 [Ctrl+Alt+O] ~ #",
            "bar/&File/Save As...: Save All Presets As..., Save Single Preset As... [Ctrl+S], "
            "- ~ #, Save Banks 1-4 As... [Ctrl+Alt+S] ~ #",
            "bar/&File/Send: Send All Presets [Ctrl+F3], -, Send Single Preset ~ #, "
            "Send Single Preset [F3], - ~ #, Send Banks 1-4 [F2] ~ #",
            "bar/&File/Send/Send Single Preset: Send All Data [F3] ~ #, "
            "Send Preset Data Only ~ #, Send Init Values Only ~ #",
            "bar/&File/Display: Display Knob Table (4 Presets) [Ctrl+D], "
            "Display Knob Table (8 Presets) [Ctrl+Alt+D], -, Display All Parameters, "
            "Display All Knob Names",
            "bar/&File/Print: Print Knob Table (4 Presets) [Ctrl+P], "
            "Print Knob Table (8 Presets) [Ctrl+Alt+P]",
            "bar/&File/Export SysEx...: All Presets..., Selected Preset..., Banks 1-4... ~ #",
            "bar/&Edit: &Copy Preset [Ctrl+Alt+C], &Paste Preset [Ctrl+Alt+V] #, "
            "Paste Preset &w/Clipboard  [Ctrl+Alt+W] #, -, Select &Factory Preset [Ctrl+F] #, -, "
            "Undo [Ctrl+Z] #, Redo [Ctrl+Y; Ctrl+Shift+Z] #, Find... [Ctrl+Shift+F]",
            "bar/&Settings: Device &Settings [F12]",
            "bar/&Device: Get All Presets, Send Changed Presets, Verify Device, "
            "Verify Sent Presets, Find Fastest Delay..., -, MIDI Monitor [Ctrl+Shift+M], "
            "Learn [Ctrl+Shift+L]",
            "bar/&Help: Zembra Control Help [F1], &About",
            "devices: zembraC [F7], zembraDial [F8], zembraFader [F9]",
            "popup: &Copy Preset [Ctrl+C], &Paste Preset [Ctrl+V] #, "
            "Paste Preset &w/Clipboard  [Ctrl+W] #, Select Factory Preset | Ctrl+F #, -, "
            "Load Preset | Ctrl+O, Load Banks 1-4 | Ctrl+Alt+O ~ #, Save Preset As... | Ctrl+S, "
            "Save Banks 1-4 As... | Ctrl+Alt+S ~ #, -, Send Preset | F3, Send Banks 1-4 | F2 ~ #, "
            "Get Preset, Get All Presets, Send Changed Presets, Verify Device, -, Display, Print",
            "popup/Display: Display Knob Table (4 Presets) | Ctrl+D, "
            "Display Knob Table (8 Presets) | Ctrl+Alt+D, -, Display Preset Parameters, "
            "Display Knob Names",
            "popup/Print: Print Knob Table (4 Presets) | Ctrl+P, "
            "Print Knob Table (8 Presets) | Ctrl+Alt+P",
        };
        QCOMPARE(lines, expected);

        // No key runs two visible entries.
        QMap<QString, int> uses;
        for (const QAction* a : form().findChildren<QAction*>()) {
            for (const QKeySequence& key : a->shortcuts()) {
                if (a->isVisible())
                    ++uses[key.toString()];
            }
        }
        for (auto it = uses.cbegin(); it != uses.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
    }

    void variantSwitchCaptionAndMenus()
    {
        QAction* singleItem = nullptr; // two "Send Single Preset": an item and a submenu
        QAction* singleMenu = nullptr;
        for (QAction* a : form().findAction({ "&File", "Send" })->menu()->actions()) {
            if (a->text().section(QLatin1Char('\t'), 0, 0) == QStringLiteral("Send Single Preset"))
                (a->menu() != nullptr ? singleMenu : singleItem) = a;
        }
        QAction* loadBanks = form().findAction({ "&File", "Load", "Load Banks 1-4" });
        QAction* popupSendBanks = form().findAction({ "PresetPopupMenu", "Send Banks 1-4" });
        QVERIFY(loadBanks && popupSendBanks); // hidden at first: the menus test

        form().switchDeviceVariant(DeviceVariant::zembraDial); // F8
        QVERIFY(loadBanks->isVisible() && loadBanks->isEnabled() && popupSendBanks->isVisible());
        QVERIFY(!singleItem->isVisible() && !singleItem->isEnabled() && singleMenu->isVisible());
        QVERIFY(m_run->config().variantRadio(DeviceVariant::zembraDial)->isChecked());

        form().findAction({ "&Devices", "zembraFader" })->trigger(); // F9
        QVERIFY(!loadBanks->isVisible() && m_run->editor->variant() == DeviceVariant::zembraFader);
        QCOMPARE(bank().presets[0].name, std::string("P0")); // switching keeps the data
    }

    void sendCommandsCheckThePortsAndF3SendsInEveryVariant()
    {
        form().SendPreset1Click();
        form().GetPreset1Click();
        QCOMPARE(m_run->warnings.size(), 2);
        QVERIFY(m_run->warnings[0].startsWith(
            QStringLiteral("Warning !!!: You need to select the \"PC -> zembraControl\" port")));
        QVERIFY(m_run->warnings[1].contains(QStringLiteral("MidiIn/Out ports")));
        form().show();
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        m_run->config().chooseOutputEntry(0);
        form().SendAllPresets1Click();
        QCOMPARE(form().session().protocol().sendCount(), 128 * 68);
        form().selectPreset(6);
        QTest::keyClick(&form(), Qt::Key_F3);
        QCOMPARE(form().session().protocol().sendCount(), 68);
        form().switchDeviceVariant(DeviceVariant::zembraDial);
        form().selectPreset(7);
        QTest::keyClick(&form(), Qt::Key_F3);
        QCOMPARE(form().session().protocol().sendCount(), 84); // init values and data
        QCOMPARE(form().session().protocol().sendBuffer()[7].data1, std::uint8_t { 7 });
        QTest::keyClick(&form(), Qt::Key_F2);
        QCOMPARE(form().session().protocol().sendCount(), 4 * 84);
        QCOMPARE(m_run->warnings.size(), 2);
    }

    void presetClipboardAndDescriptionBox()
    {
        QVERIFY(!form().pasteEnabled());
        form().selectPreset(2);
        form().findAction({ "&Edit", "&Copy Preset" })->trigger();
        QVERIFY(form().pasteEnabled());
        form().selectPreset(7);
        form().pastePreset();
        QCOMPARE(item(7), QStringLiteral(" 8: P2")); // what a paste takes is the session's

        form().selectPreset(3);
        form().descriptionBox()->setPlainText(QStringLiteral("line one\nline two"));
        QCOMPARE(bank().presets[3].description, std::string("line one\r\nline two"));
        form().selectPreset(4);
        QCOMPARE(form().descriptionBox()->toPlainText(), QStringLiteral("about 4"));
    }

    void replyForAnotherPresetRedrawsOnlyItsTreeItem()
    {
        form().selectPreset(126);
        const QStringList shown = cells(form());
        // The device's answers: knob data only, no texts.
        Preset reply;
        reply.fixedParameter.fill(7);
        m_run->ports->reply(presetDataFrame(reply, 4).bytes());
        QCOMPARE(bank().presets[4].fixedParameter[0], 7); // it did land in preset 5
        QCOMPARE(form().headingLabel()->text(), QStringLiteral("127: P126"));
        QCOMPARE(form().descriptionBox()->toPlainText(), QStringLiteral("about 126"));
        QCOMPARE(cells(form()), shown);
        QCOMPARE(item(4), QStringLiteral(" 5: P4"));

        form().descriptionBox()->moveCursor(QTextCursor::End);
        QTest::keyClicks(form().descriptionBox(), QStringLiteral("X"));
        m_run->ports->reply(presetDataFrame(reply, 126).bytes()); // the selected one is redrawn
        QCOMPARE(cells(form()), cells(form(), 126));
        QVERIFY(cells(form()) != shown);
        // Both descriptions stay as they were.
        QCOMPARE(bank().presets[126].description, std::string("about 126X"));
        QCOMPARE(bank().presets[4].description, std::string("about 4"));
    }

    void statusLineAndFixedWindowHazards()
    {
        // No driver library: no save can succeed.
        const QSize client = form().centralWidget()->size();
        form().SendButtonClick(); // no output chosen: no box, but a reason
        QVERIFY(m_run->warnings.isEmpty());
        QCOMPARE(
            form().statusText(), QStringLiteral("No output port: choose one in Device Settings"));

        m_run->config().chooseOutputEntry(0);
        form().SendButtonClick();
        while (form().session().transferring()) // its texts are the protocol's test
            form().session().tick(*form().session().protocol().deadline(ProtocolTimer::Timer1));
        QCOMPARE(form().statusText(), QStringLiteral("Sent"));
        QCOMPARE(form().centralWidget()->size(), client); // the line sits below the client area
        QVERIFY(form().statusBar()->isVisible() || !form().isVisible());

        // Small hazards of the fixed window.
        QVERIFY(!form().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

        // "Master" is shown whole in its 39-pixel cell, not cut to "Maste".
        m_run->bank().presets[0].eventType[0] = 0; // a controller, which has a channel
        m_run->bank().presets[0].channel[0] = 0;
        form().selectPreset(0);
        form().refreshKnobTable(0);
        KnobTable* table = form().knobTable();
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
        QTimer::singleShot(0, &form(), [&defaultButton] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr) {
                defaultButton = box->defaultButton()->text();
                box->defaultButton()->click();
            }
        });
        QCOMPARE(form().askSaveFailure(QStringLiteral("Config.MID: no driver")),
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

    void monitorAndLearnFollowTheTrafficOnlyWhileOn()
    {
        TrafficTap& tap = m_run->editor->traffic();
        QVERIFY(m_run->config().selectOutputByName("Test Out A"));
        QVERIFY(m_run->config().selectInputByName("Test In"));
        m_run->config().getDeviceConfiguration(); // opens the input
        QVERIFY(tap.monitor() == nullptr);

        form().findAction({ QStringLiteral("&Device"), QStringLiteral("MIDI Monitor") })->trigger();
        TMidiMonitorForm* monitor = form().midiMonitor();
        QVERIFY(monitor != nullptr && monitor->attached());
        m_run->ports->onInput(MidiEvent { 0, 0xB0, 7, 100, 0 });
        form().selectPreset(11, false);
        // The hidden button sends only the Program Change of preset 12.
        auto* button = form().findChild<QPushButton*>(QStringLiteral("Button1"));
        QVERIFY(button != nullptr && button->isHidden());
        button->click();
        monitor->showNewLines();
        const QStringList lines = monitor->view()->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(
            QStringLiteral("\tIn\tTest In\tCh 1 Controller 7:Volume 100\tB0 07 64")));
        QVERIFY(lines[1].endsWith(
            QStringLiteral("\tOut\tTest Out A\tCh 1 Prg-Change 11 (preset 12)\tC0 0B")));

        // Paused, the view stands still and catches up when resumed.
        monitor->setPaused(true);
        m_run->ports->onInput(MidiEvent { 0, 0xE0, 0, 64, 0 });
        monitor->showNewLines();
        QCOMPARE(monitor->view()->blockCount(), 2);
        monitor->setPaused(false);
        QCOMPARE(monitor->view()->blockCount(), 3);
        monitor->copySelection();
        QCOMPARE(QApplication::clipboard()->text(), monitor->view()->toPlainText());
        monitor->clear();
        QVERIFY(monitor->view()->toPlainText().isEmpty() && monitor->log().lines().empty());

        // A long message is cut in the view and whole, 16 bytes a line, in its tooltip.
        m_run->ports->onInput(MidiEvent { 0, 0xF0, 0xF0, 0, 0 });
        for (int i = 0; i < 98; ++i)
            m_run->ports->onInput(MidiEvent { 0, 0xF0, 0x11, 0, 0 });
        m_run->ports->onInput(MidiEvent { 0, 0xF0, 0xF7, 0, 0 });
        monitor->showNewLines();
        QVERIFY(monitor->view()->toPlainText().endsWith(QStringLiteral(" ...")));
        const QStringList whole = monitor->wholeMessage(0).split(QLatin1Char('\n'));
        QCOMPARE(whole.size(), 1 + 7);
        QVERIFY(whole.front().startsWith(QStringLiteral("Test In: ")));
        QCOMPARE(whole.back(), QStringLiteral("11 11 11 F7"));
        QVERIFY(monitor->wholeMessage(1).isEmpty());

        // Closed, nothing is recorded.
        monitor->close();
        QVERIFY(tap.monitor() == nullptr);
        const std::uint64_t before = monitor->log().nextSequence();
        m_run->ports->onInput(MidiEvent { 0, 0xB0, 7, 1, 0 });
        QCOMPARE(monitor->log().nextSequence(), before);

        // Learn selects the knob that was moved, while it is on.
        form().selectPreset(4, false);
        Preset& preset = m_run->bank().presets[4];
        preset.channel[2] = 1;
        preset.eventType[2] = 0; // Controller 74
        preset.fixedParameter[2] = 74;
        preset.channel[9] = 0; // Master (channel 1 by default)
        preset.eventType[9] = 5; // NoteOn 60
        preset.fixedParameter[9] = 60;
        QAction* learn = form().findAction({ QStringLiteral("&Device"), QStringLiteral("Learn") });
        QVERIFY(m_run->editor->traffic().learner() == nullptr);

        learn->trigger();
        QVERIFY(learn->isChecked() && form().knobLearnOn());
        const struct {
            MidiEvent event;
            int knob; ///< 1..16 highlighted afterwards
        } steps[] = {
            { { 0, 0xB0, 74, 10, 0 }, 3 }, { { 0, 0x90, 60, 99, 0 }, 10 },
            { { 0, 0xB3, 74, 10, 0 }, 10 }, // no knob sends on channel 4
        };
        for (const auto& step : steps) {
            m_run->ports->onInput(step.event);
            QCOMPARE(form().editorState().hoverKnob, step.knob);
            QCOMPARE(form().knobTable()->currentRow(), step.knob);
        }
        QVERIFY(form().statusText().startsWith(QStringLiteral("Learn: knob 10 ")));

        learn->trigger();
        QVERIFY(!form().knobLearnOn() && m_run->editor->traffic().learner() == nullptr);
        m_run->ports->onInput(MidiEvent { 0, 0xB0, 74, 10, 0 });
        QCOMPARE(form().editorState().hoverKnob, 10);
    }

    void changedPresetsGoOutAreVerifiedAndOneTravelsThereAndBack()
    {
        EmulatorRun editor(this);
        TMainForm& form = editor.windows.mainForm();
        TConfigForm& config = editor.windows.configForm();
        QVERIFY(editor.chooseEmulator());
        config.setDelayFieldText(QStringLiteral("2"));
        // The device answers the two queries.
        QTRY_VERIFY_WITH_TIMEOUT(!config.model().versionText.empty(), 3000);
        QStringList reports; // boxes of either kind
        form.showReport = form.showWarning = [&](const QString& title, const QString& text) {
            reports << title + QStringLiteral(": ") + text;
        };
        // What goes, the captions and what the report says are the device
        // sync's tests; a send reads itself back and speaks only of a difference.
        form.findAction({ "&Device", "Send Changed Presets" })->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(
            form.statusText(), QStringLiteral("Sent and verified 128 presets"), 20000);
        QVERIFY(reports.isEmpty());
        form.findAction({ "PresetPopupMenu", "Verify Device" })->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 10000);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Verify Device: Verified 128 of 128")),
            qPrintable(reports[0]));

        // Which bytes carry which field is the protocol's test; here the way there and back.
        Preset& preset = form.editorState().bank.presets[20];
        preset.fixedParameter.fill(77);
        form.selectPreset(20);
        form.SendButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!form.session().transferring(), 3000);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA CONTROL"));
        // Forget the knob data here, then ask the device for it.
        preset.fixedParameter.fill(0);
        form.GetPreset1Click();
        QTRY_COMPARE_WITH_TIMEOUT(preset.fixedParameter[15], 77, 3000);
        QCOMPARE(preset.fixedParameter[0], 77);
        QCOMPARE(form.windowTitle(), QStringLiteral("Getting Preset:21"));
        QCOMPARE(reports.size(), 1);
    }

    void verifyRowsSortByTheClickedColumnAndTheWindowFitsTheScreen()
    {
        const auto report = verifyReport();
        const auto cell = [&](int row, int column) { return cellText(*report, row, column); };
        QCOMPARE(report->table()->model()->rowCount(), 33);
        QCOMPARE((QStringList { cell(0, 0), cell(16, 0), cell(16, 4) }),
            (QStringList { "6 P5", "8 P7", "no reply" }));
        QHeaderView* header = report->table()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(1) + 4, header->height() / 2));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE((QStringList {
                     cell(0, 1), cell(1, 1), cell(2, 1), cell(3, 1), cell(1, 0), cell(2, 0) }),
            (QStringList { "", "1", "1", "2", "6 P5", "10 P9" }));
        const QRect screen = report->screen()->availableGeometry();
        QVERIFY(report->frameGeometry().height() <= screen.height());
        QVERIFY(report->width() <= screen.width());
    }

    void verifyTakeFromDeviceTakesTheChosenPresetsOnly()
    {
        const PresetSet before = bank().presets;
        const auto report = verifyReport();
        // A row of preset 10 chosen: only it is taken (as one step: the
        // session's test), and its rows leave.
        report->table()->selectRow(20);
        QCOMPARE(report->chosenPresets(), std::vector<int> { 9 });
        QTest::mouseClick(report->takeButton(), Qt::LeftButton);
        QCOMPARE(bank().presets[9].channel[0], 0);
        QCOMPARE(bank().presets[5], before[5]);
        QCOMPARE(report->table()->model()->rowCount(), 17);
        // Only the preset that did not answer is chosen: nothing to take.
        report->table()->selectRow(16);
        QVERIFY(!report->takeButton()->isEnabled());
    }

    void verifySendTheseSendsEveryListedPresetAndClosesTheReport()
    {
        const auto report = verifyReport();
        QCOMPARE(report->chosenPresets(), (std::vector<int> { 5, 7, 9 }));
        QTest::mouseClick(report->sendButton(), Qt::LeftButton);
        QVERIFY(m_run->editor->transferring());
        QCOMPARE(report->table()->model()->rowCount(), 0);
        QVERIFY(!report->isVisible());
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
