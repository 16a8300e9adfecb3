#pragma once

#include "knob_hit_areas.h"
#include "preset_bank.h"

#include <QPixmap>

#include <array>

class QPainter;
class QRect;

namespace kestrow {

/// A set of 17 device pictures (369 x 147): slot k-1 shows knob k with a red
/// cap, slot 16 the plain device. Never shown itself; the picture widget
/// copies from it. Drawn once when created (needs a QGuiApplication).
class KnobPictureSet {
public:
    virtual ~KnobPictureSet() = default;

    static constexpr int kPlainSlot = 16;

    DeviceVariant variant() const { return m_variant; }
    /// Picture of slot 0..16; any other slot gives the plain picture.
    const QPixmap& picture(int slot) const;
    /// Picture that shows knob 1..16 highlighted; any other value the plain one.
    const QPixmap& pictureForKnob(int knob) const { return picture(knob - 1); }

protected:
    explicit KnobPictureSet(DeviceVariant variant);
    /// Draws all 17 slots; called by the final class's constructor.
    void build();
    virtual void drawBody(QPainter& painter) const = 0;
    virtual void drawKnob(QPainter& painter, int knob, const QRect& area,
                          bool highlighted) const = 0;

private:
    DeviceVariant m_variant;
    std::array<QPixmap, 17> m_pictures;
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

/// The three picture sets, created together at start-up.
struct PictureSets {
    TPictureForm control;
    TzembraFaderPictureForm fader;
    TzembraDialPictureForm dial;

    const KnobPictureSet& forVariant(DeviceVariant variant) const;
};

} // namespace kestrow
