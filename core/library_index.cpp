#include "core/library_index.h"

#include <algorithm>

namespace kestrow {

namespace {

    std::uint8_t byteOf(std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

    bool byPath(const LibrarySet& a, const LibrarySet& b) { return a.path < b.path; }

    /// Calls f with every text number the set uses, by reference.
    template <class F> void eachText(LibrarySet& set, F&& f)
    {
        for (LibraryPreset& p : set.presets) {
            f(p.name);
            f(p.description);
            for (std::uint32_t& id : p.knobName)
                f(id);
        }
    }

} // namespace

LibraryIndex::LibraryIndex() { intern({}); }

std::uint32_t LibraryIndex::intern(const std::string& text)
{
    const auto [at, added] = m_ids.try_emplace(text, static_cast<std::uint32_t>(m_strings.size()));
    if (added)
        m_strings.push_back(text);
    return at->second;
}

LibrarySet LibraryIndex::makeSet(const std::string& path, SetStamp stamp, const PresetSet& presets,
    const std::array<std::uint8_t, kPresetCount>& held, bool initValues)
{
    LibrarySet set;
    set.path = path;
    set.stamp = stamp;
    set.initValues = initValues;
    set.held = held;
    set.presetCount = static_cast<int>(std::count(held.begin(), held.end(), 1));
    set.presets.reserve(kPresetCount);
    for (const Preset& p : presets) {
        LibraryPreset& kept = set.presets.emplace_back();
        kept.name = intern(p.name);
        kept.description = intern(p.description);
        for (std::size_t k = 0; k < kKnobCount; ++k) {
            kept.knobName[k] = intern(p.knobName[k]);
            kept.channel[k] = byteOf(p.channel[k]);
            kept.eventType[k] = byteOf(p.eventType[k]);
            kept.fixedParameter[k] = byteOf(p.fixedParameter[k]);
            kept.initValue[k] = byteOf(p.initValue[k]);
        }
    }
    return set;
}

void LibraryIndex::put(LibrarySet set)
{
    const auto at = std::lower_bound(m_sets.begin(), m_sets.end(), set, byPath);
    if (at != m_sets.end() && at->path == set.path)
        *at = std::move(set);
    else
        m_sets.insert(at, std::move(set));
}

const LibrarySet* LibraryIndex::find(const std::string& path) const
{
    LibrarySet probe;
    probe.path = path;
    const auto at = std::lower_bound(m_sets.begin(), m_sets.end(), probe, byPath);
    return at != m_sets.end() && at->path == path ? &*at : nullptr;
}

Preset LibraryIndex::preset(const LibrarySet& set, int presetIndex) const
{
    Preset out;
    const LibraryPreset& p = set.presets.at(static_cast<std::size_t>(presetIndex));
    out.name = text(p.name);
    out.description = text(p.description);
    for (std::size_t k = 0; k < kKnobCount; ++k) {
        out.knobName[k] = text(p.knobName[k]);
        out.channel[k] = p.channel[k];
        out.eventType[k] = p.eventType[k];
        out.fixedParameter[k] = p.fixedParameter[k];
        out.initValue[k] = p.initValue[k];
    }
    return out;
}

void LibraryIndex::compact()
{
    std::vector<std::string> old;
    old.swap(m_strings);
    m_ids.clear();
    intern({});
    for (LibrarySet& set : m_sets)
        eachText(set, [this, &old](std::uint32_t& id) { id = intern(old[id]); });
}

std::optional<LibraryIndex> LibraryIndex::fromParts(
    std::vector<std::string> strings, std::vector<LibrarySet> sets)
{
    if (strings.empty() || !strings.front().empty())
        return std::nullopt;
    bool whole = true;
    for (LibrarySet& set : sets) {
        whole = whole && (set.presets.empty() || set.presets.size() == kPresetCount);
        eachText(
            set, [&whole, &strings](std::uint32_t& id) { whole = whole && id < strings.size(); });
    }
    if (!whole || !std::is_sorted(sets.begin(), sets.end(), byPath))
        return std::nullopt;
    LibraryIndex index;
    index.m_strings = std::move(strings);
    index.m_ids.clear();
    for (std::size_t i = 0; i < index.m_strings.size(); ++i)
        index.m_ids.try_emplace(index.m_strings[i], static_cast<std::uint32_t>(i));
    index.m_sets = std::move(sets);
    return index;
}

} // namespace kestrow
