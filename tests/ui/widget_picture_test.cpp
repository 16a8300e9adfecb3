#include "device_picture.h"
#include "drag_cursors.h"
#include "knob_drops.h"
#include "knob_hit_areas.h"

#include <QTest>

#include <cstdlib>

using namespace kestrow;

namespace {

struct Rig {
    PresetBank bank;
    Catalogue catalogue;
    EditorState state { bank, catalogue };
    int refreshes = 0;

    explicit Rig(DeviceVariant variant = DeviceVariant::zembraControl)
    {
        state.variant = variant;
        state.hooks.refreshPresetView = [this](int) { ++refreshes; };
        // Knob k carries fixed parameter k and name "Kk", so moves are easy to read.
        for (int k = 0; k < kKnobCount; ++k) {
            preset().fixedParameter[k] = k + 1;
            preset().knobName[k] = "K" + std::to_string(k + 1);
        }
    }
    Preset& preset() { return bank.presets[static_cast<std::size_t>(bank.selectedPreset)]; }
    std::vector<int> order()
    {
        return { preset().fixedParameter.begin(), preset().fixedParameter.end() };
    }
    void drag(int knob, int column, DragOperation operation)
    {
        state.dragOperation = operation;
        startKnobDrag(state, knob, column);
    }
};

std::vector<int> places(std::initializer_list<int> firstPlaces)
{
    std::vector<int> result(firstPlaces);
    for (int k = static_cast<int>(result.size()) + 1; k <= kKnobCount; ++k)
        result.push_back(k);
    return result;
}

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

void saveIfAsked(const QPixmap& pixmap, const QString& name)
{
    // KESTROW_RENDER_DIR=/tmp/x keeps the drawings for a look by eye.
    const QByteArray dir = qgetenv("KESTROW_RENDER_DIR");
    if (!dir.isEmpty())
        pixmap.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
}

} // namespace

