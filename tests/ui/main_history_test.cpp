// Undo and redo through the main window: every gesture of the knob table,
// the pickers and the picture is one step, taken back and put back whole
// (the preset gestures, drops and loads among them, are the session's
// test), and the keys reach the editors first.

#include "core/knob_drops.h"
#include "main_test_support.h"
#include "ui/knob_table.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/pickers/values_form.h"
#include "widget_fake_host.h"

#include <functional>

using namespace kestrow;
using namespace kestrow::test;

class MainHistoryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Session> m_run;

    TMainForm& form() { return m_run->main(); }
    PresetBank& bank() { return m_run->bank(); }
    WorkingSet workingSet()
    {
        return { bank().presets, bank().clipboardPreset, form().deviceVariant() };
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(copyFactorySet(m_dir->path()));
        m_run = std::make_unique<Session>(m_dir->path());
        form().FormShow();
    }
    void cleanup() { m_run.reset(); }

    void everyGestureIsOneStepTakenBackAndPutBackWhole()
    {
        EditorState& state = form().editorState();
        FakePickerHost host;
        KnobTableController table(state, host);
        PickerSet& pickers = form().pickers();

        const auto popup = [&](int choice, CellPos cell) {
            host.popupChoices = { choice };
            table.rightClick(cell, {});
        };
        const auto typeKnobName = [&](const QString& name) { // a key at a time
            for (qsizetype n = 1; n <= name.size(); ++n)
                table.setKnobName(4, name.left(n));
            table.nameEditFinished();
        };
        const auto enterNumber = [&](const QString& text) {
            host.numberAnswers = { text };
            table.numberEntry(text.left(1));
        };
        const auto copyAt = [&](CellPos cell) {
            table.setCurrentCell(cell);
            table.copy();
            table.setCurrentCell({ cell.column, 0 });
        };
        struct Gesture {
            const char* step; ///< the Edit menu's name of the step
            int preset; ///< undo selects it
            std::function<void()> prepare; ///< outside the step (drags fill the clipboard)
            std::function<void()> apply;
        };
        const std::vector<Gesture> gestures {
            { "Rename Knob 5", 3, [&] { form().selectPreset(3); },
                [&] { typeKnobName(QStringLiteral("Lead")); } },
            { "Set Channel of Knob 3", 3, {}, [&] { popup(15, CellPos(2, 3)); } }, // "16"
            { "Set Channel of All Knobs", 3, {}, [&] { popup(17, CellPos(2, 0)); } }, // "Master"
            { "Number Channels 1 - 16", 3, {}, [&] { popup(0, CellPos(2, 0)); } },
            { "Set Fixed Par of Knob 2", 3, [&] { table.setCurrentCell(CellPos(4, 2)); },
                [&] { enterNumber(QStringLiteral("99")); } },
            { "Set Event of Knob 1", 3, [&] { table.classify(CellPos(3, 1)); },
                [&] { pickers.events().assign(5); } },
            { "Set Init Val of All Knobs", 3, [&] { table.classify(CellPos(5, 0)); },
                [&] { pickers.values().assign(64); } },
            { "Inc. Values", 3, {}, [&] { table.incValues(); } },
            { "Init Description", 3, {}, [&] { table.initDescription(); } },
            { "Move Knob 2", 3, [&] { startKnobDrag(state, 2, 0); }, // Ctrl held: Move
                [&] { QVERIFY(dropOnTable(state, CellPos(0, 9))); } },
            { "Paste Knob 7", 3, [&] { startKnobDrag(state, 1, 0); },
                [&] { QVERIFY(releaseOnPicture(state, 7)); } },
            { "Paste Knob", 3, [&] { copyAt(CellPos(0, 4)); }, [&] { table.paste(); } },
            { "Edit Description", 3, {},
                [&] { QTest::keyClicks(form().descriptionBox(), QStringLiteral("abc")); } },
            { "Select Factory Preset 11", 3, {}, [&] { pickers.factoryPresets().assign(10); } },
            // Undo relabels every preset a step changed, not just the selected one.
            { "Move Preset 3 to 10", 9, [&] { form().selectPreset(2); },
                [&] { form().presetTreeDrop(2, 9, DragOperation::move); } },
            { "Switch to zembraDial", 9, {},
                [&] { form().switchDeviceVariant(DeviceVariant::zembraDial); } },
        };
        form().selectPreset(0);
        state.dragOperation = DragOperation::move;

        for (const Gesture& g : gestures) {
            const QString step = QString::fromLatin1(g.step);
            if (g.prepare)
                g.prepare();
            const WorkingSet before = workingSet();
            g.apply();
            const WorkingSet after = workingSet();
            QVERIFY2(after != before, g.step);
            QCOMPARE(form().undoAction()->text(), QStringLiteral("Undo ") + step);
            QVERIFY(form().undoAction()->isEnabled());

            form().selectPreset(g.preset == 0 ? 1 : 0);
            form().undoLastStep();
            QVERIFY2(workingSet() == before, g.step);
            QCOMPARE(bank().selectedPreset, g.preset);
            for (int p = 0; p < kPresetCount; ++p) // every label says what the bank holds
                QCOMPARE(form().presetTree()->item(p)->text(),
                    QString::fromStdString(presetLabel(p + 1) + bank().presets[p].name));
            QCOMPARE(form().redoAction()->text(), QStringLiteral("Redo ") + step);

            form().redoLastStep();
            QVERIFY2(workingSet() == after, g.step);
            QVERIFY(!form().redoAction()->isEnabled());
        }
        QCOMPARE(m_run->editor->history().undoCount(), gestures.size());
        QCOMPARE(form().windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA DIAL"));
    }

    void ctrlZInAnEditorTakesBackItsOwnTextFirst()
    {
        form().show();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        form().renameConfirmed(0, QStringLiteral("Before"));
        form().selectPreset(0);
        const std::string knobName = bank().presets[0].knobName[1];

        KnobTable* table = form().knobTable();
        table->setFocus();
        table->editItem(table->item(2, 1));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("xy"));
        QCOMPARE(bank().presets[0].knobName[1], std::string("xy"));

        // The editor's own typing first, then the window's steps.
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(bank().presets[0].knobName[1], knobName);
        QCOMPARE(bank().presets[0].name, std::string("Before"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(bank().presets[0].name != "Before");

        // The description box leaves both keys to the window.
        QPlainTextEdit* box = form().descriptionBox();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(bank().presets[0].name, std::string("Before"));
        QTest::keyClicks(box, QStringLiteral("hi"));
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(box->toPlainText().indexOf(QStringLiteral("hi")) < 0);
        QTest::keyClick(box, Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
        QVERIFY(box->toPlainText().contains(QStringLiteral("hi")));
    }
};

QTEST_MAIN(MainHistoryTest)
#include "main_history_test.moc"
