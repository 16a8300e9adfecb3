#include "knob_table.h"
#include "widget_fake_host.h"

#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace kestrow;

namespace {

/// One editing setup: bank, catalogue, state, scripted host and a shown table.
struct Rig {
    PresetBank bank;
    Catalogue catalogue;
    EditorState state { bank, catalogue };
    FakePickerHost host;
    std::unique_ptr<KnobTable> table;
    int viewRefreshes = 0;

    explicit Rig(DeviceVariant variant = DeviceVariant::zembraControl)
    {
        state.variant = variant;
        state.hooks.refreshPresetView = [this](int) { ++viewRefreshes; };
        table = std::make_unique<KnobTable>(state, host);
        table->resize(620, 330);
        table->show();
        table->setFocus();
    }
    KnobTableController& ctl() { return table->controller(); }
    Preset& preset() { return bank.presets[static_cast<std::size_t>(bank.selectedPreset)]; }
    QString cellText(int column, int row) { return table->item(row, column)->text(); }
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(table.get(), static_cast<Qt::Key>(key), mods);
    }
    void at(int column, int row) { ctl().setCurrentCell({ column, row }); }
};

} // namespace

class KnobTableTest : public QObject {
    Q_OBJECT
private slots:
    void tableShowsHeadingsAndCellTexts()
    {
        Rig rig;
        rig.preset().eventType[2] = 0;
        rig.preset().fixedParameter[2] = 7;
        rig.preset().knobName[2] = "Cut\x80off"; // the euro sign in Windows-1252
        rig.state.refreshKnobTable(0);
        QCOMPARE(rig.cellText(0, 0), QStringLiteral("#"));
        QCOMPARE(rig.cellText(2, 0), QStringLiteral("  Ch"));
        QCOMPARE(rig.cellText(5, 0), QStringLiteral("Init Val"));
        QCOMPARE(rig.cellText(0, 16), QStringLiteral("16"));
        QCOMPARE(rig.cellText(1, 3), QString::fromUtf8("Cut\u20acoff"));
        QCOMPARE(rig.cellText(2, 3), QStringLiteral(" 3"));
        QCOMPARE(rig.cellText(4, 3), QStringLiteral("  7:Volume"));
        QCOMPARE(rig.cellText(3, 1), QStringLiteral("No-Event"));
        QCOMPARE(rig.viewRefreshes, 1);
        for (int c = 0; c < 6; ++c)
            QCOMPARE(rig.table->columnWidth(c),
                     KnobTable::kColumnWidths[static_cast<std::size_t>(c)]);
        QCOMPARE(rig.table->rowHeight(7), 18);
    }

    void channelHeadingPopupNumbersAndMaster()
    {
        Rig rig;
        rig.preset().channel.fill(5);
        rig.host.popupChoices = { 0 };
        rig.ctl().rightClick({ 2, 0 }, QPoint(10, 10));
        QCOMPARE(rig.host.popups.size(), std::size_t(1));
        const QStringList& entries = rig.host.popups[0];
        QCOMPARE(entries.size(), 18);
        QCOMPARE(entries.first(), QStringLiteral("1 - 16"));
        QCOMPARE(entries[1], QStringLiteral("1"));
        QCOMPARE(entries.last(), QStringLiteral("Master"));
        QCOMPARE(rig.host.popupPositions[0], QPoint(10, 10));
        for (int k = 0; k < 16; ++k)
            QCOMPARE(rig.preset().channel[k], k + 1);
        QVERIFY(!rig.bank.allKnobsPending);

        rig.host.popupChoices = { 17 };
        rig.ctl().rightClick({ 2, 0 }, QPoint());
        for (int k = 0; k < 16; ++k)
            QCOMPARE(rig.preset().channel[k], 0);
        rig.preset().eventType[4] = 0;
        rig.state.refreshKnobTable(0);
        QCOMPARE(rig.cellText(2, 5), QStringLiteral("Master"));

        // A knob row has no "1 - 16"; entry 6 is channel 7 for that knob only.
        rig.host.popupChoices = { 6 };
        rig.ctl().rightClick({ 2, 5 }, QPoint());
        QCOMPARE(rig.host.popups.back().size(), 17);
        QCOMPARE(rig.host.popups.back().first(), QStringLiteral("1"));
        QCOMPARE(rig.preset().channel[4], 7);
        QCOMPARE(rig.preset().channel[3], 0);
        QCOMPARE(rig.preset().channel[5], 0);

        // Dismissing the popup changes nothing.
        rig.ctl().rightClick({ 2, 5 }, QPoint());
        QCOMPARE(rig.preset().channel[4], 7);
    }

