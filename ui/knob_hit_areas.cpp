#include "ui/knob_hit_areas.h"

#include <array>

namespace kestrow {

namespace {

    struct Band {
        int low;
        int high;
    };

    constexpr std::array<Band, 2> kControlRows { { { 37, 77 }, { 92, 133 } } };
    constexpr std::array<Band, 8> kControlColumns { { { 8, 46 }, { 53, 91 }, { 98, 136 },
        { 142, 181 }, { 188, 225 }, { 233, 270 }, { 278, 316 }, { 322, 363 } } };
    constexpr std::array<Band, 2> kDialRows { { { 46, 84 }, { 96, 134 } } };
    constexpr std::array<Band, 8> kDialColumns { { { 7, 41 }, { 51, 87 }, { 98, 133 }, { 143, 178 },
        { 189, 224 }, { 235, 269 }, { 281, 317 }, { 326, 363 } } };
    constexpr Band kFaderRow { 30, 140 };
    constexpr std::array<Band, 16> kFaderColumns { { { 2, 21 }, { 25, 45 }, { 49, 68 }, { 72, 90 },
        { 94, 112 }, { 118, 136 }, { 141, 159 }, { 165, 183 }, { 189, 207 }, { 211, 228 },
        { 234, 250 }, { 257, 274 }, { 281, 299 }, { 303, 321 }, { 326, 344 }, { 348, 364 } } };

    bool inside(Band band, int v) { return v >= band.low && v <= band.high; }

    template <std::size_t Rows, std::size_t Columns>
    int gridHit(
        const std::array<Band, Rows>& rows, const std::array<Band, Columns>& columns, int x, int y)
    {
        for (std::size_t r = 0; r < Rows; ++r) {
            if (!inside(rows[r], y))
                continue;
            for (std::size_t c = 0; c < Columns; ++c) {
                if (inside(columns[c], x))
                    return static_cast<int>(r * Columns + c) + 1;
            }
        }
        return kNoKnob;
    }

    template <std::size_t Rows, std::size_t Columns>
    KnobArea gridArea(
        const std::array<Band, Rows>& rows, const std::array<Band, Columns>& columns, int knob)
    {
        const auto index = static_cast<std::size_t>(knob - 1);
        const Band row = rows[index / Columns];
        const Band column = columns[index % Columns];
        return { column.low, row.low, column.high, row.high };
    }

} // namespace

int knobHitTest(DeviceVariant variant, int x, int y)
{
    switch (variant) {
    case DeviceVariant::zembraControl:
        return gridHit(kControlRows, kControlColumns, x, y);
    case DeviceVariant::zembraDial:
        return gridHit(kDialRows, kDialColumns, x, y);
    case DeviceVariant::zembraFader:
        return gridHit(std::array<Band, 1> { kFaderRow }, kFaderColumns, x, y);
    }
    return kNoKnob;
}

KnobArea knobArea(DeviceVariant variant, int knob)
{
    if (knob < 1 || knob > kKnobCount)
        return {};
    switch (variant) {
    case DeviceVariant::zembraControl:
        return gridArea(kControlRows, kControlColumns, knob);
    case DeviceVariant::zembraDial:
        return gridArea(kDialRows, kDialColumns, knob);
    case DeviceVariant::zembraFader:
        return gridArea(std::array<Band, 1> { kFaderRow }, kFaderColumns, knob);
    }
    return {};
}

} // namespace kestrow
