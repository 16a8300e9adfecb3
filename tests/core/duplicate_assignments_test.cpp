#include "core/duplicate_assignments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrow;

namespace {

void setKnob(Preset& p, int knob, int channel, int event, int parameter)
{
    const auto k = static_cast<std::size_t>(knob);
    p.channel[k] = channel;
    p.eventType[k] = event;
    p.fixedParameter[k] = parameter;
}

TEST(DuplicateAssignments, SameEventAndGroups)
{
    struct Case {
        int channelA, eventA, parameterA, channelB, eventB, parameterB, master;
        bool same;
    };
    const Case cases[] = {
        { 3, 0, 7, 3, 0, 7, 0, true },
        { 3, 0, 7, 4, 0, 7, 0, false },
        { 3, 0, 7, 3, 0, 8, 0, false },
        { 3, 0, 7, 3, 94, 7, 0, false }, // relative controller: another event
        { 0, 0, 7, 0, 0, 7, 0, true }, // both on the master channel
        { 0, 0, 7, 5, 0, 7, 0, false }, // master channel unknown
        { 0, 0, 7, 5, 0, 7, 5, true },
        { 0, 0, 7, 5, 0, 7, 6, false },
        { 3, 3, 7, 3, 3, 9, 0, true }, // program change takes no parameter
        { 3, 82, 12, 9, 82, 12, 0, true }, // XG Effect sends no channel
        { 3, 82, 12, 3, 82, 13, 0, false },
        { 3, 127, 0, 3, 127, 0, 0, false }, // No-Event sends nothing
        { 3, 8, 1, 3, 8, 2, 0, true }, // RPN0_MSB: the number is the event's own
        { 3, 14, 1, 3, 14, 2, 0, false }, // RPN127_MSB: the parameter picks the LSB
        { 3, 14, 1, 3, 14, 1, 0, true },
        { 3, 18, 5, 3, 18, 6, 0, false }, // NRPN1_MSB: likewise
        { 3, 18, 5, 4, 18, 5, 0, false },
        { 3, 16, 5, 3, 17, 5, 0, false },
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        Preset p = PresetBank().presets[0];
        setKnob(p, 2, c.channelA, c.eventA, c.parameterA);
        setKnob(p, 9, c.channelB, c.eventB, c.parameterB);
        EXPECT_EQ(sendSameEvent(p, 2, 9, c.master), c.same) << "case " << i;
        EXPECT_EQ(duplicateKnobs(p, c.master).empty(), !c.same) << "case " << i;
    }

    PresetSet set = PresetBank().presets;
    for (int k : { 0, 3, 7 })
        setKnob(set[0], k, 1, 5, 60);
    for (int k : { 1, 2 })
        setKnob(set[0], k, 0, 0, 74);
    setKnob(set[9], 15, 16, 0, 1);
    setKnob(set[9], 14, 16, 0, 1);
    const std::vector<PresetDuplicates> expected {
        { 0, { { 0, 3, 7 }, { 1, 2 } } },
        { 9, { { 14, 15 } } },
    };
    EXPECT_EQ(duplicateAssignments(set, kMasterChannelUnknown), expected);
}

} // namespace