    void channelPopupOnlyForEventsWithAChannel()
    {
        Rig rig;
        for (int code : { 84, 85, 86, 90, 91, 127 }) {
            rig.preset().eventType[0] = code;
            rig.ctl().rightClick({ 2, 1 }, QPoint());
            QVERIFY2(rig.host.popups.empty(), qPrintable(QString::number(code)));
        }
        rig.preset().eventType[0] = 0;
        rig.ctl().rightClick({ 2, 1 }, QPoint());
        QCOMPARE(rig.host.popups.size(), std::size_t(1));
        // The heading offers the popup whatever the knobs hold.
        rig.preset().eventType.fill(84);
        rig.ctl().rightClick({ 2, 0 }, QPoint());
        QCOMPARE(rig.host.popups.size(), std::size_t(2));
    }

    void fixedParameterPickerFollowsEventType_data()
    {
        QTest::addColumn<int>("eventType");
        QTest::addColumn<QString>("picker");
        QTest::addColumn<int>("list");
        QTest::newRow("Controller") << 0 << "controller" << -1;
        QTest::newRow("NoteOn") << 5 << "note" << -1;
        QTest::newRow("PolyAftertouch") << 4 << "note" << -1;
        QTest::newRow("Prg-Change") << 3 << "" << -1;
        QTest::newRow("XG Reverb Type") << 84 << "" << -1;
        QTest::newRow("PitchBend") << 1 << "value" << -1;
        QTest::newRow("IncDec") << 7 << "value" << -1;
        QTest::newRow("No-Event") << 127 << "value" << -1;
        QTest::newRow("NRPN1_MSB") << 18 << "parameter" << int(ParameterList::nrpn1Grid);
        QTest::newRow("drum cutoff") << 26 << "parameter" << int(ParameterList::xgDrum);
        QTest::newRow("XG-DRUM level") << 66 << "parameter" << int(ParameterList::xgDrum);
        QTest::newRow("EMU") << 59 << "parameter" << int(ParameterList::aweEmu);
        QTest::newRow("AWE") << 60 << "parameter" << int(ParameterList::aweAwe);
        QTest::newRow("XG Multipart") << 80 << "parameter" << int(ParameterList::xgMultiPart);
        QTest::newRow("XG EQ") << 87 << "parameter" << int(ParameterList::xgEq);
        QTest::newRow("Strings") << 100 << "parameter" << int(ParameterList::resetGrid);
    }

    void fixedParameterPickerFollowsEventType()
    {
        QFETCH(int, eventType);
        QFETCH(QString, picker);
        QFETCH(int, list);
        Rig rig;
        rig.preset().eventType[6] = eventType;
        rig.preset().fixedParameter[6] = 60;
        rig.ctl().rightClick({ 4, 7 }, QPoint());
        if (picker.isEmpty()) {
            QVERIFY(rig.host.opened.empty());
            return;
        }
        QCOMPARE(rig.host.opened.size(), std::size_t(1));
        QCOMPARE(rig.host.opened[0].picker, picker);
        QCOMPARE(rig.host.opened[0].value, 60);
        QVERIFY(!rig.host.opened[0].byKeyboard);
        if (list >= 0)
            QCOMPARE(int(rig.host.opened[0].list), list);
        QCOMPARE(rig.bank.selectedKnob, 6);
        QCOMPARE(rig.bank.selectedField, int(kFieldFixedParameter));
        QVERIFY(!rig.bank.allKnobsPending);
    }

