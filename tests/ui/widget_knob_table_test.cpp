// The knob table, the device picture and the pickers over the editing rig:
// popups, pickers opened, number entry, paging, copy and paste, marks; the
// picture's hit areas, highlighted knobs, drag cursors, drops, hover and
// accessibility; each picker's marks, captions, keys and assignments.

#include "core/bank_search.h"
#include "core/knob_drops.h"
#include "core/text_codec.h"
#include "ui/accessible_parts.h"
#include "ui/device_picture.h"
#include "ui/drag_cursors.h"
#include "ui/knob_hit_areas.h"
#include "ui/knob_table.h"
#include "ui/pickers/controller_form.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/long_piano_form.h"
#include "ui/pickers/name_edit_form.h"
#include "ui/pickers/parameter_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/pickers/values_form.h"
#include "ui/plain_pictures.h"
#include "ui/switch_display.h"
#include "ui/window_placement.h"
#include "widget_fake_host.h"

#include <QAccessibleActionInterface>
#include <QCursor>
#include <QKeySequence>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <memory>

using namespace kestrow;

namespace {

/// The editing setup with a scripted host and a shown table.
struct Rig : ViewRig {
    FakePickerHost host;
    std::unique_ptr<KnobTable> table;

    explicit Rig(DeviceVariant variant = DeviceVariant::zembraControl)
        : ViewRig(variant)
    {
        table = std::make_unique<KnobTable>(state, host);
        table->resize(620, 330);
        table->show();
        table->setFocus();
    }
    KnobTableController& ctl() { return table->controller(); }
    QString cellText(int column, int row) { return table->item(row, column)->text(); }
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(table.get(), static_cast<Qt::Key>(key), mods);
    }
    void at(int column, int row) { ctl().setCurrentCell({ column, row }); }
    void rightClick(int column, int row, int choice = -1)
    {
        if (choice >= 0)
            host.popupChoices.push_back(choice);
        ctl().rightClick({ column, row }, QPoint());
    }
};

/// Knob k carries fixed parameter k.
struct PictureRig : ViewRig {
    explicit PictureRig(DeviceVariant variant = DeviceVariant::zembraControl)
        : ViewRig(variant)
    {
        for (int k = 0; k < kKnobCount; ++k)
            preset().fixedParameter[k] = k + 1;
    }
};

/// Whether a red cap pixel lies inside the knob's hit area of a picture.
bool redInside(const QImage& image, const KnobArea& area)
{
    for (int y = area.top; y <= area.bottom; ++y) {
        for (int x = area.left; x <= area.right; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 80 && c.blue() < 80)
                return true;
        }
    }
    return false;
}

/// Runs `act` once the dialog is running modally.
void whileOpen(std::function<void()> act) { QTimer::singleShot(0, std::move(act)); }

} // namespace

