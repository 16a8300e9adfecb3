#include "core/preset_bank.h"

#include <utility>

namespace kestrow {

std::string variantTitle(DeviceVariant variant)
{
    switch (variant) {
    case DeviceVariant::zembraFader:
        return "Kestrow Editor:   ZEMBRA FADER";
    case DeviceVariant::zembraDial:
        return "Kestrow Editor:   ZEMBRA DIAL";
    case DeviceVariant::zembraControl:
        break;
    }
    return "Kestrow Editor:   ZEMBRA CONTROL";
}

std::string presetLabel(int presetNumber)
{
    std::string number = std::to_string(presetNumber);
    return presetNumber < 10 ? " " + number + ": " : number + ": ";
}

bool fitsVariant(const Preset& preset, DeviceVariant variant)
{
    for (std::int32_t code : preset.eventType) {
        if (variant == DeviceVariant::zembraDial) {
            if (code == 12 || code == 13 || code == 92 || code == 93 || code == 125 || code == 126)
                return false;
        } else {
            if (code == 7 || code == 12 || code == 13 || code == 62 || code == 63 || code == 92
                || code == 93 || code == 94 || code == 95 || code == 99
                || (code >= 101 && code <= 126))
                return false;
        }
    }
    return true;
}

namespace {

    /// A knob's channel is its number; it sends nothing.
    void setKnobDefaults(Preset& p)
    {
        for (int k = 0; k < kKnobCount; ++k) {
            p.channel[k] = k + 1;
            p.eventType[k] = kNoEvent;
        }
    }

} // namespace

PresetBank::PresetBank()
{
    // Freshly made presets are empty already: only the knob defaults are set
    // (a bank is made for every load, fetch and test).
    for (Preset& p : presets)
        setKnobDefaults(p);
}

std::int32_t PresetBank::getKnobField(int preset, int knob, int field) const
{
    const Preset& p = presets[preset];
    switch (field) {
    case kFieldChannel:
        return p.channel[knob];
    case kFieldEventType:
        return p.eventType[knob];
    case kFieldFixedParameter:
        return p.fixedParameter[knob];
    case kFieldInitValue:
        return p.initValue[knob];
    default:
        return 0;
    }
}

void PresetBank::setField(Preset& p, int knob, int field, std::int32_t value)
{
    switch (field) {
    case kFieldChannel:
        p.channel[knob] = value;
        break;
    case kFieldEventType:
        p.eventType[knob] = value;
        break;
    case kFieldFixedParameter:
        p.fixedParameter[knob] = value;
        break;
    case kFieldInitValue:
        p.initValue[knob] = value;
        break;
    default:
        break;
    }
}

void PresetBank::setKnobField(int preset, int knob, int field, std::int32_t value)
{
    setField(presets[preset], knob, field, value);
}

void PresetBank::setKnobFieldText(int preset, int knob, const std::string& name)
{
    presets[preset].knobName[knob] = name;
}

void PresetBank::assignSelectedField(std::int32_t value)
{
    Preset& p = presets[selectedPreset];
    if (allKnobsPending) {
        allKnobsPending = false;
        for (int k = 0; k < kKnobCount; ++k)
            setField(p, k, selectedField, value);
    } else {
        setField(p, selectedKnob, selectedField, value);
    }
}

void PresetBank::assignSelectedFieldNumbering()
{
    Preset& p = presets[selectedPreset];
    if (allKnobsPending) {
        allKnobsPending = false;
        for (int k = 0; k < kKnobCount; ++k)
            setField(p, k, selectedField, k + 1);
    } else {
        // Without a pending heading gesture "numbering" names only the selected knob.
        setField(p, selectedKnob, selectedField, selectedKnob + 1);
    }
}

void PresetBank::copyPresetToClipboard(int preset) { clipboardPreset = presets[preset]; }

void PresetBank::pastePresetFromClipboard(int preset) { presets[preset] = clipboardPreset; }

void PresetBank::swapPresetWithClipboard(int preset)
{
    std::swap(presets[preset], clipboardPreset);
}

void copyKnob(const Preset& source, int from, Preset& target, int to)
{
    target.knobName[to] = source.knobName[from];
    target.channel[to] = source.channel[from];
    target.eventType[to] = source.eventType[from];
    target.fixedParameter[to] = source.fixedParameter[from];
    target.initValue[to] = source.initValue[from];
}

void PresetBank::copyKnobToClipboard(int preset, int knob)
{
    for (int j = 0; j < kKnobCount; ++j)
        copyKnob(presets[preset], knob, clipboardPreset, j);
}

void PresetBank::pasteKnobFromClipboard(int preset, int knob)
{
    copyKnob(clipboardPreset, knob, presets[preset], knob);
}

void PresetBank::swapKnobWithClipboard(int preset, int knob)
{
    Preset remembered;
    copyKnob(presets[preset], knob, remembered, 0);
    copyKnob(clipboardPreset, knob, presets[preset], knob);
    for (int j = 0; j < kKnobCount; ++j)
        copyKnob(remembered, 0, clipboardPreset, j);
}

} // namespace kestrow
