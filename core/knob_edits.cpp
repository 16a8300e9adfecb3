#include "core/knob_edits.h"

#include "core/knob_drops.h"

#include <algorithm>
#include <string>

namespace kestrow {

namespace {

    constexpr std::int32_t kHighestValue = 127;
    constexpr std::int32_t kHighestChannel = 16;

} // namespace

bool isTableCell(CellPos cell)
{
    return cell.column >= 0 && cell.column <= 5 && cell.row >= 0 && cell.row <= kKnobCount;
}

bool channelIsFixedByEvent(std::int32_t eventType)
{
    return eventType == 84 || eventType == 85 || eventType == 86 || eventType == 90
        || eventType == 91 || eventType == kNoEvent;
}

InitValueAccess initValueAccess(DeviceVariant variant, int presetIndex)
{
    if (variant != DeviceVariant::zembraDial)
        return InitValueAccess::none;
    // The device keeps no initial values for its last preset.
    return presetIndex == kPresetCount - 1 ? InitValueAccess::notForLast
                                           : InitValueAccess::available;
}

void classifyGesture(PresetBank& bank, CellPos cell)
{
    bank.allKnobsPending = cell.row == 0 && cell.column != 0;
    bank.selectedKnob = cell.row - 1;
    bank.selectedField = cell.column - 1;
}

std::string columnStepLabel(int column)
{
    static const char* const kLabels[6]
        = { "Knob", "Name", "Channel", "Event", "Fixed Par", "Init Val" };
    return column >= 0 && column < 6 ? kLabels[column] : "Cell";
}

std::string assignStepName(const PresetBank& bank)
{
    return "Set " + columnStepLabel(bank.selectedField + 1) + " of "
        + (bank.allKnobsPending ? std::string("All Knobs")
                                : "Knob " + std::to_string(bank.selectedKnob + 1));
}

void initDescription(Preset& preset)
{
    for (std::size_t k = 0; k < kKnobCount; ++k)
        preset.knobName[k] = "Knob " + std::to_string(k + 1);
}

void incValues(Preset& preset)
{
    const std::int32_t first = preset.fixedParameter[0];
    for (int k = 0; k < kKnobCount; ++k)
        preset.fixedParameter[static_cast<std::size_t>(k)]
            = std::clamp(first + k, 0, kHighestValue);
}

void decValues(Preset& preset)
{
    const std::int32_t first = preset.fixedParameter[0];
    for (int k = 0; k < kKnobCount; ++k)
        preset.fixedParameter[static_cast<std::size_t>(k)]
            = std::clamp(first - k, 0, kHighestValue);
}

void copyInitValues(InitValueStore& store, const Preset& preset)
{
    store.values = preset.initValue;
    store.filled = true;
}

bool pasteInitValues(const InitValueStore& store, Preset& preset)
{
    if (!store.filled)
        return false;
    preset.initValue = store.values;
    return true;
}

bool pasteCells(PresetBank& bank, CellPos source, CellPos target)
{
    if (source.column != target.column || !isTableCell(source) || !isTableCell(target))
        return false;
    const int column = target.column;
    if (source.row != 0) {
        if (target.row == 0) {
            for (int k = 0; k < kKnobCount; ++k)
                pasteClipboardColumn(bank, column, source.row - 1, k);
        } else {
            pasteClipboardColumn(bank, column, source.row - 1, target.row - 1);
        }
        return true;
    }
    if (target.row != 0)
        return false;
    for (int k = 0; k < kKnobCount; ++k)
        pasteClipboardColumn(bank, column, k, k);
    return true;
}

EntryRange entryRange(int column)
{
    if (column == kFieldChannel + 1)
        return { 0, kHighestChannel };
    if (column > kFieldChannel + 1 && column <= kFieldInitValue + 1)
        return { 0, kHighestValue };
    return { 0, -1 }; // "#" and "Description" take no number
}

bool enterNumber(PresetBank& bank, int column, std::optional<std::int32_t> value)
{
    const EntryRange range = entryRange(column);
    if (!value || *value < range.lowest || *value > range.highest) {
        bank.allKnobsPending = false;
        return false;
    }
    bank.assignSelectedField(*value);
    return true;
}

} // namespace kestrow
