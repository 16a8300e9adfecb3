#include "core/bank_search.h"
#include "core/library_search.h"
#include "core/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrow;

namespace {

/// Knobs as (preset, knob, channel, event, fixed parameter, name).
struct KnobSpec {
    int preset, knob, channel, event, parameter;
    const char* name;
};

PresetSet searchSet()
{
    PresetSet set = PresetBank().presets;
    set[0].name = "Mixer";
    set[4].name = "FX";
    set[4].description = "Reverb and \xC9GALISER\r\nline two";
    for (const KnobSpec& k : std::initializer_list<KnobSpec> {
             { 0, 0, 3, 0, 7, "Volume Ch 3" }, // Controller 7
             { 0, 1, 0, 0, 7, "Volume Master" },
             { 0, 2, 3, 94, 7, "Rel Vol" }, // relative controller, same parameter
             { 0, 3, 3, 3, 7, "Program" }, // program change: no fixed parameter
             { 4, 0, 3, 82, 12, "Reverb Return" }, // XG Effect: no channel
             { 4, 5, 3, 5, 60, "\xC9galiseur" }, // NoteOn
             { 4, 6, 3, 127, 7, "\x8Atill \xC9" }, // No-Event
         }) {
        Preset& p = set[static_cast<std::size_t>(k.preset)];
        const auto i = static_cast<std::size_t>(k.knob);
        p.channel[i] = k.channel;
        p.eventType[i] = k.event;
        p.fixedParameter[i] = k.parameter;
        p.knobName[i] = k.name;
    }
    return set;
}

TEST(BankSearch, EventNamesAndCodes)
{
    const Catalogue catalogue;
    const std::pair<const char*, std::vector<std::int32_t>> cases[] = { { "5", { 5 } },
        { "127", { 127 } }, { "128", {} }, { "-1", {} }, { "5x", {} }, { "noteon", { 5 } },
        { "CONTROLLER", { 0 } }, { "nrpn8_", { 20, 21, 103 } }, { "", {} }, { "Tuba", {} } };
    for (const auto& [text, codes] : cases)
        EXPECT_EQ(eventTypesNamed(catalogue, text), codes) << text;
}

TEST(BankSearch, CriteriaAndTextsSkipWhatTheEventLacks)
{
    const PresetSet set = searchSet();
    struct Case {
        SearchCriteria criteria;
        std::vector<SearchMatch> matches;
    };
    const Case cases[] = {
        { {}, {} },
        { { .eventTypes = { 0 } }, { { 0, 0 }, { 0, 1 } } },
        // Program change and No-Event hold 7 but take no parameter.
        { { .parameter = 7 }, { { 0, 0 }, { 0, 1 }, { 0, 2 } } },
        // The XG Effect's stored channel 3 is not sent.
        { { .channel = 3 }, { { 0, 0 }, { 0, 2 }, { 0, 3 }, { 4, 5 } } },
        { { .parameter = 7, .channel = 0 }, { { 0, 1 } } },
        { { .eventTypes = { 0, 94 }, .channel = 3 }, { { 0, 0 }, { 0, 2 } } },
        // Text in any case, accented capitals included; the description too.
        { { .text = "\xE9gal" }, { { 4, 5 }, { 4, kDescriptionMatch } } },
        { { .text = "\x9Atill \xE9" }, { { 4, 6 } } },
        { { .text = "reverb" }, { { 4, 0 }, { 4, kDescriptionMatch } } },
        { { .eventTypes = { 82 }, .text = "reverb" }, { { 4, 0 } } },
        { { .parameter = 60, .text = "reverb" }, {} },
        // A name alone: the preset's name, knob names, the description.
        { { .name = "fx" }, { { 4, kPresetNameMatch } } },
        { { .name = "reverb" }, { { 4, 0 }, { 4, kDescriptionMatch } } },
        // With an event criterion: the knob's or its preset's name.
        { { .parameter = 7, .name = "mixer" }, { { 0, 0 }, { 0, 1 }, { 0, 2 } } },
        { { .parameter = 7, .name = "volume" }, { { 0, 0 }, { 0, 1 } } },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(findAssignments(set, cases[i].criteria), cases[i].matches) << "case " << i;
    EXPECT_EQ(lowerCase1252("\xC0\xC9\xDE\xD7\x8A\x8C\x8E\x9F Ab"),
        "\xE0\xE9\xFE\xD7\x9A\x9C\x9E\xFF ab");

    const Catalogue catalogue;
    EXPECT_EQ(sendsText(catalogue, set[0], 3), "Prg-Change, channel 3");
    EXPECT_EQ(sendsText(catalogue, set[4], 0), "XG Effect, Reverb Return");
    EXPECT_EQ(sendsText(catalogue, set[4], 6), "No-Event");
    EXPECT_EQ(matchText(catalogue, set, { 4, kPresetNameMatch }), "preset 5 \"FX\"");
}

TEST(LibrarySearch, FindsWhatFindFindsInTheHeldPresetsAndGroupsEqualSets)
{
    const PresetSet set = searchSet();
    std::array<std::uint8_t, kPresetCount> all {};
    all.fill(1);
    std::array<std::uint8_t, kPresetCount> first {};
    first[0] = 1;
    LibraryIndex index;
    index.put(index.makeSet("d/b.MID", {}, set, first, false));
    index.put(index.makeSet("d/a.MID", {}, set, all, false));
    index.put(index.makeSet("d/c.MID", {}, set, all, true));
    LibrarySet damaged;
    damaged.path = "d/0.MID";
    damaged.damage = "d/0.MID is not a standard MIDI file";
    index.put(damaged);
    PresetSet renamed = set;
    renamed[0].knobName[15] = "Other";
    index.put(index.makeSet("d/e.MID", {}, renamed, all, false));

    for (const SearchCriteria& criteria : { SearchCriteria { .channel = 3 },
             SearchCriteria { .name = "reverb" }, SearchCriteria { .parameter = 7 } }) {
        const std::vector<SearchMatch> inSet = findAssignments(set, criteria);
        std::vector<LibraryMatch> expected;
        for (std::size_t s : { 1, 2, 3, 4 }) { // sorted: 0, a, b, c, e
            for (const SearchMatch& m : inSet) {
                if (s != 2 || m.presetIndex == 0)
                    expected.push_back({ s, m });
            }
        }
        const LibrarySearch found = searchLibrary(index, criteria, 1000);
        EXPECT_EQ(found.matches, expected);
        EXPECT_EQ(found.total, expected.size());
        EXPECT_EQ(searchLibrary(index, criteria, 2).matches,
            std::vector(expected.begin(), expected.begin() + 2));
    }
    EXPECT_EQ(libraryMatchText(Catalogue(), index, { 1, { 4, 5 } }),
        "a.MID: preset 5 \"FX\" / knob 6 \"\xC9galiseur\" / NoteOn, 60:  C  4, channel 3");
    // Init values aside, a and c hold the same; b holds less, e another name.
    EXPECT_EQ(duplicateSets(index), (std::vector<std::vector<std::size_t>> { { 1, 3 } }));
}

} // namespace