    void eventPickerMarksTheKnobsCode()
    {
        Rig rig;
        rig.preset().eventType[1] = 94;
        rig.ctl().rightClick({ 3, 2 }, QPoint());
        rig.ctl().rightClick({ 3, 0 }, QPoint());
        QCOMPARE(rig.host.opened.size(), std::size_t(2));
        QCOMPARE(rig.host.opened[0].value, 94);
        QCOMPARE(rig.host.opened[1].value, -1);
        QVERIFY(rig.bank.allKnobsPending);
        QCOMPARE(rig.bank.selectedKnob, -1);
        // Nothing on the number column or the Description knob rows.
        rig.ctl().rightClick({ 0, 3 }, QPoint());
        rig.ctl().rightClick({ 1, 3 }, QPoint());
        QCOMPARE(rig.host.opened.size(), std::size_t(2));
        QVERIFY(rig.host.popups.empty());
    }

    void incAndDecValuesStopAtTheRangeEnds()
    {
        Rig rig;
        rig.preset().fixedParameter[0] = 120;
        rig.host.popupChoices = { 0 };
        rig.ctl().rightClick({ 4, 0 }, QPoint());
        QCOMPARE(rig.host.popups[0], (QStringList { "Inc. Values", "Dec. Values" }));
        const std::array<int, 16> up { 120, 121, 122, 123, 124, 125, 126, 127,
                                       127, 127, 127, 127, 127, 127, 127, 127 };
        QCOMPARE(rig.preset().fixedParameter, up);

        rig.preset().fixedParameter[0] = 5;
        rig.host.popupChoices = { 1 };
        rig.ctl().rightClick({ 4, 0 }, QPoint());
        const std::array<int, 16> down { 5, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 };
        QCOMPARE(rig.preset().fixedParameter, down);
    }

    void initDescriptionNamesEveryKnob()
    {
        Rig rig;
        rig.host.popupChoices = { 0 };
        rig.ctl().rightClick({ 1, 0 }, QPoint());
        QCOMPARE(rig.host.popups[0], QStringList { "Init Description" });
        QCOMPARE(rig.preset().knobName[0], std::string("Knob 1"));
        QCOMPARE(rig.preset().knobName[15], std::string("Knob 16"));
        QCOMPARE(rig.cellText(1, 16), QStringLiteral("Knob 16"));
    }

    void initValueColumnDependsOnVariantAndPreset()
    {
        Rig control(DeviceVariant::zembraControl);
        control.ctl().rightClick({ 5, 3 }, QPoint());
        control.ctl().rightClick({ 5, 0 }, QPoint());
        QVERIFY(control.host.opened.empty());
        QVERIFY(control.host.popups.empty());

        Rig dial(DeviceVariant::zembraDial);
        dial.preset().initValue[2] = 64;
        dial.ctl().rightClick({ 5, 3 }, QPoint());
        QCOMPARE(dial.host.opened.size(), std::size_t(1));
        QCOMPARE(dial.host.opened[0].picker, QStringLiteral("value"));
        QCOMPARE(dial.host.opened[0].value, 64);

        dial.bank.selectedPreset = 127;
        dial.ctl().rightClick({ 5, 3 }, QPoint());
        dial.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(dial.host.opened.size(), std::size_t(3));
        QCOMPARE(dial.host.opened[1].picker, QStringLiteral("warning"));
        QCOMPARE(dial.host.opened[1].text,
                 QStringLiteral("Warning !|Init Values are not available for Preset 128"));
        QVERIFY(dial.host.popups.empty());
    }

