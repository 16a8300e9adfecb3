#include "ui/pickers/controller_form.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/long_piano_form.h"
#include "ui/pickers/name_edit_form.h"
#include "ui/pickers/parameter_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/pickers/values_form.h"
#include "ui/window_placement.h"
#include "widget_fake_host.h"

#include <QCursor>
#include <QLineEdit>
#include <QTimer>

#include <functional>

using namespace kestrow;

namespace {

using Rig = ViewRig;

/// Runs `act` once the dialog is running modally.
void whileOpen(std::function<void()> act) { QTimer::singleShot(0, std::move(act)); }

} // namespace

class PickersTest : public QObject {
    Q_OBJECT
private slots:
    void eventPickerGreysLackingCodesAndFillsAllKnobsFromTheHeading()
    {
        Rig rig;
        TEventsForm events(rig.state);
        // Which codes each variant lacks is the catalogue's; here that the picker asks it.
        QVERIFY(events.greyed(94) && !events.greyed(127));

        rig.select(2, kFieldEventType);
        events.assign(0);
        QCOMPARE(rig.preset().eventType[2], 0);
        // The channel and fixed-parameter texts follow the event type.
        QCOMPARE(rig.cells, (std::vector<CellPos> { { 3, 3 }, { 4, 3 }, { 2, 3 } }));

        // The grey cell is drawn grey without text; the same code is offered on the dial.
        const QRect grey = events.cellRect(94).translated(events.grid()->pos());
        QCOMPARE(pixelAt(&events, grey.center()), QColor(128, 128, 128));

        // A click on a grey code closes the picker and changes nothing.
        rig.select(4, kFieldEventType);
        whileOpen([&] {
            QTest::mouseClick(
                events.grid(), Qt::LeftButton, Qt::NoModifier, events.cellRect(101).center());
        });
        events.openEventPicker(kNoEvent, false);
        QVERIFY(!events.isVisible());
        QCOMPARE(rig.preset().eventType[4], kNoEvent);
        QCOMPARE(events.windowTitle(), QStringLiteral("(Ctrl: 101)  NRPN0_IncDec"));
        rig.deviceVariant = DeviceVariant::zembraDial;
        QVERIFY(!events.greyed(94));

        // From the heading: every knob takes the code.
        rig.select(-1, kFieldEventType);
        whileOpen([&] {
            QCOMPARE(events.markedValue(), -1);
            movePointer(events.grid(), events.cellRect(5).center());
            QCOMPARE(events.windowTitle(), QStringLiteral("(Event: 5)  NoteOn"));
            QTest::keyClick(&events, Qt::Key_Down);
            QCOMPARE(events.windowTitle(), QStringLiteral("(Ctrl: 6)  NoteOff"));
            QTest::keyClick(&events, Qt::Key_Up);
            QTest::mouseClick(
                events.grid(), Qt::LeftButton, Qt::NoModifier, events.cellRect(5).center());
        });
        events.openEventPicker(-1, false);
        QCOMPARE(rig.preset().eventType, allKnobs(5));
        QCOMPARE(rig.tableRefreshes, 1);
        QVERIFY(!rig.bank.allKnobsPending);

        // Escape from the heading gesture still clears the pending flag.
        rig.select(-1, kFieldEventType);
        whileOpen([&] { QTest::keyClick(&events, Qt::Key_Escape); });
        events.openEventPicker(-1, false);
        QVERIFY(!rig.bank.allKnobsPending);
        QCOMPARE(rig.preset().eventType[0], 5);
    }

