#pragma once

#include "core/preset_bank.h"

namespace kestrow {

/// Size of every device picture.
constexpr int kPictureWidth = 369;
constexpr int kPictureHeight = 147;
/// Hit-test result for a point that hits no knob.
constexpr int kNoKnob = 0;

/// Inclusive pixel bounds of a knob's hit area inside the picture.
struct KnobArea {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
};

/// Knob 1..16 under picture point (x, y) for the variant, or kNoKnob.
int knobHitTest(DeviceVariant variant, int x, int y);

/// Hit area of knob 1..16; the pictures draw each knob inside its area.
KnobArea knobArea(DeviceVariant variant, int knob);

} // namespace kestrow
