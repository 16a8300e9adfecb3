#pragma once

#include "core/preset_bank.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrow {

/// A name list addressed by index; every list here has 128 entries except
/// channelNames (17).
using NameList = std::vector<std::string>;

/// Which list the parameter picker shows (chosen by the knob's event type).
enum class ParameterList {
    xgDrum,
    aweEmu, ///< aweParameterNames instance for codes 58, 59
    aweAwe, ///< aweParameterNames instance for codes 60, 61
    xgMultiPart,
    xgAdPart,
    xgEffect,
    xgEffect2Byte,
    xgEq,
    xgInsertion,
    nrpn1Grid, ///< parameterNumbers with the NRPN1 names (cell 51 "EQ NID-TREBLE")
    resetGrid, ///< parameterNumbers with "GM-Reset", "GS-Reset", "XG-Reset" in 0..2
};

/// Which picker a right-click on "Fixed Par" opens for an event type.
enum class PickerKind { none, controller, note, parameter, value };

struct FixedParameterPicker {
    PickerKind kind = PickerKind::none;
    ParameterList list = ParameterList::xgDrum; ///< meaningful for PickerKind::parameter
};

/// The event catalogue: name lists and the rules that turn knob fields into
/// text. Built once; lookups are direct indexing. Texts are Windows-1252.
class Catalogue {
public:
    Catalogue();

    // Main window lists, in creation order.
    NameList channelNames;
    NameList eventTypeNames;
    NameList controllerNames;
    NameList parameterNumbers;
    NameList noteNamesOctaveMinus1;
    NameList noteNamesOctaveMinus2;
    // Parameter picker lists.
    NameList xgDrumNames;
    NameList aweParameterNamesEmu;
    NameList aweParameterNamesAwe;
    NameList xgMultiPartNames;
    NameList xgAdPartNames;
    NameList xgEffectNames;
    NameList xgEffect2ByteNames;
    NameList xgEqNames;
    NameList xgInsertionNames;
    NameList nrpn1ParameterNames; ///< 128 entries, empty where the number has no name
    NameList resetStringNames; ///< 3 entries

    /// 0 = notes from "C -1" (default), 1 = notes from "C -2"; read at every call.
    int notesRangeLow = 0;

    /// Text of one knob-table data cell; field 0..4 (KnobField), else empty.
    std::string cellText(const Preset& preset, int knob, int field) const;
    std::string channelText(std::int32_t eventType, std::int32_t channel) const;
    std::string eventTypeText(std::int32_t code) const;
    std::string fixedParameterText(std::int32_t eventType, std::int32_t value) const;
    std::string noteName(std::int32_t value) const;
    std::string drumNoteText(std::int32_t value) const;
    static std::string unnamedValueText(std::int32_t value);

    /// The 128 cell texts of the parameter picker for a list.
    NameList parameterGrid(ParameterList list) const;
};

/// Whether the variant offers the event code (0..127; anything else: false).
bool eventFitsVariant(DeviceVariant variant, std::int32_t code);

/// Whether the event's channel takes part (otherwise its cell shows "*****"); any int.
bool eventShowsChannel(std::int32_t code);

/// Whether the event takes a fixed parameter (false for 2, 3, 8..13, 84..86,
/// 90..93, 125..127, whose cell shows 36 asterisks); any int.
bool eventUsesFixedParameter(std::int32_t code);

/// The picker a right-click on a knob's "Fixed Par" cell opens.
FixedParameterPicker fixedParameterPickerFor(std::int32_t eventType);

} // namespace kestrow