class KnobTableTest : public QObject {
    Q_OBJECT
private slots:
    void channelNameAndValueHeadingPopups()
    {
        Rig rig;
        rig.preset().channel.fill(5);
        rig.ctl().rightClick({ 2, 0 }, QPoint(10, 10)); // dismissed: no change
        QCOMPARE(rig.host.log, QStringList { "popup 1 - 16 at 10,10" });
        QCOMPARE(rig.host.popups[0].size(), 18);
        QCOMPARE(rig.host.popups[0][1], QStringLiteral("1"));
        QCOMPARE(rig.preset().channel[0], 5);
        // What each entry assigns to all knobs is the bank's own test.
        rig.rightClick(2, 0, 0); // "1 - 16"
        QCOMPARE(rig.preset().channel, PresetBank().presets[0].channel);
        rig.rightClick(2, 0, 17); // "Master"
        QCOMPARE(rig.host.popups.back().last(), QStringLiteral("Master"));
        QCOMPARE(rig.preset().channel, Preset().channel);

        // A knob row has no "1 - 16"; entry 6 is channel 7 for that knob only.
        rig.preset().eventType[4] = 0; // a controller, which has a channel
        rig.rightClick(2, 5, 6);
        QCOMPARE(rig.host.popups.back().first(), QStringLiteral("1"));
        auto channels = Preset().channel;
        channels[4] = 7;
        QCOMPARE(rig.preset().channel, channels);

        rig.rightClick(1, 0, 0);
        QCOMPARE(rig.host.popups.back(), QStringList { "Init Description" });
        QCOMPARE(rig.preset().knobName[0], std::string("Knob 1"));
        QCOMPARE(rig.cellText(1, 16), QStringLiteral("Knob 16"));

        // The values themselves are the knob edits' own test.
        rig.preset().fixedParameter[0] = 120;
        rig.rightClick(4, 0, 0);
        QCOMPARE(rig.host.popups.back(), (QStringList { "Inc. Values", "Dec. Values" }));
        QCOMPARE(rig.preset().fixedParameter[2], 122);
        rig.preset().fixedParameter[0] = 5;
        rig.rightClick(4, 0, 1);
        QCOMPARE(rig.preset().fixedParameter[2], 3);
    }