    void initValuesPopupCopiesPastesAndPresets()
    {
        Rig rig(DeviceVariant::zembraDial);
        int requests = 0;
        int sends = 0;
        rig.state.hooks.requestInitValues = [&] { ++requests; };
        rig.state.hooks.sendInitValues = [&] { ++sends; };
        for (int k = 0; k < 16; ++k)
            rig.preset().initValue[k] = k * 3;

        rig.host.popupChoices = { 1 }; // "Paste Init Values" before any copy
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        const QStringList entries = rig.host.popups[0];
        QCOMPARE(entries.size(), 10);
        QCOMPARE(entries[1], QStringLiteral("Paste Init Values [off]"));
        QCOMPARE(entries[4], QStringLiteral("Left            (0)"));
        QCOMPARE(entries[5], QStringLiteral("Center      (64)"));
        QCOMPARE(entries[6], QStringLiteral("Right      (127)"));
        QCOMPARE(rig.preset().initValue[5], 15);

        const auto original = rig.preset().initValue;
        rig.host.popupChoices = { 0, 5 }; // copy, then Center
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(rig.host.popups.back()[1], QStringLiteral("Paste Init Values"));
        for (int v : rig.preset().initValue)
            QCOMPARE(v, 64);

        // Paste into another preset.
        rig.bank.selectedPreset = 9;
        rig.host.popupChoices = { 1 };
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(rig.bank.presets[9].initValue, original);

        rig.host.popupChoices = { 6, 4, 8, 9 };
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(rig.preset().initValue[15], 127);
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(rig.preset().initValue[15], 0);
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(requests, 1);
        QCOMPARE(sends, 1);

        rig.host.popupChoices = { 3 }; // "select Value": no mark, as by keyboard, all knobs
        rig.ctl().rightClick({ 5, 0 }, QPoint());
        QCOMPARE(rig.host.opened.back().picker, QStringLiteral("value"));
        QCOMPARE(rig.host.opened.back().value, -1);
        QVERIFY(rig.host.opened.back().byKeyboard);
        QVERIFY(rig.bank.allKnobsPending);
    }

    void numberEntryKeepsToTheColumnsRange()
    {
        Rig rig;
        rig.at(2, 3);
        rig.host.numberAnswers = { "17", "16" };
        rig.key(Qt::Key_1);
        QCOMPARE(rig.host.numberPrompts, QStringList { "1" });
        QCOMPARE(rig.preset().channel[2], 3);
        QVERIFY(!rig.bank.allKnobsPending);
        rig.key(Qt::Key_1);
        QCOMPARE(rig.preset().channel[2], 16);
        QCOMPARE(rig.preset().channel[3], 4);

        // Heading: all 16 knobs.
        rig.at(3, 0);
        rig.host.numberAnswers = { "5" };
        rig.key(Qt::Key_5, Qt::KeypadModifier);
        QCOMPARE(rig.host.numberPrompts.last(), QStringLiteral("5"));
        for (int e : rig.preset().eventType)
            QCOMPARE(e, 5);
        QCOMPARE(rig.cellText(3, 9), QStringLiteral("NoteOn"));

        // The grey column still takes a number.
        rig.at(5, 2);
        rig.host.numberAnswers = { "64" };
        rig.key(Qt::Key_6);
        QCOMPARE(rig.preset().initValue[1], 64);

        // Out of range, not a number, cancelled: no change.
        rig.at(4, 2);
        rig.host.numberAnswers = { "128", "12x", "-1", "escape" };
        for (int i = 0; i < 4; ++i)
            rig.key(Qt::Key_1);
        QCOMPARE(rig.preset().fixedParameter[1], 0);
        rig.at(4, 0);
        rig.host.numberAnswers = { "300" };
        rig.key(Qt::Key_3);
        QVERIFY(!rig.bank.allKnobsPending);
        rig.host.numberAnswers = { " 127 " };
        rig.key(Qt::Key_1);
        for (int v : rig.preset().fixedParameter)
            QCOMPARE(v, 127);

        // Digits in the Description column go to the name editor, not the number box.
        const int prompts = rig.host.numberPrompts.size();
        rig.at(1, 4);
        rig.key(Qt::Key_7);
        QCOMPARE(rig.host.numberPrompts.size(), prompts);
    }