class PictureTest : public QObject {
    Q_OBJECT
private slots:
    void hitTestPoints_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("knob");
        const int c = int(DeviceVariant::zembraControl);
        const int f = int(DeviceVariant::zembraFader);
        const int d = int(DeviceVariant::zembraDial);
        QTest::newRow("control knob 1") << c << 10 << 40 << 1;
        QTest::newRow("control knob 16") << c << 363 << 133 << 16;
        QTest::newRow("control column gap") << c << 50 << 60 << kNoKnob;
        QTest::newRow("control row gap") << c << 10 << 85 << kNoKnob;
        QTest::newRow("control corner 1") << c << 8 << 37 << 1;
        QTest::newRow("control below") << c << 100 << 134 << kNoKnob;
        QTest::newRow("control knob 9") << c << 8 << 92 << 9;
        QTest::newRow("control knob 4") << c << 181 << 77 << 4;
        QTest::newRow("fader left of 2") << f << 22 << 100 << kNoKnob;
        QTest::newRow("fader gap") << f << 24 << 100 << kNoKnob;
        QTest::newRow("fader 2") << f << 25 << 100 << 2;
        QTest::newRow("fader 16 top") << f << 364 << 30 << 16;
        QTest::newRow("fader above") << f << 100 << 29 << kNoKnob;
        QTest::newRow("fader 10") << f << 215 << 100 << 10;
        QTest::newRow("fader between 1 and 2") << f << 23 << 100 << kNoKnob;
        QTest::newRow("fader below") << f << 100 << 141 << kNoKnob;
        QTest::newRow("dial 1") << d << 7 << 46 << 1;
        QTest::newRow("dial left of 1") << d << 6 << 46 << kNoKnob;
        QTest::newRow("dial 16") << d << 363 << 134 << 16;
        QTest::newRow("dial row gap") << d << 20 << 90 << kNoKnob;
        QTest::newRow("dial 12") << d << 143 << 96 << 12;
        QTest::newRow("outside") << d << -1 << 50 << kNoKnob;
    }

    void hitTestPoints()
    {
        QFETCH(int, variant);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, knob);
        QCOMPARE(knobHitTest(static_cast<DeviceVariant>(variant), x, y), knob);
    }

    void everyAreaHitsItsOwnKnob()
    {
        for (auto v : { DeviceVariant::zembraControl, DeviceVariant::zembraFader,
                        DeviceVariant::zembraDial }) {
            for (int k = 1; k <= kKnobCount; ++k) {
                const KnobArea a = knobArea(v, k);
                QCOMPARE(knobHitTest(v, a.left, a.top), k);
                QCOMPARE(knobHitTest(v, a.right, a.bottom), k);
                QVERIFY(a.right < kPictureWidth && a.bottom < kPictureHeight);
            }
        }
    }

    void pictureSetsHighlightOneKnobEach()
    {
        PictureSets sets;
        for (auto v : { DeviceVariant::zembraControl, DeviceVariant::zembraFader,
                        DeviceVariant::zembraDial }) {
            const KnobPictureSet& set = sets.forVariant(v);
            QCOMPARE(set.variant(), v);
            const QImage plain = set.picture(KnobPictureSet::kPlainSlot).toImage();
            QCOMPARE(plain.size(), QSize(369, 147));
            saveIfAsked(set.picture(KnobPictureSet::kPlainSlot),
                        QStringLiteral("picture_%1_plain.png").arg(int(v)));
            for (int k = 1; k <= kKnobCount; ++k) {
                const QImage lit = set.pictureForKnob(k).toImage();
                QVERIFY2(redInside(lit, knobArea(v, k)), qPrintable(QString::number(k)));
                QVERIFY(!redInside(plain, knobArea(v, k)));
                const int other = k % kKnobCount + 1;
                QVERIFY(!redInside(lit, knobArea(v, other)));
            }
            saveIfAsked(set.pictureForKnob(6), QStringLiteral("picture_%1_knob6.png").arg(int(v)));
            // Anything but a knob number gives the plain picture.
            QCOMPARE(set.pictureForKnob(0).toImage(), plain);
            QCOMPARE(set.pictureForKnob(-1).toImage(), plain);
        }
    }

    void dragCursorsDifferPerOperation()
    {
        DragCursor cursor {};
        QVERIFY(dragCursorFor(DragOperation::copy, true, cursor));
        QCOMPARE(cursor, DragCursor::c2);
        QVERIFY(dragCursorFor(DragOperation::swap, true, cursor));
        QCOMPARE(cursor, DragCursor::s2);
        QVERIFY(dragCursorFor(DragOperation::move, true, cursor));
        QCOMPARE(cursor, DragCursor::m2);
        QVERIFY(dragCursorFor(DragOperation::move, false, cursor));
        QCOMPARE(cursor, DragCursor::move);
        QVERIFY(!dragCursorFor(DragOperation::none, false, cursor));
        QImage c2 = dragCursorPixmap(DragCursor::c2).toImage();
        QCOMPARE(c2.size(), QSize(32, 32));
        QVERIFY(c2 != dragCursorPixmap(DragCursor::m2).toImage());
        QVERIFY(dragCursorPixmap(DragCursor::copy).toImage() != c2);
    }

    void operationFromModifiers()
    {
        Rig rig;
        QCOMPARE(rig.state.operationFor(false, false), DragOperation::copy);
        QCOMPARE(rig.state.operationFor(true, false), DragOperation::swap);
        QCOMPARE(rig.state.operationFor(false, true), DragOperation::move);
        QCOMPARE(rig.state.operationFor(true, true), DragOperation::none);
        rig.state.dragKeyMap = { DragOperation::copy, DragOperation::swap, DragOperation::move };
        QCOMPARE(rig.state.operationFor(false, false), DragOperation::move);
        QCOMPARE(rig.state.operationFor(true, true), DragOperation::none);
    }

    void hoverKeepsTheLastKnob()
    {
        Rig rig;
        DevicePicture picture(rig.state);
        picture.show();
        const KnobArea three = knobArea(rig.state.variant, 3);
        picture.pointerMovedTo({ three.left + 2, three.top + 2 });
        QCOMPARE(rig.state.hoverKnob, 3);
        QCOMPARE(picture.shownKnob(), 3);
        QCOMPARE(rig.refreshes, 1);
        picture.pointerMovedTo({ 50, 60 }); // gap
        QCOMPARE(picture.shownKnob(), 3);
        picture.pointerMovedTo({ three.left + 5, three.top + 5 }); // same knob: no redraw
        QCOMPARE(rig.refreshes, 1);
        const KnobArea four = knobArea(rig.state.variant, 4);
        QTest::mouseMove(&picture, { four.left + 1, four.top + 1 });
        QCOMPARE(picture.shownKnob(), 4);
        rig.state.showKnob(0);
        QCOMPARE(picture.shownKnob(), 0);
        saveIfAsked(picture.grab(), QStringLiteral("device_picture.png"));
    }

    void pictureDrops()
    {
        {
            Rig rig;
            rig.drag(2, 0, DragOperation::move);
            QVERIFY(dropOnPicture(rig.state, 6));
            QCOMPARE(rig.order(), places({ 1, 3, 4, 5, 6, 2 }));
            QCOMPARE(rig.preset().knobName[5], std::string("K2"));
            QCOMPARE(rig.state.dropTargetKnob, 6);
            QCOMPARE(rig.refreshes, 1);
        }
        {
            Rig rig;
            rig.drag(6, 0, DragOperation::move);
            QVERIFY(dropOnPicture(rig.state, 2));
            QCOMPARE(rig.order(), places({ 1, 6, 2, 3, 4, 5 }));
            rig.drag(4, 0, DragOperation::move);
            QVERIFY(!dropOnPicture(rig.state, 4)); // onto itself: nothing, no redraw
            QCOMPARE(rig.refreshes, 1);
        }
        for (auto operation : { DragOperation::swap, DragOperation::none }) {
            Rig rig;
            rig.drag(2, 0, operation);
            QVERIFY(dropOnPicture(rig.state, 6));
            QCOMPARE(rig.order(), places({ 1, 6, 3, 4, 5, 2 }));
        }
        {
            Rig rig;
            rig.drag(2, 0, DragOperation::copy);
            QVERIFY(dropOnPicture(rig.state, 6));
            QCOMPARE(rig.order(), places({ 1, 2, 3, 4, 5, 2 }));
            QVERIFY(!dropOnPicture(rig.state, kNoKnob));
            rig.state.dragOrigin = 1; // a preset drag from the tree
            QVERIFY(!dropOnPicture(rig.state, 7));
            QCOMPARE(rig.order(), places({ 1, 2, 3, 4, 5, 2 }));
        }
    }

    void faderDropsByPoint()
    {
        Rig rig(DeviceVariant::zembraFader);
        DevicePicture picture(rig.state);
        rig.drag(3, 0, DragOperation::copy);
        QVERIFY(!picture.dropAt({ 23, 100 }));
        QVERIFY(picture.dropAt({ 215, 100 }));
        QCOMPARE(rig.preset().fixedParameter[9], 3);
        QCOMPARE(rig.state.dropTargetKnob, 10);
    }

    void pressLoadsTheKnobAndReleaseWithoutDragPastes()
    {
        Rig rig;
        DevicePicture picture(rig.state);
        const KnobArea five = knobArea(rig.state.variant, 5);
        QVERIFY(picture.pressAt({ five.left + 3, five.top + 3 }, true, false));
        QCOMPARE(rig.state.dragOperation, DragOperation::swap);
        QCOMPARE(rig.state.dragSourceKnob, 5);
        QCOMPARE(rig.state.dragColumn, 0);
        QCOMPARE(rig.state.dragOrigin, 2);
        for (int k = 0; k < kKnobCount; ++k)
            QCOMPARE(rig.bank.clipboardPreset.fixedParameter[k], 5);
        picture.releaseAt({ five.left + 3, five.top + 3 }); // a click on a knob changes nothing
        QCOMPARE(rig.order(), places({}));

        // A press beside the knobs arms nothing; the release over knob 9 pastes slot 9.
        QVERIFY(!picture.pressAt({ 50, 60 }, false, false));
        const KnobArea nine = knobArea(rig.state.variant, 9);
        const int refreshes = rig.refreshes;
        picture.releaseAt({ nine.left, nine.top });
        QCOMPARE(rig.preset().fixedParameter[8], 5);
        QCOMPARE(rig.state.dropTargetKnob, 9);
        QCOMPARE(rig.refreshes, refreshes + 1);
        QVERIFY(!picture.pressAt({ 50, 60 }, false, false));
        picture.releaseAt({ 50, 60 }); // over no knob: nothing
        QCOMPARE(rig.refreshes, refreshes + 1);
    }

    void tableDropsOfWholeKnobs()
    {
        {
            Rig rig;
            rig.drag(3, 0, DragOperation::copy);
            QVERIFY(tableAcceptsDrag(rig.state, { 0, 0 }));
            QVERIFY(!tableAcceptsDrag(rig.state, { 2, 5 }));
            QVERIFY(dropOnTable(rig.state, { 0, 9 }));
            QCOMPARE(rig.order(), places({ 1, 2, 3, 4, 5, 6, 7, 8, 3 }));
            QVERIFY(dropOnTable(rig.state, { 0, 0 }));
            QCOMPARE(rig.order(), std::vector<int>(16, 3));
            QCOMPARE(rig.state.dropTargetKnob, 0);
        }
        {
            Rig rig;
            rig.drag(2, 0, DragOperation::swap);
            QVERIFY(!tableAcceptsDrag(rig.state, { 0, 0 }));
            QVERIFY(!dropOnTable(rig.state, { 0, 0 }));
            QVERIFY(dropOnTable(rig.state, { 0, 6 }));
            QCOMPARE(rig.order(), places({ 1, 6, 3, 4, 5, 2 }));
        }
        {
            Rig rig;
            rig.drag(2, 0, DragOperation::move);
            QVERIFY(dropOnTable(rig.state, { 0, 6 }));
            QCOMPARE(rig.order(), places({ 1, 3, 4, 5, 6, 2 }));
        }
        {
            // Shift and Ctrl together: the picture exchanges, the table refuses.
            Rig rig;
            rig.drag(2, 0, DragOperation::none);
            QVERIFY(tableAcceptsDrag(rig.state, { 0, 6 }));
            QVERIFY(!dropOnTable(rig.state, { 0, 6 }));
            QCOMPARE(rig.order(), places({}));
            QCOMPARE(rig.refreshes, 0);
        }
    }

    void tableDropsOfSingleCells()
    {
        Rig rig;
        rig.preset().eventType[2] = 5;
        rig.drag(3, 3, DragOperation::copy); // the "Event" cell of knob 3
        QVERIFY(!tableAcceptsDrag(rig.state, { 4, 0 }));
        QVERIFY(!dropOnTable(rig.state, { 4, 0 }));
        QVERIFY(dropOnTable(rig.state, { 3, 0 }));
        for (int e : rig.preset().eventType)
            QCOMPARE(e, 5);
        QCOMPARE(rig.order(), places({})); // only the event column moved

        rig.drag(7, 1, DragOperation::copy); // a name onto knob 12
        QVERIFY(dropOnTable(rig.state, { 1, 12 }));
        QCOMPARE(rig.preset().knobName[11], std::string("K7"));
        QCOMPARE(rig.preset().fixedParameter[11], 12);

        for (auto operation : { DragOperation::swap, DragOperation::move }) {
            rig.drag(2, 4, operation);
            QVERIFY(!tableAcceptsDrag(rig.state, { 4, 0 }));
            QVERIFY(!tableAcceptsDrag(rig.state, { 4, 8 }));
            QVERIFY(!dropOnTable(rig.state, { 4, 8 }));
        }
        QCOMPARE(rig.preset().fixedParameter[7], 8);

        // A single-cell drag dropped on the picture moves whole knobs.
        rig.drag(4, 4, DragOperation::copy);
        QVERIFY(dropOnPicture(rig.state, 1));
        QCOMPARE(rig.preset().fixedParameter[0], 4);
        QCOMPARE(rig.preset().knobName[0], std::string("K4"));
    }
};

QTEST_MAIN(PictureTest)
#include "widget_picture_test.moc"
