#pragma once

#include "core/preset_bank.h"
#include "ui/knob_hit_areas.h"

#include <QPixmap>

#include <array>
#include <memory>

class QPainter;
class QRect;

namespace kestrow {

/// A set of 17 device pictures (369 x 147): slot k-1 shows knob k with a red
/// cap, slot 16 the plain device. Never shown itself; the picture widget
/// copies from it. Each picture is made when first asked for (needs a
/// QGuiApplication): the plain one decoded from the build (drawn whole if
/// that fails), a highlighted one as a copy of the plain one with only the
/// knob's surroundings drawn again.
class KnobPictureSet {
public:
    virtual ~KnobPictureSet() = default;

    static constexpr int kPlainSlot = 16;

    DeviceVariant variant() const { return m_variant; }
    /// Picture of slot 0..16; any other slot gives the plain picture.
    const QPixmap& picture(int slot) const;
    /// Picture that shows knob 1..16 highlighted; any other value the plain one.
    const QPixmap& pictureForKnob(int knob) const { return picture(knob - 1); }
    /// Slot 0..16 drawn whole, without the cache: what picture(slot) shows.
    QPixmap render(int slot) const;
    /// Slots made so far.
    int drawnPictures() const;
    /// Device pixels per picture pixel of the screen it shows on (1, 1.25,
    /// 2, ...): the pictures are drawn for it, so they stay sharp; a change
    /// drops those made so far.
    void setPixelRatio(qreal ratio) const;
    qreal pixelRatio() const { return m_ratio; }

protected:
    explicit KnobPictureSet(DeviceVariant variant);
    virtual void drawBody(QPainter& painter) const = 0;
    virtual void drawKnob(
        QPainter& painter, int knob, const QRect& area, bool highlighted) const = 0;

private:
    /// Body and knobs (litKnob 1..16 red), those beyond the clip left out.
    void paint(QPainter& painter, int litKnob, const QRect& clip) const;

    DeviceVariant m_variant;
    mutable qreal m_ratio = 1.0;
    mutable std::array<QPixmap, 17> m_pictures;
};

/// zembraControl: two rows of eight rotary knobs under a title band, snapshot button.
class TPictureForm final : public KnobPictureSet {
public:
    TPictureForm();

protected:
    void drawBody(QPainter& painter) const override;
    void drawKnob(QPainter& painter, int knob, const QRect& area, bool highlighted) const override;
};

/// zembraFader: sixteen faders numbered along the bottom edge, snapshot button.
class TzembraFaderPictureForm final : public KnobPictureSet {
public:
    TzembraFaderPictureForm();

protected:
    void drawBody(QPainter& painter) const override;
    void drawKnob(QPainter& painter, int knob, const QRect& area, bool highlighted) const override;
};

/// zembraDial: two rows of eight endless dials, bank lamps 1-4, channel and program buttons.
class TzembraDialPictureForm final : public KnobPictureSet {
public:
    TzembraDialPictureForm();

protected:
    void drawBody(QPainter& painter) const override;
    void drawKnob(QPainter& painter, int knob, const QRect& area, bool highlighted) const override;
};

/// The three picture sets, each made when its variant is first shown.
class PictureSets {
public:
    PictureSets();
    ~PictureSets();

    const KnobPictureSet& forVariant(DeviceVariant variant) const;

private:
    mutable std::unique_ptr<TPictureForm> m_control;
    mutable std::unique_ptr<TzembraFaderPictureForm> m_fader;
    mutable std::unique_ptr<TzembraDialPictureForm> m_dial;
};

} // namespace kestrow
