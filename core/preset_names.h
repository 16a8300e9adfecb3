#pragma once

#include <cstddef>
#include <string>

namespace kestrow {

/// Longest preset name the tree keeps (Windows-1252 bytes, one per character).
constexpr std::size_t kPresetNameLength = 35;
/// Longest knob name the knob table keeps.
constexpr std::size_t kKnobNameLength = 24;

/// The name an in-place edit of a tree item stores (Windows-1252): trimmed, cut
/// to 35 characters, and with a kept label ("12: ") removed up to the first
/// colon and one more character.
std::string presetNameFromEdit(const std::string& text);

/// The name part of a tree item text: everything after the first ": "; the
/// whole text when it has none.
std::string presetNameFromItemText(const std::string& itemText);

/// A name returned by the name editor: trimmed and cut to 35 characters.
std::string presetNameFromEditor(const std::string& text);

/// A knob name as stored from typed UTF-8 text: Windows-1252 ('?' for what it
/// cannot hold), cut to 24 characters.
std::string knobNameFromText(const std::string& utf8);

} // namespace kestrow
