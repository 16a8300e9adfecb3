#include "ui/knob_table_layout.h"

#include "core/text_codec.h"

#include <QPainter>

namespace kestrow {

using namespace knob_table;

int pointsToPixels(int points, int dpi) { return (points * dpi + 36) / 72; }

namespace {

    // The metric-compatible families come first where they are installed, so
    // the layout measures the same on every system that has either.
    QFont tableFont(const QStringList& families, QFont::StyleHint hint, int points, int dpi)
    {
        QFont font;
        font.setFamilies(families);
        font.setStyleHint(hint);
        font.setPixelSize(pointsToPixels(points, dpi));
        return font;
    }

    void drawClippedText(QPainter& painter, const QRect& box, const QString& text)
    {
        painter.save();
        painter.setClipRect(box);
        painter.drawText(box.adjusted(1, 1, 0, 0),
            Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
        painter.restore();
    }

} // namespace

QFont knobTableTitleFont(int dpi)
{
    QFont font = tableFont({ QStringLiteral("Liberation Sans"), QStringLiteral("Arial") },
        QFont::SansSerif, kTitlePoints, dpi);
    font.setBold(true);
    font.setUnderline(true);
    return font;
}

QFont knobTableNameFont(int dpi)
{
    QFont font = tableFont({ QStringLiteral("Liberation Mono"), QStringLiteral("Courier New") },
        QFont::TypeWriter, kKnobNamePoints, dpi);
    font.setFixedPitch(true);
    return font;
}

QSize knobTableSurfaceSize(int presetCount, int dpiX, int dpiY)
{
    return { tenthsToDots(kTableWidth, dpiX), tenthsToDots(presetCount * kBlockHeight, dpiY) };
}

QSize knobTableWindowSize(QSize surface, int currentOuterHeight)
{
    const int height = currentOuterHeight > 800 ? 500 : surface.height() + 30;
    return { surface.width() + 10, height };
}

QString knobTableTitle(const Preset& preset, int presetIndex)
{
    return QString::number(presetIndex + 1) + QStringLiteral(":  ")
        + QString::fromStdString(cp1252ToUtf8(preset.name));
}

int knobTableBlockPreset(int firstPreset, int block)
{
    return wrapPresetIndex(firstPreset + block);
}

QRect knobTableTitleRect(int block, int dpiX, int dpiY)
{
    const int top = block * kBlockHeight + kMarginTop + kTitleInsetY;
    return { tenthsToDots(kMarginLeft + kTitleInsetX, dpiX), tenthsToDots(top, dpiY),
        tenthsToDots(kTitleWidth, dpiX), tenthsToDots(kTitleHeight, dpiY) };
}

QRect knobTableBoxRect(int block, int knob, int dpiX, int dpiY)
{
    const int row = knob / 8;
    const int column = knob % 8;
    const int left = kMarginLeft + kBoxInsetX + column * (kBoxWidth + kBoxGapX);
    const int top
        = block * kBlockHeight + kMarginTop + kRowsOffsetY + row * (kBoxHeight + kBoxGapY);
    return { tenthsToDots(left, dpiX), tenthsToDots(top, dpiY), tenthsToDots(kBoxWidth, dpiX),
        tenthsToDots(kBoxHeight, dpiY) };
}

void drawKnobTable(
    QPainter& painter, const PresetBank& bank, int firstPreset, int presetCount, int dpiX, int dpiY)
{
    painter.save();
    const QFont titleFont = knobTableTitleFont(dpiY);
    const QFont nameFont = knobTableNameFont(dpiY);
    // A one-pixel frame on every device, as on the screen.
    QPen framePen(Qt::black);
    framePen.setWidth(1);
    painter.setPen(framePen);
    painter.setBrush(Qt::NoBrush);

    for (int block = 0; block < presetCount; ++block) {
        const int presetIndex = knobTableBlockPreset(firstPreset, block);
        const Preset& preset = bank.presets[static_cast<std::size_t>(presetIndex)];

        const QRect title = knobTableTitleRect(block, dpiX, dpiY);
        painter.fillRect(title, Qt::white);
        painter.setFont(titleFont);
        drawClippedText(painter, title, knobTableTitle(preset, presetIndex));

        painter.setFont(nameFont);
        for (int knob = 0; knob < kKnobCount; ++knob) {
            const QRect box = knobTableBoxRect(block, knob, dpiX, dpiY);
            painter.fillRect(box, Qt::white);
            drawClippedText(painter, box,
                QString::fromStdString(
                    cp1252ToUtf8(preset.knobName[static_cast<std::size_t>(knob)])));
            // QPainter outlines one pixel beyond the rectangle; keep the frame inside the box.
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
    }
    painter.restore();
}

} // namespace kestrow
