#include "core/library_search.h"

#include "core/text_codec.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

namespace kestrow {

namespace {

    /// For every text of the table, whether it holds the lowered part (all
    /// false for an empty part: nothing is asked of it then).
    std::vector<char> textsHolding(const LibraryIndex& index, const std::string& part)
    {
        std::vector<char> holds(index.strings().size(), 0);
        if (part.empty())
            return holds;
        const std::string lowered = lowerCase1252(part);
        for (std::size_t i = 0; i < holds.size(); ++i)
            holds[i] = lowerCase1252(index.strings()[i]).find(lowered) != std::string::npos;
        return holds;
    }

    /// A preset of the library as matchPreset asks it.
    struct LibraryView {
        const LibraryPreset& preset;
        const std::vector<char>& text;
        const std::vector<char>& name;

        static std::size_t at(int k) { return static_cast<std::size_t>(k); }
        std::int32_t eventType(int k) const { return preset.eventType[at(k)]; }
        std::int32_t fixedParameter(int k) const { return preset.fixedParameter[at(k)]; }
        std::int32_t channel(int k) const { return preset.channel[at(k)]; }
        bool knobText(int k) const { return text[preset.knobName[at(k)]] != 0; }
        bool descriptionText() const { return text[preset.description] != 0; }
        bool presetName() const { return name[preset.name] != 0; }
        bool knobName(int k) const { return name[preset.knobName[at(k)]] != 0; }
        bool descriptionName() const { return name[preset.description] != 0; }
    };

} // namespace

LibrarySearch searchLibrary(
    const LibraryIndex& index, const SearchCriteria& criteria, std::size_t limit)
{
    LibrarySearch found;
    if (criteria.empty())
        return found;
    const std::vector<char> text = textsHolding(index, criteria.text);
    const std::vector<char> name = textsHolding(index, criteria.name);
    const std::vector<LibrarySet>& sets = index.sets();
    for (std::size_t s = 0; s < sets.size(); ++s) {
        const LibrarySet& set = sets[s];
        if (!set.readable())
            continue;
        const auto add = [&found, s, limit](const SearchMatch& match) {
            if (found.total++ < limit)
                found.matches.push_back({ s, match });
        };
        for (int p = 0; p < kPresetCount; ++p) {
            const auto at = static_cast<std::size_t>(p);
            if (set.held[at])
                matchPreset(criteria, LibraryView { set.presets[at], text, name }, p, add);
        }
    }
    return found;
}

std::string libraryMatchText(
    const Catalogue& catalogue, const LibraryIndex& index, const LibraryMatch& match)
{
    if (match.set >= index.sets().size() || !index.sets()[match.set].readable()
        || match.at.presetIndex < 0 || match.at.presetIndex >= kPresetCount)
        return {};
    const LibrarySet& set = index.sets()[match.set];
    return std::filesystem::path(set.path).filename().string() + ": "
        + matchText(catalogue, index.preset(set, match.at.presetIndex), match.at);
}

std::vector<std::vector<std::size_t>> duplicateSets(const LibraryIndex& index)
{
    const std::vector<LibrarySet>& sets = index.sets();
    // Equal texts have equal numbers, so equal records are equal presets.
    const auto before = [&sets](std::size_t a, std::size_t b) {
        const LibrarySet& x = sets[a];
        const LibrarySet& y = sets[b];
        if (x.held != y.held)
            return x.held < y.held;
        return std::lexicographical_compare(x.presets.begin(), x.presets.end(), y.presets.begin(),
            y.presets.end(), [](const LibraryPreset& l, const LibraryPreset& r) {
                return std::tie(l.name, l.description, l.knobName, l.channel, l.eventType,
                           l.fixedParameter, l.initValue)
                    < std::tie(r.name, r.description, r.knobName, r.channel, r.eventType,
                        r.fixedParameter, r.initValue);
            });
    };
    std::vector<std::size_t> order;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        if (sets[s].readable())
            order.push_back(s);
    }
    std::stable_sort(order.begin(), order.end(), before);
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && !before(order[i], order[j]))
            ++j;
        if (j - i > 1) {
            std::vector<std::size_t> group(order.begin() + static_cast<std::ptrdiff_t>(i),
                order.begin() + static_cast<std::ptrdiff_t>(j));
            std::sort(group.begin(), group.end());
            groups.push_back(std::move(group));
        }
        i = j;
    }
    return groups;
}

} // namespace kestrow
