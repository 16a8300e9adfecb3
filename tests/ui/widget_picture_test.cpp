#include "core/bank_search.h"
#include "core/knob_drops.h"
#include "core/text_codec.h"
#include "ui/accessible_parts.h"
#include "ui/device_picture.h"
#include "ui/drag_cursors.h"
#include "ui/knob_hit_areas.h"
#include "ui/plain_pictures.h"
#include "ui/switch_display.h"
#include "widget_fake_host.h"

#include <QAccessibleActionInterface>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace kestrow;

namespace {

/// Knob k carries fixed parameter k.
struct Rig : ViewRig {
    explicit Rig(DeviceVariant variant = DeviceVariant::zembraControl)
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

} // namespace

class PictureTest : public QObject {
    Q_OBJECT
private slots:
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
        Rig rig;
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
        Rig rig(DeviceVariant::zembraFader);
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
        Rig rig;
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
};

QTEST_MAIN(PictureTest)
#include "widget_picture_test.moc"
