#pragma once

#include "core/preset_bank.h"

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

namespace kestrow {

/// Physical layout of the printed and displayed knob table, in tenths of a
/// millimetre, so that a print matches the device's knob rows.
namespace knob_table {
    constexpr int kMarginLeft = 2;
    constexpr int kBoxInsetX = 1;
    constexpr int kBoxGapX = 3;
    constexpr int kBoxWidth = 295;
    constexpr int kBoxHeight = 50;
    constexpr int kMarginTop = 2;
    constexpr int kRowsOffsetY = 70;
    constexpr int kBoxGapY = 30;
    constexpr int kBottomSpace = 30;
    constexpr int kTitleInsetX = 10;
    constexpr int kTitleInsetY = 2;
    constexpr int kTitleWidth = 800;
    constexpr int kTitleHeight = 50;

    /// One preset block: 23.4 mm.
    constexpr int kBlockHeight
        = 2 * kMarginTop + kRowsOffsetY + 2 * kBoxHeight + kBoxGapY + kBottomSpace;
    /// The whole table: 238.7 mm.
    constexpr int kTableWidth = 2 * kMarginLeft + 2 * kBoxInsetX + 8 * kBoxWidth + 7 * kBoxGapX;

    constexpr int kScreenDpi = 96;
    constexpr int kTitlePoints = 10;
    constexpr int kKnobNamePoints = 7;
} // namespace knob_table

/// Tenths of a millimetre to device pixels: product first, then the division,
/// truncated toward zero (so every length converts the same way on any device).
constexpr int tenthsToDots(int tenths, int dpi) { return tenths * dpi / 254; }

/// Pixel height of a font of the given point size at dpi, rounded to nearest.
int pointsToPixels(int points, int dpi);

/// Fonts of the table at a resolution; both keep their point size on paper.
QFont knobTableTitleFont(int dpi);
QFont knobTableNameFont(int dpi);

/// Size in pixels of the surface that holds presetCount blocks.
QSize knobTableSurfaceSize(int presetCount, int dpiX, int dpiY);

/// Outer window size for a surface: surface + (10, 30) for the frame, but
/// 500 high when the window is already taller than 800 pixels.
QSize knobTableWindowSize(QSize surface, int currentOuterHeight);

/// Title of a block: "7:  Pad" for preset index 6 named "Pad" (UTF-8 text).
QString knobTableTitle(const Preset& preset, int presetIndex);

/// The preset index of block i of a table that starts at firstPreset; wraps
/// from index 127 to index 0.
int knobTableBlockPreset(int firstPreset, int block);

/// Geometry of block `block` (pixels) at a resolution; knob 0..15.
QRect knobTableTitleRect(int block, int dpiX, int dpiY);
QRect knobTableBoxRect(int block, int knob, int dpiX, int dpiY);

/// Draws presetCount preset blocks from firstPreset (wrapping) with their top
/// at the painter's origin. Only the boxes are painted; the background is left
/// to the caller, so paper stays white and the screen can use its own colour.
void drawKnobTable(QPainter& painter, const PresetBank& bank, int firstPreset, int presetCount,
    int dpiX, int dpiY);

} // namespace kestrow
