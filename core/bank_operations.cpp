#include "core/bank_operations.h"

#include <utility>

namespace kestrow {

namespace {

    bool validPreset(int presetIndex) { return presetIndex >= 0 && presetIndex < kPresetCount; }

    std::size_t at(int presetIndex) { return static_cast<std::size_t>(presetIndex); }

} // namespace

TreeShade presetItemShade(
    int presetIndex, int selectedPreset, bool drawnSelected, const BankGroupOptions& options)
{
    if (presetIndex == selectedPreset)
        return drawnSelected ? TreeShade::highlight : TreeShade::background;
    if (options.variant != DeviceVariant::zembraDial || !options.showBankGroups)
        return TreeShade::white;
    int group = presetIndex / 4;
    if (options.variable) {
        const int s = selectedPreset;
        group = presetIndex >= s ? (presetIndex - s) / 4 : (s - presetIndex + 3) / 4;
    }
    return group % 2 == 1 ? TreeShade::silver : TreeShade::white;
}

std::vector<int> applyPresetDrop(PresetBank& bank, int source, int target, DragOperation operation)
{
    if (!validPreset(source) || !validPreset(target) || operation == DragOperation::none)
        return {};
    auto& presets = bank.presets;
    std::vector<int> selections;
    switch (operation) {
    case DragOperation::copy:
        presets[at(target)] = presets[at(source)];
        break;
    case DragOperation::swap:
        std::swap(presets[at(source)], presets[at(target)]);
        break;
    case DragOperation::move: {
        if (source == target)
            break;
        const Preset held = presets[at(source)];
        if (source > target) {
            for (int i = source; i > target; --i) {
                presets[at(i)] = presets[at(i - 1)];
                selections.push_back(i);
            }
        } else {
            for (int i = source; i < target; ++i) {
                presets[at(i)] = presets[at(i + 1)];
                selections.push_back(i);
            }
        }
        presets[at(target)] = held;
        if (source < target)
            selections.push_back(target);
        break;
    }
    case DragOperation::none:
        break;
    }
    selections.insert(selections.end(), { target, source, target });
    return selections;
}

int presetAfterSwitchClick(int selectedPreset, int switchNumber)
{
    if (switchNumber < 1 || switchNumber > 7)
        return selectedPreset;
    const int bit = 1 << (switchNumber - 1);
    return (selectedPreset & bit) != 0 ? selectedPreset - bit : selectedPreset + bit;
}

bool takeFactoryPreset(PresetBank& bank, int factoryIndex, DeviceVariant variant)
{
    if (!validPreset(factoryIndex) || !fitsVariant(bank.factoryPresets[at(factoryIndex)], variant))
        return false;
    bank.presets[at(bank.selectedPreset)] = bank.factoryPresets[at(factoryIndex)];
    return true;
}

} // namespace kestrow
