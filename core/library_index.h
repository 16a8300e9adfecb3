#pragma once

#include "core/preset_bank.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrow {

/// One preset as the library keeps it: small numbers as bytes, its texts as
/// numbers in the index's string table (equal texts, equal numbers).
struct LibraryPreset {
    std::uint32_t name = 0;
    std::uint32_t description = 0;
    std::array<std::uint32_t, kKnobCount> knobName {};
    std::array<std::uint8_t, kKnobCount> channel {};
    std::array<std::uint8_t, kKnobCount> eventType {};
    std::array<std::uint8_t, kKnobCount> fixedParameter {};
    std::array<std::uint8_t, kKnobCount> initValue {};

    bool operator==(const LibraryPreset&) const = default;
};

/// When a set's files last changed: a set is read again when this differs.
struct SetStamp {
    std::int64_t modified = 0; ///< newest of the .MID, .CFG and .NTS, ns since 1970
    std::uint64_t size = 0; ///< their sizes added up

    bool operator==(const SetStamp&) const = default;
};

/// One preset file of the library. A set that cannot be read keeps its
/// reason and no presets.
struct LibrarySet {
    std::string path;
    SetStamp stamp;
    std::string damage; ///< why the set cannot be read, for the user; empty when it can
    bool initValues = false; ///< holds init values: saved for a zembraDial
    int presetCount = 0; ///< presets the file holds
    /// 1 for each preset 0..127 the file holds; the others keep the values
    /// "Load All Presets" gives them and are not searched.
    std::array<std::uint8_t, kPresetCount> held {};
    std::vector<LibraryPreset> presets; ///< 128 when readable, else none

    bool readable() const { return damage.empty() && presets.size() == kPresetCount; }
};

/// The sets of the library and the texts they share, searchable without
/// reading a file. Set numbers are positions in sets().
class LibraryIndex {
public:
    LibraryIndex();

    const std::vector<LibrarySet>& sets() const { return m_sets; }
    /// The string table: number 0 is the empty text.
    const std::vector<std::string>& strings() const { return m_strings; }
    const std::string& text(std::uint32_t id) const { return m_strings[id]; }

    /// The number of a text, added to the table when new.
    std::uint32_t intern(const std::string& text);
    /// A readable set as the library keeps it; held marks the presets the file holds.
    LibrarySet makeSet(const std::string& path, SetStamp stamp, const PresetSet& presets,
        const std::array<std::uint8_t, kPresetCount>& held, bool initValues);
    /// Puts the set in by its path (replacing one of that path), keeping sets sorted by path.
    void put(LibrarySet set);
    /// The set of that path, if the library has it.
    const LibrarySet* find(const std::string& path) const;
    /// Keeps only the sets for which keep(set) is true.
    template <class Keep> void keepOnly(Keep&& keep)
    {
        std::erase_if(m_sets, [&keep](const LibrarySet& s) { return !keep(s); });
    }
    /// The preset 0..127 of a readable set, whole.
    Preset preset(const LibrarySet& set, int presetIndex) const;

    /// Drops texts no set uses (numbering afresh).
    void compact();
    /// An index read back: nothing when a set refers to a text the table lacks.
    static std::optional<LibraryIndex> fromParts(
        std::vector<std::string> strings, std::vector<LibrarySet> sets);

private:
    std::vector<std::string> m_strings;
    std::unordered_map<std::string, std::uint32_t> m_ids;
    std::vector<LibrarySet> m_sets;
};

} // namespace kestrow