    void gestureOpens()
    {
        struct Case {
            const char* name;
            DeviceVariant variant;
            int preset;
            QString gesture; // right-click, mouse, or a key
            CellPos cell;
            int eventType; // of the row's knob, which holds 60 and 64
            QString opens; // what the host saw; empty: nothing
        };
        // Which picker each event type has is the catalogue's; one of each kind here.
        const auto c = DeviceVariant::zembraControl;
        const auto d = DeviceVariant::zembraDial;
        const QString nrpn
            = QStringLiteral("parameter 60 list %1").arg(int(ParameterList::nrpn1Grid));
        const QString warning
            = QStringLiteral("warning Warning !|Init Values are not available for Preset 128");
        const Case cases[] = {
            { "Controller", c, 0, "right", { 4, 7 }, 0, "controller 60" },
            { "NoteOn", c, 0, "right", { 4, 7 }, 5, "note 60" },
            { "Prg-Change", c, 0, "right", { 4, 7 }, 3, "" },
            { "PitchBend", c, 0, "right", { 4, 7 }, 1, "value 60" },
            { "NRPN1_MSB", c, 0, "right", { 4, 7 }, 18, nrpn },
            { "event of a knob", c, 0, "right", { 3, 2 }, 94, "event 94" },
            { "event heading", c, 0, "right", { 3, 0 }, 94, "event -1" },
            { "number column", c, 0, "right", { 0, 3 }, 0, "" },
            { "name of a knob", c, 0, "right", { 1, 3 }, 0, "" },
            { "channel of a controller", c, 0, "right", { 2, 1 }, 0, "popup 1" },
            { "channel heading", c, 0, "right", { 2, 0 }, 84, "popup 1 - 16" },
            { "no channel for XG Reverb Type", c, 0, "right", { 2, 1 }, 84, "" },
            { "Return", c, 0, "Return", { 3, 2 }, 5, "event 5 by keyboard" },
            { "Enter", c, 0, "Enter", { 4, 2 }, 5, "note 60" },
            { "Shift+F10", c, 0, "Shift+F10", { 2, 0 }, 0, "popup 1 - 16 at 200,200" },
            { "Menu", c, 0, "Menu", { 4, 0 }, 0, "popup Inc. Values at 200,200" },
            { "F10 alone", c, 0, "F10", { 4, 0 }, 0, "" },
            { "right button release", c, 0, "mouse", { 4, 4 }, 0, "controller 60" },
            { "grey init value", c, 0, "right", { 5, 3 }, 0, "" },
            { "grey init heading", c, 0, "right", { 5, 0 }, 0, "" },
            { "dial init value", d, 0, "right", { 5, 3 }, 0, "value 64" },
            { "dial preset 128", d, 127, "right", { 5, 3 }, 0, warning },
            { "dial preset 128 heading", d, 127, "right", { 5, 0 }, 0, warning },
        };
        for (const Case& k : cases) {
            Rig rig(k.variant);
            rig.bank.selectedPreset = k.preset;
            const int knob = std::max(k.cell.row - 1, 0);
            rig.preset().eventType[knob] = k.eventType;
            rig.preset().fixedParameter[knob] = 60;
            rig.preset().initValue[knob] = 64;
            if (k.gesture == QStringLiteral("right")) {
                rig.ctl().rightClick(k.cell, QPoint());
            } else if (k.gesture == QStringLiteral("mouse")) {
                const QPoint cell = rig.table->cellRect(k.cell).center();
                QTest::mousePress(rig.table->viewport(), Qt::RightButton, Qt::NoModifier, cell);
                QVERIFY(rig.host.log.isEmpty()); // acts on the release
                QTest::mouseRelease(rig.table->viewport(), Qt::RightButton, Qt::NoModifier, cell);
            } else {
                rig.at(k.cell.column, k.cell.row);
                const QKeySequence key(k.gesture);
                QTest::keyClick(rig.table.get(), static_cast<Qt::Key>(key[0].key()),
                    key[0].keyboardModifiers());
            }
            const QString name = QString::fromLatin1(k.name) + QStringLiteral(": ");
            QCOMPARE(name + rig.host.log.join(QStringLiteral("; ")), name + k.opens);
            if (!k.opens.isEmpty() && !k.opens.startsWith(QStringLiteral("popup"))
                && !k.opens.startsWith(QStringLiteral("warning"))) {
                // The picker assigns to the knob and field the gesture selected.
                QCOMPARE((QList<int> { rig.bank.selectedKnob, rig.bank.selectedField,
                             rig.bank.allKnobsPending }),
                    (QList<int> { k.cell.row - 1, k.cell.column - 1, k.cell.row == 0 }));
            }
        }
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
        const auto original = rig.preset().initValue;

        rig.rightClick(5, 0, 1); // "Paste Init Values" before any copy
        QCOMPARE(rig.host.popups[0].size(), 10);
        QCOMPARE(rig.host.popups[0][1], QStringLiteral("Paste Init Values [off]"));
        QCOMPARE(rig.preset().initValue, original);

        rig.rightClick(5, 0, 0); // copy
        for (const auto& [entry, value] : { std::pair { 5, 64 }, { 6, 127 }, { 4, 0 } }) {
            rig.rightClick(5, 0, entry); // Center, Right, Left
            QCOMPARE(rig.preset().initValue, allKnobs(value));
        }
        QCOMPARE(rig.host.popups.back()[1], QStringLiteral("Paste Init Values"));
        rig.bank.selectedPreset = 9;
        rig.rightClick(5, 0, 1);
        QCOMPARE(rig.bank.presets[9].initValue, original);
        rig.rightClick(5, 0, 8);
        rig.rightClick(5, 0, 9);
        QCOMPARE(std::pair(requests, sends), std::pair(1, 1));

        rig.rightClick(5, 0, 3); // "select Value": no mark, as by keyboard, all knobs
        QCOMPARE(rig.host.log.last(), QStringLiteral("value -1 by keyboard"));
        QVERIFY(rig.bank.allKnobsPending);
    }