    void valuePickerMarksAndAssigns()
    {
        Rig rig(DeviceVariant::zembraDial);
        TValuesForm values(rig.state);
        QCOMPARE(values.cellOf(64), QPoint(0, 4));
        QCOMPARE(values.valueAt(3, 2), 35);
        rig.preset().initValue[1] = 64;
        rig.select(1, kFieldInitValue);
        whileOpen([&] {
            QCOMPARE(values.markedValue(), 64);
            const QRect marked = values.cellRect(64).translated(values.grid()->pos());
            QCOMPARE(pixelAt(&values, marked.center() + QPoint(0, 6)), QColor(255, 0, 0));
            movePointer(values.grid(), values.cellRect(127).center());
            QCOMPARE(values.windowTitle(), QStringLiteral("Value:127"));
            QTest::mouseClick(
                values.grid(), Qt::LeftButton, Qt::NoModifier, values.cellRect(127).center());
        });
        values.openValuePicker(64, false);
        QCOMPARE(rig.preset().initValue[1], 127);
        QCOMPARE(rig.preset().initValue[0], 0);
        QCOMPARE(rig.cells, std::vector<CellPos> { CellPos({ 5, 2 }) });

        // A right-button click closes without assigning.
        whileOpen([&] {
            QTest::mouseClick(
                values.grid(), Qt::RightButton, Qt::NoModifier, values.cellRect(3).center());
        });
        values.openValuePicker(127, false);
        QCOMPARE(rig.preset().initValue[1], 127);
        // A value from a damaged file marks nothing.
        values.setMarkedValue(300);
        QCOMPARE(values.markedValue(), -1);

        // Opened by keyboard, the first key release is ignored.
        values.setKeyboardValue(20);
        rig.select(-1, kFieldInitValue); // "select Value" on the heading
        whileOpen([&] {
            QTest::keyClick(&values, Qt::Key_Return); // the release of the opening key
            QVERIFY(values.isVisible());
            QTest::keyClick(&values, Qt::Key_Right);
            QCOMPARE(values.windowTitle(), QStringLiteral("(Ctrl: 21)  21"));
            QTest::keyClick(&values, Qt::Key_Return);
        });
        values.openValuePicker(-1, true);
        QCOMPARE(rig.preset().initValue, allKnobs(21));
        QVERIFY(!rig.bank.allKnobsPending);
        QCOMPARE(rig.tableRefreshes, 1);
    }

    void parameterAndControllerPickers()
    {
        Rig rig;
        TParameter1Form parameters(rig.state);
        parameters.setList(ParameterList::nrpn1Grid);
        QCOMPARE(parameters.cellText(parameters.valueAt(0, 8)), QStringLiteral("Vibrato Rate"));
        QCOMPARE(parameters.cellText(11), QStringLiteral("11")); // unnamed: its number
        parameters.setList(ParameterList::resetGrid);
        QCOMPARE(parameters.cellText(2), QStringLiteral("XG-Reset"));
        QCOMPARE(parameters.cellText(3), QStringLiteral("3"));

        rig.preset().eventType[0] = 26;
        rig.select(0, kFieldFixedParameter);
        whileOpen([&] {
            movePointer(parameters.grid(), parameters.cellRect(38).center());
            QCOMPARE(parameters.windowTitle(), QStringLiteral("38  (0x26)    Snare"));
            QTest::keyClick(&parameters, Qt::Key_Down);
            QTest::keyClick(&parameters, Qt::Key_Return);
        });
        parameters.openParameterPicker(ParameterList::xgDrum, 36, false);
        QCOMPARE(parameters.cellText(36), QStringLiteral("Kick"));
        QCOMPARE(rig.preset().fixedParameter[0], 39);
        QCOMPARE(rig.cells, std::vector<CellPos> { CellPos({ 4, 1 }) });
        // Opened by keyboard, every grid picker ignores the opening key's release
        // (the value picker's test).

        TController1Form controllers(rig.state);
        rig.preset().eventType[5] = 0;
        rig.select(5, kFieldFixedParameter);
        rig.state.savedPointer = ScreenPoint { 123, 45 };
        whileOpen([&] {
            movePointer(controllers.grid(), controllers.cellRect(7).center());
            QCOMPARE(controllers.windowTitle(), QStringLiteral("(Ctrl: 7)    7:Volume"));
            QTest::keyClick(&controllers, Qt::Key_A);
            QCOMPARE(controllers.windowTitle(), QStringLiteral("(Ctrl: 7)    7:Volume"));
            QTest::keyClick(&controllers, Qt::Key_Escape);
        });
        controllers.openControllerPicker(64, false);
        QCOMPARE(rig.preset().fixedParameter[5], 0);
        if (canPlaceWindows()) // Wayland leaves the pointer alone
            QCOMPARE(QCursor::pos(), QPoint(123, 45));
        QCOMPARE(controllers.cellOf(64), QPoint(2, 0));
    }

