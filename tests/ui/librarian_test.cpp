// The librarian commands of the main window reach their session calls: .syx
// import and export, files dropped on the preset tree, recent files, Find,
// the library, and Compare with File with Take Theirs; undo and redo: every
// gesture of the knob table, the pickers and the picture is one step, taken
// back and put back whole, and the keys reach the editors first. What the
// files hold and the preset gestures' steps are the storage and session tests'.

#include "core/knob_drops.h"
#include "main_test_support.h"
#include "ui/compare_form.h"
#include "ui/find_form.h"
#include "ui/knob_table.h"
#include "ui/library_form.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/pickers/values_form.h"
#include "widget_fake_host.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTableWidget>
#include <QTreeWidget>
#include <QUrl>

#include <functional>

using namespace kestrow;
using namespace kestrow::test;

class LibrarianTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Session> m_run;
    QString m_answer; ///< what the file dialogs return

    TMainForm& form() { return m_run->main(); }
    PresetBank& bank() { return m_run->bank(); }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    WorkingSet workingSet()
    {
        return { bank().presets, bank().clipboardPreset, form().deviceVariant() };
    }

private slots:
    void init()
    {
        m_run = std::make_unique<Session>(m_dir.path());
        form().FormShow();
        form().askFileName = [this](const QString&, const QString&, bool) { return m_answer; };
        for (int p = 0; p < kPresetCount; ++p) {
            Preset& preset = bank().presets[static_cast<std::size_t>(p)];
            preset.name = "Preset " + std::to_string(p + 1);
            preset.description = "about " + std::to_string(p + 1);
            form().refreshKnobTable(p); // the tree shows the names
        }
    }

    void sysExCommandsExportAndImportTheirRange()
    {
        form().applyDeviceVariant(DeviceVariant::zembraDial);
        bank().presets[5].fixedParameter.fill(55);
        form().selectPreset(5);
        m_answer = file("six.syx");
        form().runCommand(MainCommand::exportSelectedSysEx);
        QCOMPARE(fileBytes(m_answer).size(), 26 + 58 + 10); // init values, data, end
        m_answer = file("all.syx");
        form().runCommand(MainCommand::exportAllSysEx);
        QCOMPARE(fileBytes(m_answer).size(), 128 * (26 + 58 + 10));

        // A message of another device before the preset: imported onto the
        // selected preset, the skipped message named.
        QVERIFY(writeBytes(file("other.syx"),
            QByteArray("\xF0\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7", 11)
                + fileBytes(file("six.syx"))));
        form().selectPreset(40);
        m_answer = file("other.syx");
        form().runCommand(MainCommand::importSysEx);
        QVERIFY(bank().presets[40].fixedParameter == bank().presets[5].fixedParameter);
        QCOMPARE(m_run->warnings,
            QStringList { QStringLiteral("Import SysEx: ") + m_answer
                + QStringLiteral(": 1 message of other devices skipped") });
        QCOMPARE(form().undoAction()->text(), QStringLiteral("Undo Import SysEx"));
    }

    void droppedFilesLoadAsTheirLoadCommands()
    {
        bank().presets[11].name = "Twelve";
        bank().presets[11].fixedParameter.fill(99);
        const Preset twelve = bank().presets[11];
        QVERIFY(m_run->editor->saveSinglePreset(file("single.MID").toStdString(), 11).ok());
        bank().presets[100].name = "Hundred and one";
        QVERIFY(m_run->editor->saveAllPresets(file("all.MID").toStdString()).ok());
        bank().presets[100].name = "changed";

        // This one through the tree's own drop handling.
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
        PresetTree* tree = form().presetTree();
        tree->scrollToItem(tree->item(39));
        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(file("single.MID")) });
        const QPoint at = tree->visualItemRect(tree->item(39)).center();
        // Qt hands a drop to the widget that took the drag's entry.
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(bank().selectedPreset, 39);
        QVERIFY(bank().presets[39].fixedParameter == twelve.fixedParameter);
        QCOMPARE(form().undoAction()->text(), QStringLiteral("Undo Load Single Preset"));

        // A side file stands for its set: all presets, as "Load All Presets".
        form().filesDropped({ file("all.CFG") }, 3);
        QCOMPARE(bank().presets[100].name, std::string("Hundred and one"));

        // A wrong file gets the message the menu command gives.
        QVERIFY(writeBytes(file("notes.txt"), "hello"));
        form().filesDropped({ file("notes.txt") }, 7);
        m_answer = file("notes.txt");
        form().Open1Click();
        QCOMPARE(m_run->warnings.size(), 2);
        QVERIFY(m_run->warnings[0].startsWith(QStringLiteral("Load All Presets: ")));
        QCOMPARE(m_run->warnings[0], m_run->warnings[1]);

        // Opened files are the recent ones, newest first; a vanished one goes.
        const std::vector<std::string> recent { file("all.MID").toStdString(),
            file("single.MID").toStdString() };
        QVERIFY(m_run->editor->recentFiles() == recent);
        QVERIFY(QFile::remove(file("single.MID")));
        form().openRecentFile(file("single.MID"));
        QVERIFY(m_run->editor->recentFiles() == std::vector<std::string> { recent[0] });
        QVERIFY(m_run->warnings.last().contains(QStringLiteral("no longer exists")));

        // A set cut short loads what it holds and says that the rest is missing.
        QVERIFY(QFile::resize(file("all.MID"), QFile(file("all.MID")).size() / 2));
        form().filesDropped({ file("all.MID") }, 3);
        QCOMPARE(m_run->warnings.last(),
            QStringLiteral("Load All Presets: ") + file("all.MID")
                + QStringLiteral(": the file is cut short: the presets it held after the cut are "
                                 "missing"));
    }

    void findListsMatchesAndChoosingOneSelectsIt()
    {
        const std::vector<SearchMatch> wanted { { 3, 2 }, { 90, 0 }, { 90, 15 } };
        for (const SearchMatch& m : wanted) {
            Preset& p = bank().presets[static_cast<std::size_t>(m.presetIndex)];
            p.eventType[static_cast<std::size_t>(m.knob)] = 0; // Controller
            p.fixedParameter[static_cast<std::size_t>(m.knob)] = 7;
        }
        TFindForm& find = form().findForm();
        find.eventField()->setText(QStringLiteral("Controller"));
        find.parameterField()->setText(QStringLiteral("7"));
        QCOMPARE(find.runSearch(), QString());
        QVERIFY(find.matches() == wanted);
        QCOMPARE(find.resultList()->count(), 3);
        QVERIFY(find.resultList()->item(1)->text().startsWith(QStringLiteral("preset 91 ")));

        find.chooseMatch(2);
        QCOMPARE(bank().selectedPreset, 90);
        QCOMPARE(bank().selectedKnob, 15);
        QCOMPARE(form().knobTable()->currentRow(), 16);
    }

    void libraryListsSetsFindsAcrossThemAndCopiesOnePreset()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sets/live")));
        bank().presets[3].name = "Lead Bass";
        bank().presets[3].eventType[0] = 0; // Controller 74 on channel 2
        bank().presets[3].fixedParameter[0] = 74;
        bank().presets[3].channel[0] = 2;
        QVERIFY(m_run->editor->saveAllPresets(file("sets/live/Gig.MID").toStdString()).ok());
        QVERIFY(writeBytes(file("sets/Bad.MID"), "junk"));
        const Preset lead = bank().presets[3];
        bank().presets[10].name = "Mine";

        form().runCommand(MainCommand::library);
        TLibraryForm& library = form().libraryForm();
        library.askFolder = [this] { return file("sets"); };
        library.addFolder();
        library.finishRefresh();
        QCOMPARE(library.setList()->topLevelItemCount(), 2);
        QCOMPARE(library.setList()->topLevelItem(0)->text(1), QStringLiteral("damaged"));
        QCOMPARE(library.setList()->topLevelItem(1)->text(0), QStringLiteral("live/Gig.MID"));

        library.eventField()->setText(QStringLiteral("Controller"));
        library.parameterField()->setText(QStringLiteral("74"));
        library.channelField()->setCurrentIndex(3); // channel 2
        library.textField()->setText(QStringLiteral("lead bass"));
        QCOMPARE(library.runSearch(), QString());
        QCOMPARE(library.resultList()->count(), 1);
        QVERIFY(library.resultList()->item(0)->text().startsWith(
            QStringLiteral("Gig.MID: preset 4 \"Lead Bass\" / knob 1")));

        form().selectPreset(10);
        QVERIFY(library.copyResult(0));
        QVERIFY(bank().presets[10] == lead);
        QVERIFY(form().presetTree()->item(10)->text().endsWith(QStringLiteral("Lead Bass")));
        form().runCommand(MainCommand::undo);
        QCOMPARE(bank().presets[10].name, std::string("Mine"));
    }

    void compareShowsDifferencesAndTakesTheirs()
    {
        QVERIFY(m_run->editor->saveAllPresets(file("theirs.MID").toStdString()).ok());
        const PresetSet theirs = bank().presets;
        bank().presets[3].name = "Mine";
        bank().presets[3].eventType[1] = 5;
        bank().presets[9].description = "changed";

        m_answer = file("theirs.MID");
        form().runCommand(MainCommand::compareWithFile);
        TCompareForm& compare = form().compareForm();
        QCOMPARE(compare.differences().size(), std::size_t(2));
        QCOMPARE(compare.shownPreset(), 3);
        QCOMPARE(compare.partTable()->rowCount(), 2); // the name and knob 2's event
        QCOMPARE(compare.partTable()->item(0, 2)->text(), QStringLiteral("Preset 4"));

        QVERIFY(compare.takeTheirs());
        QVERIFY(bank().presets[3] == theirs[3]);
        QCOMPARE(form().presetTree()->item(3)->text(), QStringLiteral(" 4: Preset 4"));
        QCOMPARE(compare.shownPreset(), 9);
        QCOMPARE(compare.differences().size(), std::size_t(1));
    }

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
        bank().factoryPresets[10].name = "Factory 11";
        for (int k = 0; k < kKnobCount; ++k) // controllers, which have a channel
            bank().presets[3].fixedParameter[static_cast<std::size_t>(k)] = k;
        bank().presets[3].eventType.fill(0);

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

QTEST_MAIN(LibrarianTest)
#include "librarian_test.moc"
