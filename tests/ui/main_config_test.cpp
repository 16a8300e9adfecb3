// The device settings dialog: ports, delay, thru configuration, replies,
// notes range, variant and tree options; the views of the live traffic: the
// MIDI monitor window and knob learn.

#include "main_test_support.h"
#include "ui/knob_table.h"
#include "ui/midi_monitor_form.h"

#include <QClipboard>
#include <QRadioButton>
#include <QSpinBox>

using namespace kestrow;
using namespace kestrow::test;

class MainConfigTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Session> m_run;
    TConfigForm& config() { return m_run->config(); }
    FakePorts& ports() { return *m_run->ports; }

private slots:
    void init()
    {
        m_run = std::make_unique<Session>(m_dir.path(), false);
        m_run->main().FormShow();
    }
    void cleanup() { m_run.reset(); }

    void captionsAreWholeEvenInLargerFonts()
    {
        for (const int points : { 0, 14 }) { // the desktop's font, then a larger one
            QFont font = QApplication::font();
            if (points > 0)
                font.setPointSize(points);
            const QFont before = QApplication::font();
            QApplication::setFont(font);
            cleanup();
            init();
            config().delayField(); // builds the controls
            QApplication::setFont(before);
            for (const QWidget* w : config().findChildren<QWidget*>()) {
                const bool caption = qobject_cast<const QAbstractButton*>(w) != nullptr
                    || (qobject_cast<const QLabel*>(w) != nullptr
                        && !qobject_cast<const QLabel*>(w)->wordWrap());
                if (!caption || !w->isVisibleTo(&config()))
                    continue;
                const QString what = w->metaObject()->className() + QStringLiteral(" ")
                    + (qobject_cast<const QLabel*>(w)
                            ? qobject_cast<const QLabel*>(w)->text()
                            : qobject_cast<const QAbstractButton*>(w)->text());
                QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(what));
                QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(what));
            }
        }
    }

    void delayField()
    {
        // The rule itself is the protocol's; here that the field shows what it made.
        for (const auto& [typed, shown] : { std::pair { "0350", "350" }, { "fast", "200" } }) {
            config().delayField()->setText(QStringLiteral("123"));
            config().delayField()->setText(QString::fromLatin1(typed));
            QCOMPARE(config().delayField()->text(), QString::fromLatin1(shown));
            QCOMPARE(config().model().delay, QString::fromLatin1(shown).toInt());
        }
    }

    void portChoicesEnableTheDeviceButtons()
    {
        // Which ports open and when the device is asked is the session's test;
        // that the button asks, the monitor's and the emulator's.
        config().chooseInputEntry(0);
        QVERIFY(!config().getConfigurationButton()->isEnabled());
        config().chooseOutputEntry(1);
        QVERIFY(config().getConfigurationButton()->isEnabled());
        QVERIFY(config().configureButton()->isEnabled());
        config().chooseOutputEntry(2); // "no device"
        QVERIFY(!config().configureButton()->isEnabled());
        QVERIFY(!config().getConfigurationButton()->isEnabled());
    }

    void portChangesRefreshTheListsKeepingTheChoicesByName()
    {
        config().chooseOutputEntry(1);
        config().chooseInputEntry(0);
        config().show();
        ports().outputs = { "Test Out C", "Test Out B" };
        ports().inputs = { "Test In 2", "Test In" };
        const std::uint64_t one = 1;
        QCOMPARE(::write(ports().changes, &one, sizeof one), ssize_t { sizeof one });
        QTRY_COMPARE(config().outputList()->itemText(0), QStringLiteral("Test Out C"));
        QCOMPARE(config().outputList()->currentText(), QStringLiteral("Test Out B"));
        QCOMPARE(config().inputList()->currentText(), QStringLiteral("Test In"));
        QCOMPARE(config().systemsLabel()->text(), QStringLiteral("Test MIDI: ready"));

        // Unplugged, the chosen output stays chosen and says so.
        ports().outputs = { "Test Out C" };
        QCOMPARE(::write(ports().changes, &one, sizeof one), ssize_t { sizeof one });
        QTRY_COMPARE(
            config().outputList()->currentText(), QStringLiteral("Test Out B (not connected)"));
        ports().outputs = { "Test Out C", "Test Out B" };
        QCOMPARE(::write(ports().changes, &one, sizeof one), ssize_t { sizeof one });
        QTRY_COMPARE(config().outputList()->currentText(), QStringLiteral("Test Out B"));
    }

    void thruConfigurationAsksFirst()
    {
        int asked = 0;
        bool answer = false;
        config().confirmConfigure = [&] {
            ++asked;
            return answer;
        };
        config().configureDevice(); // no output: not even asked
        QCOMPARE(asked, 0);
        config().chooseOutputEntry(0);
        config().masterChannel()->setValue(10);
        config().configureButton()->click();
        QCOMPARE(asked, 1);
        QVERIFY(ports().puts.empty()); // Cancel sends nothing
        answer = true;
        config().configureDevice();
        QCOMPARE(ports().sysex(10).size(), std::size_t { 1 });
        QCOMPARE(ports().puts[0].bytes[8], 9); // the master channel from the dialog
    }

    void deviceRepliesFillTheDialog()
    {
        // Before the controls exist (they are built when first needed), and after.
        QVERIFY(config().findChildren<QComboBox*>().isEmpty());
        ports().reply({ 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x50, 0x05, 0x09, 0xF7 });
        QVERIFY(config().channelThru()->isChecked() && config().realtimeThru()->isChecked());
        QVERIFY(!config().sysexThru()->isChecked());
        QCOMPARE(config().masterChannel()->value(), 10);
        ports().reply({ 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x00, 1, 12, 0xF7 });
        QCOMPARE(config().versionLabel()->text(), QStringLiteral("1.12"));
    }

    void notesRange()
    {
        PresetBank& bank = m_run->bank();
        bank.presets[0].eventType[0] = 5;
        bank.presets[0].fixedParameter[0] = 60;
        m_run->main().refreshKnobTable(0); // how each range names a note is the catalogue's
        config().notesMinus2()->setChecked(true);
        QCOMPARE(m_run->main().knobTable()->item(1, 4)->text(), QStringLiteral(" 60:  C  3"));
    }

    void variantAndBankGroupControls()
    {
        TMainForm& form = m_run->main();
        config().variantRadio(DeviceVariant::zembraDial)->setChecked(true);
        QCOMPARE(form.deviceVariant(), DeviceVariant::zembraDial);
        QVERIFY(config().showBankGroups()->isEnabled() && config().fixedRadio()->isEnabled());
        // Unticking the groups greys both group kinds and drops the shading at once.
        config().showBankGroups()->setChecked(false);
        QVERIFY(!config().fixedRadio()->isEnabled());
        QVERIFY(!config().variableRadio()->isEnabled());
        QVERIFY(!form.bankGroupOptions().showBankGroups);
        config().showBankGroups()->setChecked(true);
        config().variableRadio()->setChecked(true);
        QVERIFY(form.bankGroupOptions().showBankGroups && form.bankGroupOptions().variable);
        config().variantRadio(DeviceVariant::zembraFader)->setChecked(true);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA FADER"));
        QVERIFY(!config().showBankGroups()->isEnabled());
    }

    void dragKeyRows()
    {
        // Per row the operation with no key, Shift and Ctrl: Copy, Move or Swap.
        const std::array<const char*, 6> rows { "MCS", "MSC", "CMS", "CSM", "SMC", "SCM" };
        const auto op = [](char c) {
            return c == 'C' ? DragOperation::copy
                : c == 'M'  ? DragOperation::move
                            : DragOperation::swap;
        };
        for (int row = 1; row <= 6; ++row) {
            config().chooseDragKeyRow(row);
            const char* want = rows[static_cast<std::size_t>(row - 1)];
            QCOMPARE(m_run->main().operationFor(Qt::NoModifier), op(want[0]));
            QCOMPARE(m_run->main().operationFor(Qt::ShiftModifier), op(want[1]));
            QCOMPARE(m_run->main().operationFor(Qt::ControlModifier), op(want[2]));
        }
    }

    void monitorAndLearnFollowTheTrafficOnlyWhileOn()
    {
        TMainForm& form = m_run->main();
        TrafficTap& tap = m_run->editor->traffic();
        QVERIFY(config().selectOutputByName("Test Out A"));
        QVERIFY(config().selectInputByName("Test In"));
        config().getDeviceConfiguration(); // opens the input
        QVERIFY(tap.monitor() == nullptr);

        form.findAction({ QStringLiteral("&Device"), QStringLiteral("MIDI Monitor") })->trigger();
        TMidiMonitorForm* monitor = form.midiMonitor();
        QVERIFY(monitor != nullptr && monitor->attached());
        ports().onInput(MidiEvent { 0, 0xB0, 7, 100, 0 });
        form.selectPreset(11, false);
        // The hidden button sends only the Program Change of preset 12.
        auto* button = form.findChild<QPushButton*>(QStringLiteral("Button1"));
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
        ports().onInput(MidiEvent { 0, 0xE0, 0, 64, 0 });
        monitor->showNewLines();
        QCOMPARE(monitor->view()->blockCount(), 2);
        monitor->setPaused(false);
        QCOMPARE(monitor->view()->blockCount(), 3);
        monitor->copySelection();
        QCOMPARE(QApplication::clipboard()->text(), monitor->view()->toPlainText());
        monitor->clear();
        QVERIFY(monitor->view()->toPlainText().isEmpty() && monitor->log().lines().empty());

        // A long message is cut in the view and whole, 16 bytes a line, in its tooltip.
        ports().onInput(MidiEvent { 0, 0xF0, 0xF0, 0, 0 });
        for (int i = 0; i < 98; ++i)
            ports().onInput(MidiEvent { 0, 0xF0, 0x11, 0, 0 });
        ports().onInput(MidiEvent { 0, 0xF0, 0xF7, 0, 0 });
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
        ports().onInput(MidiEvent { 0, 0xB0, 7, 1, 0 });
        QCOMPARE(monitor->log().nextSequence(), before);

        // Learn selects the knob that was moved, while it is on.
        form.selectPreset(4, false);
        Preset& preset = m_run->bank().presets[4];
        preset.channel[2] = 1;
        preset.eventType[2] = 0; // Controller 74
        preset.fixedParameter[2] = 74;
        preset.channel[9] = 0; // Master (channel 1 by default)
        preset.eventType[9] = 5; // NoteOn 60
        preset.fixedParameter[9] = 60;
        QAction* learn = form.findAction({ QStringLiteral("&Device"), QStringLiteral("Learn") });
        QVERIFY(m_run->editor->traffic().learner() == nullptr);

        learn->trigger();
        QVERIFY(learn->isChecked() && form.knobLearnOn());
        const struct {
            MidiEvent event;
            int knob; ///< 1..16 highlighted afterwards
        } steps[] = {
            { { 0, 0xB0, 74, 10, 0 }, 3 }, { { 0, 0x90, 60, 99, 0 }, 10 },
            { { 0, 0xB3, 74, 10, 0 }, 10 }, // no knob sends on channel 4
        };
        for (const auto& step : steps) {
            ports().onInput(step.event);
            QCOMPARE(form.editorState().hoverKnob, step.knob);
            QCOMPARE(form.knobTable()->currentRow(), step.knob);
        }
        QVERIFY(form.statusText().startsWith(QStringLiteral("Learn: knob 10 ")));

        learn->trigger();
        QVERIFY(!form.knobLearnOn() && m_run->editor->traffic().learner() == nullptr);
        ports().onInput(MidiEvent { 0, 0xB0, 74, 10, 0 });
        QCOMPARE(form.editorState().hoverKnob, 10);
    }
};

QTEST_MAIN(MainConfigTest)
#include "main_config_test.moc"