    void notePickerHitAreas()
    {
        // Each point of the keys and a margin around them hits the key whose
        // drawn shape holds it, or no key where none does; the bottom row,
        // under the drawn keys, hits the key above it.
        std::vector<QPainterPath> shapes;
        for (int n = 0; n < 128; ++n)
            shapes.push_back(TLongPianoForm::keyShape(n));
        const auto holds = [&](int note, int x, int y) {
            return shapes[std::size_t(note)].contains(QPointF(x + 0.5, y + 0.5));
        };
        for (int y = -1; y <= TLongPianoForm::kHeight; ++y) {
            for (int x = -1; x <= TLongPianoForm::kWidth; ++x) {
                const int note = TLongPianoForm::noteAt(x, y);
                bool right = y == TLongPianoForm::kHeight - 1
                    ? note == TLongPianoForm::noteAt(x, y - 1)
                    : note < 0 || holds(note, x, y);
                for (int n = 0; note < 0 && n < 128; ++n)
                    right = right && !holds(n, x, y);
                if (!right)
                    QFAIL(qPrintable(QStringLiteral("%1,%2: note %3").arg(x).arg(y).arg(note)));
            }
        }
    }

    void notePickerCaptionsAndArrowsAndFactoryPicker()
    {
        Rig rig;
        TLongPianoForm piano(rig.state);
        rig.preset().eventType[0] = 5;
        rig.preset().fixedParameter[0] = 60;
        rig.select(0, kFieldFixedParameter);
        whileOpen([&] {
            QCOMPARE(piano.windowTitle(), QStringLiteral(" 60:  C  4"));
            QCOMPARE(pixelAt(piano.keys(), { 351, 50 }), QColor(255, 0, 0));
            QTest::keyClick(&piano, Qt::Key_Right);
            QCOMPARE(piano.windowTitle(), QStringLiteral(" 61:  C# 4"));
            QCOMPARE(piano.keyboardNote(), 61);
            QTest::keyClick(&piano, Qt::Key_Q); // any other key: closes, no change
        });
        piano.openNotePicker(60);
        QCOMPARE(rig.preset().fixedParameter[0], 60);

        rig.catalogue.notesRangeLow = 1;
        whileOpen([&] {
            QCOMPARE(piano.windowTitle(), QStringLiteral(" 60:  C  3"));
            QTest::keyClick(&piano, Qt::Key_Left);
            QTest::keyClick(&piano, Qt::Key_Return);
        });
        piano.openNotePicker(60);
        QCOMPARE(rig.preset().fixedParameter[0], 59);
        rig.catalogue.notesRangeLow = 0;

        // At the ends the arrow counts as any other key.
        whileOpen([&] { QTest::keyClick(&piano, Qt::Key_Left); });
        piano.openNotePicker(0);
        QCOMPARE(rig.preset().fixedParameter[0], 59);
        whileOpen([&] { QTest::keyClick(&piano, Qt::Key_Right); });
        piano.openNotePicker(127);
        QCOMPARE(rig.preset().fixedParameter[0], 59);
        QVERIFY(!piano.isVisible());

        // A click on no key assigns the last key reached; the right button closes.
        rig.select(2, kFieldFixedParameter);
        whileOpen([&] {
            movePointer(piano.keys(), { 421, 45 }); // note 72
            QCOMPARE(piano.keyboardNote(), 72);
            movePointer(piano.keys(), { 700, 45 }); // no key: keeps 72
            QTest::mouseClick(piano.keys(), Qt::LeftButton, Qt::NoModifier, { 700, 45 });
        });
        piano.openNotePicker(40);
        QCOMPARE(rig.preset().fixedParameter[2], 72);
        whileOpen([&] {
            QTest::mouseClick(piano.keys(), Qt::RightButton, Qt::NoModifier, { 351, 45 });
        });
        piano.openNotePicker(72);
        QCOMPARE(rig.preset().fixedParameter[2], 72);

        // The factory picker refuses presets that do not fit.
        TFactoryPresetsForm factory(rig.state);
        Preset& relative = rig.bank.factoryPresets[3];
        relative.name = "Relative";
        relative.eventType.fill(0);
        relative.eventType[9] = 94;
        Preset& plain = rig.bank.factoryPresets[4];
        plain.name = "Plain";
        plain.description = "text";
        plain.eventType.fill(0);
        plain.knobName[0] = "Mod";
        rig.bank.selectedPreset = 10;
        const int refreshes = rig.tableRefreshes;

        QVERIFY(factory.greyed(3));
        factory.assign(3);
        QCOMPARE(rig.bank.presets[10].eventType[0], kNoEvent);
        QCOMPARE(rig.tableRefreshes, refreshes);
        whileOpen([&] {
            movePointer(factory.grid(), factory.cellRect(4).center());
            QCOMPARE(factory.windowTitle(), QStringLiteral("4:  Plain"));
            QTest::mouseClick(
                factory.grid(), Qt::LeftButton, Qt::NoModifier, factory.cellRect(4).center());
        });
        factory.openFactoryPresetPicker();
        QCOMPARE(rig.bank.presets[10], plain);
        QCOMPARE(rig.tableRefreshes, refreshes + 1);

        rig.deviceVariant = DeviceVariant::zembraDial;
        whileOpen([&] {
            QTest::keyClick(&factory, Qt::Key_Up);
            QTest::keyRelease(&factory, Qt::Key_Up);
            QCOMPARE(factory.windowTitle(), QStringLiteral("( 3 )  Relative"));
            QTest::keyClick(&factory, Qt::Key_Return);
        });
        factory.openFactoryPresetPicker();
        QCOMPARE(rig.bank.presets[10].name, std::string("Relative"));
    }

