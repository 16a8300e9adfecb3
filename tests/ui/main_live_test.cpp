// The views of the live traffic: the MIDI monitor window and knob learn.

#include "main_test_support.h"
#include "ui/knob_table.h"
#include "ui/midi_monitor_form.h"

#include <QClipboard>

using namespace kestrow;
using namespace kestrow::test;

class MainLiveTest : public QObject {
    Q_OBJECT

private slots:
    void monitorAndLearnFollowTheTrafficOnlyWhileOn()
    {
        QTemporaryDir dir;
        Session s(dir.path(), false);
        TMainForm& form = s.main();
        TrafficTap& tap = s.editor->traffic();
        QVERIFY(s.config().selectOutputByName("Test Out A"));
        QVERIFY(s.config().selectInputByName("Test In"));
        s.config().getDeviceConfiguration(); // opens the input
        QVERIFY(tap.monitor() == nullptr);

        form.findAction({ QStringLiteral("&Device"), QStringLiteral("MIDI Monitor") })->trigger();
        TMidiMonitorForm* monitor = form.midiMonitor();
        QVERIFY(monitor != nullptr && monitor->attached());
        s.ports->onInput(MidiEvent { 0, 0xB0, 7, 100, 0 });
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
        s.ports->onInput(MidiEvent { 0, 0xE0, 0, 64, 0 });
        monitor->showNewLines();
        QCOMPARE(monitor->view()->blockCount(), 2);
        monitor->setPaused(false);
        QCOMPARE(monitor->view()->blockCount(), 3);
        monitor->copySelection();
        QCOMPARE(QApplication::clipboard()->text(), monitor->view()->toPlainText());
        monitor->clear();
        QVERIFY(monitor->view()->toPlainText().isEmpty() && monitor->log().lines().empty());

        // A long message is cut in the view and whole, 16 bytes a line, in its tooltip.
        s.ports->onInput(MidiEvent { 0, 0xF0, 0xF0, 0, 0 });
        for (int i = 0; i < 98; ++i)
            s.ports->onInput(MidiEvent { 0, 0xF0, 0x11, 0, 0 });
        s.ports->onInput(MidiEvent { 0, 0xF0, 0xF7, 0, 0 });
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
        s.ports->onInput(MidiEvent { 0, 0xB0, 7, 1, 0 });
        QCOMPARE(monitor->log().nextSequence(), before);

        // Learn selects the knob that was moved, while it is on.
        form.selectPreset(4, false);
        Preset& preset = s.bank().presets[4];
        preset.channel[2] = 1;
        preset.eventType[2] = 0; // Controller 74
        preset.fixedParameter[2] = 74;
        preset.channel[9] = 0; // Master (channel 1 by default)
        preset.eventType[9] = 5; // NoteOn 60
        preset.fixedParameter[9] = 60;
        QAction* learn = form.findAction({ QStringLiteral("&Device"), QStringLiteral("Learn") });
        QVERIFY(s.editor->traffic().learner() == nullptr);

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
            s.ports->onInput(step.event);
            QCOMPARE(form.editorState().hoverKnob, step.knob);
            QCOMPARE(form.knobTable()->currentRow(), step.knob);
        }
        QVERIFY(form.statusText().startsWith(QStringLiteral("Learn: knob 10 ")));

        learn->trigger();
        QVERIFY(!form.knobLearnOn() && s.editor->traffic().learner() == nullptr);
        s.ports->onInput(MidiEvent { 0, 0xB0, 74, 10, 0 });
        QCOMPARE(form.editorState().hoverKnob, 10);
    }
};

QTEST_MAIN(MainLiveTest)
#include "main_live_test.moc"