    void numberEntry()
    {
        // Which numbers each column takes is the knob edits' own; here the boxes and the text.
        struct Case {
            CellPos cell;
            QString keys; // one key per number box
            std::deque<std::optional<QString>> answers; // cancelled when used up
            bool keypad;
            int value; // -1: nothing changes
        };
        const Case cases[] = {
            { { 2, 3 }, "1", { "16" }, false, 16 },
            { { 3, 0 }, "5", { "5" }, true, 5 }, // the event heading
            { { 5, 2 }, "6", { "64" }, false, 64 }, // the grey init column
            // On the event column, whose default (No-Event) is not 0: a text
            // that is no number stores nothing rather than 0.
            { { 3, 2 }, "1111", { "128", "12x", "escape" }, false, -1 },
            { { 4, 0 }, "1", { " 127 " }, false, 127 },
        };
        for (const Case& c : cases) {
            Rig rig;
            const PresetBank before = rig.bank;
            const int field = c.cell.column - 1;
            rig.at(c.cell.column, c.cell.row);
            rig.host.numberAnswers = c.answers;
            for (QChar key : c.keys)
                QTest::keyClick(rig.table.get(), key.toLatin1(),
                    c.keypad ? Qt::KeypadModifier : Qt::NoModifier);
            QCOMPARE(rig.host.numberPrompts.join(QString()), c.keys);
            QVERIFY(!rig.bank.allKnobsPending);
            for (int k = 0; k < 16; ++k) {
                const bool hit = c.value >= 0 && (c.cell.row == 0 || k == c.cell.row - 1);
                QCOMPARE(rig.bank.getKnobField(0, k, field),
                    hit ? c.value : before.getKnobField(0, k, field));
            }
            // The table shows what the bank now holds.
            const int row = c.cell.row == 0 ? 9 : c.cell.row;
            const QString shown = rig.cellText(c.cell.column, row);
            rig.state.refreshKnobTable(0);
            QCOMPARE(rig.cellText(c.cell.column, row), shown);
        }
    }

    void pagingCursorAndHover()
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

        rig.at(3, 4);
        rig.key(Qt::Key_Down);
        QCOMPARE(rig.ctl().currentCell(), (CellPos { 3, 5 }));
        QCOMPARE(rig.state.hoverKnob, 5);
        QCOMPARE(rig.shownKnobs.back(), 5);
        const std::size_t count = rig.shownKnobs.size();
        rig.key(Qt::Key_Shift); // the cursor did not move: nothing redrawn
        QCOMPARE(rig.shownKnobs.size(), count);