    void keyboardActsAsTheRightButton()
    {
        Rig rig;
        rig.preset().eventType[1] = 5;
        rig.at(3, 2);
        rig.key(Qt::Key_Return);
        QCOMPARE(rig.host.opened.size(), std::size_t(1));
        QCOMPARE(rig.host.opened[0].picker, QStringLiteral("event"));
        QVERIFY(rig.host.opened[0].byKeyboard);

        rig.at(2, 0);
        rig.key(Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(rig.host.popupPositions.back(), QPoint(200, 200));
        rig.at(4, 0);
        rig.key(Qt::Key_Menu);
        QCOMPARE(rig.host.popups.back(), (QStringList { "Inc. Values", "Dec. Values" }));
        QCOMPARE(rig.host.popupPositions.back(), QPoint(200, 200));
        rig.key(Qt::Key_F10); // without Shift nothing opens
        QCOMPARE(rig.host.popups.size(), std::size_t(2));
        rig.at(4, 2);
        rig.key(Qt::Key_Enter);
        QCOMPARE(rig.host.opened.back().picker, QStringLiteral("note"));
    }

    void pagingSelectsPresetsAndKeepsTheCursor()
    {
        Rig rig;
        std::vector<int> selected;
        rig.state.hooks.selectPreset = [&](int n) {
            selected.push_back(n);
            rig.bank.selectedPreset = n;
        };
        rig.at(4, 6);
        rig.key(Qt::Key_PageDown);
        rig.key(Qt::Key_PageDown);
        rig.key(Qt::Key_PageUp);
        QCOMPARE(selected, (std::vector<int> { 1, 2, 1 }));
        QCOMPARE(rig.ctl().currentCell(), (CellPos { 4, 6 }));
        rig.bank.selectedPreset = 0;
        rig.key(Qt::Key_PageUp);
        rig.bank.selectedPreset = 127;
        rig.key(Qt::Key_PageDown);
        QCOMPARE(selected.size(), std::size_t(3));
        rig.key(Qt::Key_Home);
        QCOMPARE(rig.ctl().currentCell(), (CellPos { 0, 0 }));
        QCOMPARE(rig.table->currentRow(), 0);
    }

    void keyUpAfterCursorMoveShowsTheRowsKnob()
    {
        Rig rig;
        std::vector<int> shown;
        rig.state.addView(&shown, { {}, {}, [&](int knob) { shown.push_back(knob); } });
        rig.at(3, 4);
        rig.key(Qt::Key_Down);
        QCOMPARE(rig.ctl().currentCell(), (CellPos { 3, 5 }));
        QCOMPARE(rig.state.hoverKnob, 5);
        QCOMPARE(shown.back(), 5);
        const std::size_t count = shown.size();
        rig.key(Qt::Key_Shift); // the cursor did not move: nothing redrawn
        QCOMPARE(shown.size(), count);
        rig.state.removeView(&shown);
    }

    void ctrlCopyAndPasteCases()
    {
        Rig rig;
        int pasteEnabled = 0;
        rig.state.hooks.enablePresetPaste = [&] { ++pasteEnabled; };
        for (int k = 0; k < 16; ++k) {
            rig.bank.presets[0].eventType[k] = k;
            rig.bank.presets[0].fixedParameter[k] = 100 + k;
            rig.bank.presets[0].initValue[k] = k * 2;
            rig.bank.presets[0].knobName[k] = "N" + std::to_string(k);
        }
        rig.bank.presets[0].name = "Source";
        rig.bank.presets[0].description = "source text";

        // Knob 4's event onto the Event heading: all 16 knobs.
        rig.at(3, 4);
        rig.key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(pasteEnabled, 0);
        rig.at(4, 9);
        rig.key(Qt::Key_V, Qt::ControlModifier); // other column: nothing
        QCOMPARE(rig.preset().fixedParameter[8], 108);
        rig.at(3, 0);
        rig.key(Qt::Key_V, Qt::ControlModifier);
        for (int e : rig.preset().eventType)
            QCOMPARE(e, 3);
        QCOMPARE(rig.preset().fixedParameter[8], 108);

        // Knob row to knob row in the same column.
        rig.at(4, 2);
        rig.key(Qt::Key_C, Qt::ControlModifier);
        rig.at(4, 12);
        rig.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.preset().fixedParameter[11], 101);
        QCOMPARE(rig.preset().fixedParameter[10], 110);

        // Whole preset from (0, 0) onto another preset's (0, 0): knobs, not name or text.
        rig.at(0, 0);
        rig.key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(pasteEnabled, 1);
        const Preset copied = rig.bank.presets[0];
        rig.bank.selectedPreset = 3;
        rig.bank.presets[3].name = "Target";
        rig.bank.presets[3].description = "target text";
        rig.at(0, 5); // heading source, knob-row target: nothing
        rig.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.bank.presets[3].eventType[4], kNoEvent);
        rig.at(0, 0);
        rig.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.bank.presets[3].knobName, copied.knobName);
        QCOMPARE(rig.bank.presets[3].eventType, copied.eventType);
        QCOMPARE(rig.bank.presets[3].initValue, copied.initValue);
        QCOMPARE(rig.bank.presets[3].name, std::string("Target"));
        QCOMPARE(rig.bank.presets[3].description, std::string("target text"));

        // Init Val heading to Init Val heading of another preset.
        rig.bank.selectedPreset = 0;
        rig.at(5, 0);
        rig.key(Qt::Key_C, Qt::ControlModifier);
        rig.bank.selectedPreset = 7;
        rig.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.bank.presets[7].initValue, rig.bank.presets[0].initValue);
        QCOMPARE(rig.bank.presets[7].eventType[1], kNoEvent);
    }

    void pasteBeforeAnyCopyDoesNothing()
    {
        Rig rig;
        const Preset before = rig.preset();
        rig.at(0, 0);
        rig.key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.preset(), before);
        QCOMPARE(rig.state.copySource, (CellPos { -1, -1 }));
    }

    void leftClickReloadsTheClipboard()
    {
        Rig rig;
        for (int k = 0; k < 16; ++k)
            rig.preset().fixedParameter[k] = k;
        rig.preset().knobName[1] = "Two";
        rig.at(0, 0);
        rig.key(Qt::Key_C, Qt::ControlModifier);
        const QPoint knob2 = rig.table->cellRect({ 3, 2 }).center();
        QTest::mouseClick(rig.table->viewport(), Qt::LeftButton, Qt::NoModifier, knob2);
        QCOMPARE(rig.state.dragSourceKnob, 2);
        QCOMPARE(rig.state.dragColumn, 3);
        QCOMPARE(rig.state.dragOrigin, 2);
        rig.at(0, 0);
        rig.key(Qt::Key_V, Qt::ControlModifier);
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(rig.preset().fixedParameter[k], 1);
            QCOMPARE(rig.preset().knobName[k], std::string("Two"));
        }
    }

    void rightButtonReleaseOnTheTableOpensThePicker()
    {
        Rig rig;
        rig.preset().eventType[3] = 0;
        rig.preset().fixedParameter[3] = 7;
        const QPoint cell = rig.table->cellRect({ 4, 4 }).center();
        QTest::mousePress(rig.table->viewport(), Qt::RightButton, Qt::NoModifier, cell);
        QVERIFY(rig.host.opened.empty()); // acts on the release
        QTest::mouseRelease(rig.table->viewport(), Qt::RightButton, Qt::NoModifier, cell);
        QCOMPARE(rig.host.opened.size(), std::size_t(1));
        QCOMPARE(rig.host.opened[0].picker, QStringLiteral("controller"));
        QCOMPARE(rig.host.opened[0].value, 7);
    }

    void hoverMovesTheCursorAndTheHighlight()
    {
        Rig rig;
        std::vector<int> shown;
        rig.state.addView(&shown, { {}, {}, [&](int knob) { shown.push_back(knob); } });
        const int refreshes = rig.viewRefreshes;
        QVERIFY(rig.ctl().hover({ 2, 5 }));
        QVERIFY(!rig.ctl().hover({ 2, 5 }));
        QCOMPARE(rig.ctl().currentCell(), (CellPos { 2, 5 }));
        QCOMPARE(rig.state.hoverKnob, 5);
        QCOMPARE(shown, std::vector<int> { 5 });
        QCOMPARE(rig.viewRefreshes, refreshes + 1);
        QVERIFY(rig.ctl().hover({ 2, 0 }));
        QCOMPARE(shown.back(), 0);
        QTest::mouseMove(rig.table->viewport(), rig.table->cellRect({ 4, 9 }).center());
        QCOMPARE(rig.state.hoverKnob, 9);
        rig.state.removeView(&shown);
    }

    void knobNamesKeepTwentyFourCharacters()
    {
        Rig rig;
        rig.ctl().setKnobName(3, QStringLiteral("abcdefghijklmnopqrstuvwxyz0123"));
        QCOMPARE(rig.preset().knobName[3], std::string("abcdefghijklmnopqrstuvwx"));
        rig.ctl().setKnobName(4, QString::fromUtf8("Gr\u00fc\u00dfe \u20ac \u4e2d"));
        QCOMPARE(rig.preset().knobName[4], std::string("Gr\xfc\xdf" "e \x80 ?"));
        rig.ctl().setKnobName(16, QStringLiteral("out of range")); // ignored, no crash

        // Typing into a Description cell edits the name in place.
        rig.at(1, 6);
        rig.table->setFocus();
        QTest::keyClick(rig.table.get(), Qt::Key_C);
        auto* editor = rig.table->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(rig.preset().knobName[5], std::string("c"));
        QTest::keyClicks(editor, QStringLiteral("utoff and a much longer tail"));
        QCOMPARE(rig.preset().knobName[5], std::string("cutoff and a much longer"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits on a queued call.
        QTRY_COMPARE(rig.cellText(1, 6), QStringLiteral("cutoff and a much longer"));
    }

    void redRowsAndTheGreyColumn()
    {
        Rig fader(DeviceVariant::zembraFader);
        fader.preset().eventType[2] = 7; // IncDec: not on a zembraFader
        fader.preset().eventType[5] = 26;
        fader.preset().fixedParameter[5] = 38;
        fader.preset().knobName[5] = "Snare cutoff";
        fader.state.refreshKnobTable(0);
        const QPalette pal = fader.table->palette();
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(knobCellLook(fader.state, { c, 3 }, false, pal).text, QColor(255, 0, 0));
        QCOMPARE(knobCellLook(fader.state, { 1, 3 }, false, pal).background, QColor(Qt::white));
        QVERIFY(knobCellLook(fader.state, { 1, 4 }, false, pal).text != QColor(255, 0, 0));
        const CellLook grey = knobCellLook(fader.state, { 5, 3 }, false, pal);
        QCOMPARE(grey.background, QColor(128, 128, 128));
        QVERIFY(!grey.showsText);

        Rig dial(DeviceVariant::zembraDial);
        dial.preset().eventType[2] = 7;
        QVERIFY(knobCellLook(dial.state, { 3, 3 }, false, pal).text != QColor(255, 0, 0));
        QVERIFY(knobCellLook(dial.state, { 5, 3 }, false, pal).showsText);
        dial.bank.selectedPreset = 127;
        QVERIFY(!knobCellLook(dial.state, { 5, 3 }, false, pal).showsText);

        // The red shows in the drawn table too.
        const QPixmap drawn = fader.table->grab();
        const QByteArray dir = qgetenv("KESTROW_RENDER_DIR");
        if (!dir.isEmpty())
            drawn.save(QString::fromLocal8Bit(dir) + QStringLiteral("/knob_table.png"));
        const QImage image = drawn.toImage();
        const QRect cell
            = fader.table->cellRect({ 3, 3 }).translated(fader.table->viewport()->pos());
        bool red = false;
        for (int x = cell.left(); x <= cell.right() && !red; ++x) {
            for (int y = cell.top(); y <= cell.bottom() && !red; ++y)
                red = image.pixelColor(x, y).red() > 200 && image.pixelColor(x, y).green() < 80;
        }
        QVERIFY(red);
    }
};

QTEST_MAIN(KnobTableTest)
#include "widget_knob_table_test.moc"