    void pickerSetOpensTheDialogsAndTheNumberBox()
    {
        Rig rig;
        QWidget parent;
        PickerSet set(rig.state, &parent);
        rig.select(1, kFieldFixedParameter);
        whileOpen([&] {
            QVERIFY(set.parameters().isVisible());
            QCOMPARE(set.parameters().list(), ParameterList::xgEq);
            QCOMPARE(set.parameters().markedValue(), 9);
            QTest::keyClick(&set.parameters(), Qt::Key_Escape);
        });
        set.openParameterPicker(ParameterList::xgEq, 9, false);
        QVERIFY(!set.parameters().isVisible());

        // The number box starts behind the typed digit; Escape or closing cancels,
        // and a typed "escape" is text like any other.
        QLineEdit* line = set.nameEdit().lineEdit();
        whileOpen([&] {
            QCOMPARE(line->cursorPosition(), 1);
            QTest::keyClicks(line, QStringLiteral("2"));
            QTest::keyClick(line, Qt::Key_Enter);
        });
        QCOMPARE(set.editNumber(QStringLiteral("1")), std::optional(QStringLiteral("12")));
        whileOpen([&] {
            QTest::keyClicks(line, QStringLiteral("9"));
            QTest::keyClick(line, Qt::Key_Escape);
        });
        QCOMPARE(set.editNumber(QStringLiteral("3")), std::nullopt);
        whileOpen([&] { set.nameEdit().close(); });
        QCOMPARE(set.editNumber(QStringLiteral("4")), std::nullopt);
        whileOpen([&] {
            line->setText(QStringLiteral("escape"));
            QTest::keyClick(line, Qt::Key_Return);
        });
        QCOMPARE(set.editNumber(QString()), std::optional(QStringLiteral("escape")));
    }
};

QTEST_MAIN(PickersTest)
#include "widget_pickers_test.moc"