        const int refreshes = rig.viewRefreshes;
        QVERIFY(rig.ctl().hover({ 2, 7 }));
        QVERIFY(!rig.ctl().hover({ 2, 7 }));
        QCOMPARE(rig.ctl().currentCell(), (CellPos { 2, 7 }));
        QCOMPARE(rig.shownKnobs.back(), 7);
        QCOMPARE(rig.shownKnobs.size(), count + 1);
        QCOMPARE(rig.viewRefreshes, refreshes + 1);
        QVERIFY(rig.ctl().hover({ 2, 0 }));
        QCOMPARE(rig.shownKnobs.back(), 0);
        movePointer(rig.table->viewport(), rig.table->cellRect({ 4, 9 }).center());
        QCOMPARE(rig.state.hoverKnob, 9);
    }

    void ctrlCopyAndPasteAndKnobNames()
    {
        // Which cells a paste fills is the knob edits' own; here the keys and a
        // left click choosing the source knob.
        Rig rig;
        int pasteEnabled = 0;
        rig.state.hooks.enablePresetPaste = [&] { ++pasteEnabled; };
        for (int k = 0; k < 16; ++k)
            rig.bank.presets[0].fixedParameter[k] = 100 + k;
        const auto pasteOnto4 = [&] {
            rig.bank.selectedPreset = 3;
            rig.at(0, 0);
            rig.key(Qt::Key_V, Qt::ControlModifier);
            rig.bank.selectedPreset = 0;
            return rig.bank.presets[3].fixedParameter;
        };
        QCOMPARE(pasteOnto4(), PresetBank().presets[3].fixedParameter); // nothing copied yet
        rig.at(0, 0);
        rig.key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(pasteEnabled, 1);
        QCOMPARE(pasteOnto4(), rig.bank.presets[0].fixedParameter);

        const QPoint cell = rig.table->cellRect({ 3, 2 }).center();
        QTest::mouseClick(rig.table->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QCOMPARE(rig.state.dragSourceKnob, 2);
        QCOMPARE(rig.state.dragColumn, 3);
        QCOMPARE(pasteOnto4()[15], 101); // every knob takes knob 2

        // The name rule itself (24 characters, Windows-1252) is core's.
        rig.ctl().setKnobName(16, QStringLiteral("out of range")); // ignored, no crash

        // Typing, digits included, into a Description cell edits the name in
        // place; the euro sign is stored as Windows-1252 and shown as typed.
        rig.at(1, 6);
        QTest::keyClick(rig.table.get(), Qt::Key_7);
        QVERIFY(rig.host.numberPrompts.isEmpty());
        auto* editor = rig.table->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(rig.preset().knobName[5], std::string("7"));
        QTest::keyClicks(editor, QStringLiteral("cut"));
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(QChar(0x20AC)), {});
        QTest::keyClicks(editor, QStringLiteral("off and a much longer tail"));
        QCOMPARE(rig.preset().knobName[5], std::string("7cut\x80off and a much long"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits on a queued call; a redrawn table shows the same.
        const QString shown = QString::fromUtf8("7cut\u20acoff and a much long");
        QTRY_COMPARE(rig.cellText(1, 6), shown);
        rig.state.refreshKnobTable(0);
        QCOMPARE(rig.cellText(1, 6), shown);
    }

    void redRowsAndTheGreyColumn()
    {
        Rig fader(DeviceVariant::zembraFader);
        fader.preset().eventType[2] = 7; // IncDec: not on a zembraFader
        fader.state.refreshKnobTable(0);
        const QPalette pal = fader.table->palette();
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(knobCellLook(fader.state, { c, 3 }, false, pal).text, QColor(255, 0, 0));
        QCOMPARE(knobCellLook(fader.state, { 1, 3 }, false, pal).background, QColor(Qt::white));
        QVERIFY(knobCellLook(fader.state, { 1, 4 }, false, pal).text != QColor(255, 0, 0));
        // A dark desktop palette: its light text would vanish on the white cells.
        QPalette dark = pal;
        dark.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
        dark.setColor(QPalette::ButtonText, QColor(0xE0, 0xE0, 0xE0));
        QCOMPARE(knobCellLook(fader.state, { 1, 4 }, false, dark).text, QColor(Qt::black));
        fader.preset().eventType[4] = fader.preset().eventType[5] = 0; // knobs 5 and 6 collide
        fader.preset().fixedParameter[4] = fader.preset().fixedParameter[5];
        fader.preset().channel[4] = fader.preset().channel[5];
        QCOMPARE(knobCellLook(fader.state, { 0, 5 }, false, dark).text, QColor(Qt::black));
        // Both numbers are marked, each naming the other (which knobs collide is core's).
        fader.state.refreshKnobTable(0);
        QStringList marked;
        for (int r = 1; r <= kKnobCount; ++r) {
            if (knobCellLook(fader.state, { 0, r }, false, pal).background == kCollisionColour)
                marked << QString::number(r) + QStringLiteral(": ")
                        + fader.table->item(r, 0)->toolTip();
        }
        QCOMPARE(marked,
            (QStringList { QStringLiteral("5: Sends the same event as knob 6"),
                QStringLiteral("6: Sends the same event as knob 5") }));
        const CellLook grey = knobCellLook(fader.state, { 5, 3 }, false, pal);
        QCOMPARE(grey.background, QColor(128, 128, 128));
        QVERIFY(!grey.showsText);
        // Each says why in its tooltip; a plain cell has none.
        QCOMPARE(fader.table->item(3, 2)->toolTip(),
            QStringLiteral("The zembraFader does not offer this event: choose another one for "
                           "this knob."));
        QVERIFY(
            fader.table->item(3, 5)->toolTip().startsWith(QStringLiteral("Only the zembraDial")));
        QVERIFY(fader.table->item(4, 2)->toolTip().isEmpty());

        Rig dial(DeviceVariant::zembraDial);
        dial.preset().eventType[2] = 7;
        QVERIFY(knobCellLook(dial.state, { 3, 3 }, false, pal).text != QColor(255, 0, 0));
        QVERIFY(knobCellLook(dial.state, { 5, 3 }, false, pal).showsText);
        dial.bank.selectedPreset = 127;
        QVERIFY(!knobCellLook(dial.state, { 5, 3 }, false, pal).showsText);

        // The red shows in the drawn table too.
        const QImage image = fader.table->grab().toImage();
        const QRect cell
            = fader.table->cellRect({ 3, 3 }).translated(fader.table->viewport()->pos());
        bool red = false;
        for (int x = cell.left(); x <= cell.right() && !red; ++x) {
            for (int y = cell.top(); y <= cell.bottom() && !red; ++y)
                red = image.pixelColor(x, y).red() > 200 && image.pixelColor(x, y).green() < 80;
        }
        QVERIFY(red);
    }

    void hitTestAgreesWithTheAreas()
    {
        // Each area lies in the picture; its corners hit its knob, and the
        // points just outside them hit none (the areas keep a gap between them).
        for (auto v : { DeviceVariant::zembraControl, DeviceVariant::zembraFader,
                 DeviceVariant::zembraDial }) {
            for (int k = 1; k <= kKnobCount; ++k) {
                const KnobArea a = knobArea(v, k);
                QVERIFY(a.left >= 0 && a.top >= 0 && a.left < a.right && a.top < a.bottom);
                QVERIFY(a.right < kPictureWidth && a.bottom < kPictureHeight);
                const QString where = QStringLiteral("variant %1 knob %2").arg(int(v)).arg(k);
                for (const auto& [x, y, hit] :
                    { std::tuple { a.left, a.top, k }, { a.right, a.bottom, k },
                        { a.left - 1, a.top, kNoKnob }, { a.right + 1, a.bottom, kNoKnob },
                        { a.left, a.top - 1, kNoKnob }, { a.right, a.bottom + 1, kNoKnob } })
                    QVERIFY2(knobHitTest(v, x, y) == hit, qPrintable(where));
            }
        }
    }

    void pictureSetsHighlightOneKnobEach()
    {
        PictureSets sets;
        prefetchPlainPicture(DeviceVariant::zembraDial); // dropped: another variant is shown
        for (auto v : { DeviceVariant::zembraControl, DeviceVariant::zembraFader,
                 DeviceVariant::zembraDial }) {
            const KnobPictureSet& set = sets.forVariant(v);
            QCOMPARE(set.drawnPictures(), 0); // drawn when first shown, not before
            if (v != DeviceVariant::zembraControl)
                prefetchPlainPicture(v); // decoded on another thread: the same pixels
            const QImage plain = set.picture(KnobPictureSet::kPlainSlot).toImage();
            QCOMPARE(set.drawnPictures(), 1);
            // Drawn when the editor was built, yet exactly the drawing of today.
            // In one format: a Wayland screen's pixmaps carry alpha.
            const QImage drawn = set.render(KnobPictureSet::kPlainSlot)
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            QCOMPARE(builtPlainPicture(v).toImage().convertToFormat(QImage::Format_RGB32), drawn);
            QCOMPARE(plain, drawn);
            for (int k = 1; k <= kKnobCount; ++k) {
                const QImage lit
                    = set.pictureForKnob(k).toImage().convertToFormat(QImage::Format_RGB32);
                // Composed from the plain picture, yet exactly the whole drawing.
                QCOMPARE(lit, set.render(k - 1).toImage().convertToFormat(QImage::Format_RGB32));
                QVERIFY2(redInside(lit, knobArea(v, k)), qPrintable(QString::number(k)));
                QVERIFY(!redInside(plain, knobArea(v, k)));
                const int other = k % kKnobCount + 1;
                QVERIFY(!redInside(lit, knobArea(v, other)));
            }
            // Anything but a knob number gives the plain picture.
            QCOMPARE(set.pictureForKnob(0).toImage(), plain);
            QCOMPARE(set.pictureForKnob(-1).toImage(), plain);
        }
        // On a screen of more device pixels per pixel: drawn at that size, not scaled up.
        const KnobPictureSet& set = sets.forVariant(DeviceVariant::zembraFader);
        for (qreal ratio : { 1.25, 2.0, 3.0 }) {
            set.setPixelRatio(ratio);
            QCOMPARE(set.drawnPictures(), 0);
            const QPixmap lit = set.pictureForKnob(3);
            QCOMPARE(lit.size(), QSize(kPictureWidth, kPictureHeight) * ratio);
            QCOMPARE(lit.devicePixelRatio(), ratio);
            const QPixmap cursor = dragCursorPixmap(DragCursor::s2, ratio);
            QCOMPARE(cursor.size(), QSize(32, 32) * ratio);
            QCOMPARE(cursor.deviceIndependentSize(), QSizeF(32, 32));
        }
    }

    void damagedPicturesDecodeToNothing()
    {
        const auto png = kPlainPicturePngs[0];
        const QByteArray good(reinterpret_cast<const char*>(png.data()), qsizetype(png.size()));
        QList<QByteArray> damaged;
        for (const int length : { 0, 7, 8, 30, 100, 4000, 6000, int(good.size()) - 1 })
            damaged << good.left(length);
        damaged << QByteArray(good).replace(19, 1, "\x72"); // a wider picture
        damaged << QByteArray(good).replace(25, 1, "\x06"); // with an alpha channel
        damaged << QByteArray(good).replace(12, 4, "IDAT"); // no header
        QByteArray broken = good;
        broken[good.size() / 2] = char(~good[good.size() / 2]); // inside the image data
        damaged << broken;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^qUncompress"));
        for (const QByteArray& bytes : damaged) {
            const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
            QVERIFY(decodePlainPicturePng({ data, std::size_t(bytes.size()) }).isNull());
        }
    }

    void dragCursorsDifferPerOperation()
    {
        // Drags from the picture show C2, S2, M2; from the table the plain cursors.
        DragCursor cursor {};
        const auto shown = [&](DragOperation operation, bool fromPicture) {
            return dragCursorFor(operation, fromPicture, cursor) ? int(cursor) : 0;
        };
        QCOMPARE(shown(DragOperation::copy, true), int(DragCursor::c2));
        QCOMPARE(shown(DragOperation::swap, true), int(DragCursor::s2));
        QCOMPARE(shown(DragOperation::move, true), int(DragCursor::m2));
        QCOMPARE(shown(DragOperation::move, false), int(DragCursor::move));
        QCOMPARE(shown(DragOperation::none, false), 0);
        const QImage c2 = dragCursorPixmap(DragCursor::c2).toImage();
        QVERIFY(c2 != dragCursorPixmap(DragCursor::m2).toImage());
        QVERIFY(c2 != dragCursorPixmap(DragCursor::copy).toImage());
    }

    void knobsAndSwitchesAreSeenOneByOne()
    {
        PictureRig rig;
        DevicePicture picture(rig.state);
        SwitchDisplay switches;
        switches.showPresetNumber(5); // switches 1 and 3 down
        QCOMPARE(accessiblePartText(&picture, 2, QAccessible::Name), QStringLiteral("Knob 3"));
        QCOMPARE(accessiblePartText(&picture, 2, QAccessible::Value),
            QString::fromStdString(cp1252ToUtf8(sendsText(rig.state.catalogue, rig.preset(), 2))));
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(&switches);
        QCOMPARE(control->childCount(), 7);
        QVERIFY(control->child(2)->state().checked && !control->child(1)->state().checked);
        // Pressed as a screen reader presses it: the knob shows, the switch toggles.
        QAccessible::queryAccessibleInterface(&picture)->child(6)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        QCOMPARE(rig.state.hoverKnob, 7);
        QSignalSpy toggled(&switches, &SwitchDisplay::switchClicked);
        control->child(3)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(toggled.value(0).value(0).toInt(), 4);
        // The arrow keys go from knob to knob.
        QTest::keyClick(&picture, Qt::Key_Right);
        QCOMPARE(rig.state.hoverKnob, 8);
    }

    void faderDropsByPoint()
    {
        PictureRig rig(DeviceVariant::zembraFader);
        DevicePicture picture(rig.state);
        rig.state.dragOperation = DragOperation::copy;
        startKnobDrag(rig.state, 3, 0);
        QVERIFY(!picture.dropAt({ 23, 100 }));
        QVERIFY(picture.dropAt({ 215, 100 }));
        QCOMPARE(rig.preset().fixedParameter[9], 3);
        QCOMPARE(rig.state.dropTargetKnob, 10);
    }

    void hoverKeepsTheLastKnobAndPressLoadsItAndReleaseWithoutDragPastes()
    {
        PictureRig rig;
        DevicePicture picture(rig.state);
        picture.show();
        const KnobArea three = knobArea(rig.state.variant, 3);
        picture.pointerMovedTo({ three.left + 2, three.top + 2 });
        QCOMPARE(rig.state.hoverKnob, 3);
        QCOMPARE(picture.shownKnob(), 3);
        QCOMPARE(rig.viewRefreshes, 1);
        picture.pointerMovedTo({ 50, 60 }); // gap
        QCOMPARE(picture.shownKnob(), 3);
        picture.pointerMovedTo({ three.left + 5, three.top + 5 }); // same knob: no redraw
        QCOMPARE(rig.viewRefreshes, 1);
        const KnobArea four = knobArea(rig.state.variant, 4);
        movePointer(&picture, { four.left + 1, four.top + 1 });
        QCOMPARE(picture.shownKnob(), 4);
        rig.state.showKnob(0);
        QCOMPARE(picture.shownKnob(), 0);

        const Preset before = rig.preset();
        const KnobArea five = knobArea(rig.state.variant, 5);
        QVERIFY(picture.pressAt({ five.left + 3, five.top + 3 }, true, false));
        // The source knob shows in the clipboard and in the paste below.
        QCOMPARE(std::pair(int(rig.state.dragOperation), rig.state.dragOrigin),
            std::pair(int(DragOperation::swap), 2));
        QCOMPARE(rig.bank.clipboardPreset.fixedParameter, allKnobs(5));
        picture.releaseAt({ five.left + 3, five.top + 3 }); // a click on a knob changes nothing
        QCOMPARE(rig.preset(), before);

        // A press beside the knobs arms nothing; the release over knob 9 pastes slot 9.
        QVERIFY(!picture.pressAt({ 50, 60 }, false, false));
        const KnobArea nine = knobArea(rig.state.variant, 9);
        const int refreshes = rig.viewRefreshes;
        picture.releaseAt({ nine.left, nine.top });
        QCOMPARE(rig.preset().fixedParameter[8], 5);
        QCOMPARE(rig.state.dropTargetKnob, 9);
        QCOMPARE(rig.viewRefreshes, refreshes + 1);
        QVERIFY(!picture.pressAt({ 50, 60 }, false, false));
        picture.releaseAt({ 50, 60 }); // over no knob: nothing
        QCOMPARE(rig.viewRefreshes, refreshes + 1);
    }

    void eventPickerGreysLackingCodesAndFillsAllKnobsFromTheHeading()
    {
        ViewRig rig;
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
        ViewRig rig(DeviceVariant::zembraDial);
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
        ViewRig rig;
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
        ViewRig rig;
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
        ViewRig rig;
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

QTEST_MAIN(KnobTableTest)
#include "widget_knob_table_test.moc"
