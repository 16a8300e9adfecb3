#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrow {

constexpr int kPresetCount = 128; ///< presets are indexed 0..127, shown 1..128

/// A preset index taken round into 0..127: 128 is 0, -1 is 127.
constexpr int wrapPresetIndex(int index)
{
    return ((index % kPresetCount) + kPresetCount) % kPresetCount;
}
constexpr int kKnobCount = 16; ///< knobs are indexed 0..15, shown 1..16

/// The device model the editor works for; stored as the "Device Type" setting.
enum class DeviceVariant : std::int32_t {
    zembraControl = 0,
    zembraFader = 1,
    zembraDial = 2,
};

/// Columns of one knob as the knob table shows them (table column = field + 1).
enum KnobField : std::int32_t {
    kFieldKnobName = 0,
    kFieldChannel = 1,
    kFieldEventType = 2,
    kFieldFixedParameter = 3,
    kFieldInitValue = 4,
};

/// Event type code named "No-Event", the default of every knob.
constexpr std::int32_t kNoEvent = 127;

/// One preset. Texts hold Windows-1252 bytes (one byte per character), the
/// encoding of every file the editor reads and writes.
struct Preset {
    std::string name;
    std::array<std::string, kKnobCount> knobName;
    // Column-wise, in the order the SysEx dump carries them.
    std::array<std::int32_t, kKnobCount> channel {};
    std::array<std::int32_t, kKnobCount> eventType {};
    std::array<std::int32_t, kKnobCount> fixedParameter {};
    std::array<std::int32_t, kKnobCount> initValue {};
    std::string description;

    bool operator==(const Preset&) const = default;
};

/// The 128 presets of one set, indexed 0..127.
using PresetSet = std::array<Preset, kPresetCount>;

/// The window caption for a variant, e.g. "Kestrow Editor:   ZEMBRA DIAL".
std::string variantTitle(DeviceVariant variant);

/// Text in front of a preset's name in lists; n is the 1-based preset number.
std::string presetLabel(int presetNumber);

/// Whether a preset may be taken over from the factory set for this variant.
bool fitsVariant(const Preset& preset, DeviceVariant variant);

/// The editor's whole working data. Indices are not checked: callers pass
/// preset 0..127, knob 0..15 and field 0..4.
class PresetBank {
public:
    PresetBank();

    std::array<Preset, kPresetCount> presets;
    std::array<Preset, kPresetCount> factoryPresets;
    Preset clipboardPreset;
    std::int32_t selectedPreset = 0;
    std::int32_t selectedField = 0;
    std::int32_t selectedKnob = 0;
    bool allKnobsPending = false;
    std::array<std::uint8_t, kPresetCount> presetMask {};

    /// Field 1..4 (channel, eventType, fixedParameter, initValue).
    std::int32_t getKnobField(int preset, int knob, int field) const;
    void setKnobField(int preset, int knob, int field, std::int32_t value);
    /// Field 0 is the knob name; 1..4 as above.
    void setKnobFieldText(int preset, int knob, const std::string& name);

    /// Sets column selectedField of selectedPreset for one knob, or for all 16
    /// when allKnobsPending is set (which it clears).
    void assignSelectedField(std::int32_t value);
    /// The "1 - 16" request: with allKnobsPending, knob k gets k + 1.
    void assignSelectedFieldNumbering();

    void copyPresetToClipboard(int preset);
    void pastePresetFromClipboard(int preset);
    void swapPresetWithClipboard(int preset);

    /// Fills all 16 clipboard knob slots with the knob; name/description untouched.
    void copyKnobToClipboard(int preset, int knob);
    /// Knob k takes clipboard slot k.
    void pasteKnobFromClipboard(int preset, int knob);
    /// Knob k takes slot k; the knob's former contents go to all 16 slots.
    void swapKnobWithClipboard(int preset, int knob);

private:
    void setField(Preset& preset, int knob, int field, std::int32_t value);
};

/// Copies knob `from` of one preset into knob `to` of another (name and four fields).
void copyKnob(const Preset& source, int from, Preset& target, int to);

} // namespace kestrow
