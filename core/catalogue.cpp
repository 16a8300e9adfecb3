#include "catalogue.h"

namespace kestrow {
// Placeholder until the catalogue lands.
Catalogue::Catalogue() = default;
std::string Catalogue::cellText(const Preset&, int, int) const { return {}; }
std::string Catalogue::channelText(std::int32_t, std::int32_t) const { return {}; }
std::string Catalogue::eventTypeText(std::int32_t) const { return {}; }
std::string Catalogue::fixedParameterText(std::int32_t, std::int32_t) const { return {}; }
std::string Catalogue::noteName(std::int32_t) const { return {}; }
std::string Catalogue::drumNoteText(std::int32_t) const { return {}; }
std::string Catalogue::unnamedValueText(std::int32_t) { return {}; }
NameList Catalogue::parameterGrid(ParameterList) const { return NameList(128); }
bool eventFitsVariant(DeviceVariant, std::int32_t) { return true; }
FixedParameterPicker fixedParameterPickerFor(std::int32_t) { return {}; }
} // namespace kestrow
