#include "core/knob_learn.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace kestrow {
namespace {

    struct Knob {
        int channel;
        int eventType;
        int parameter;
    };

    Preset presetOf(const std::vector<Knob>& knobs)
    {
        Preset preset;
        for (int k = 0; k < kKnobCount; ++k) {
            const auto i = static_cast<std::size_t>(k);
            const Knob knob = i < knobs.size() ? knobs[i] : Knob { k + 1, kNoEvent, 0 };
            preset.channel[i] = knob.channel;
            preset.eventType[i] = knob.eventType;
            preset.fixedParameter[i] = knob.parameter;
        }
        return preset;
    }

    struct Bytes {
        std::uint8_t status, data1, data2;
    };

    struct Case {
        const char* what;
        std::vector<Bytes> stream;
        int expected; ///< knob 1..16 the last event selects, 0 for none
    };

    TEST(KnobLearnTest, PicksTheKnobThatSendsTheLastEventOfAStream)
    {
        // Knob k+1 of this preset; master channel 3.
        const Preset preset = presetOf({
            { 1, 0, 7 }, // 1: Controller 7, channel 1
            { 0, 0, 7 }, // 2: Controller 7 on Master (3)
            { 2, 5, 60 }, // 3: NoteOn 60, channel 2
            { 2, 6, 60 }, // 4: NoteOff 60, channel 2
            { 1, 1, 0 }, // 5: PitchBend, channel 1
            { 1, 16, 5 }, // 6: NRPN0_MSB, parameter 5
            { 1, 17, 5 }, // 7: NRPN0_LSB, parameter 5
            { 1, 20, 3 }, // 8: NRPN8_LSB, parameter 3
            { 1, 8, 0 }, // 9: RPN0_MSB
            { 1, 103, 9 }, // 10: NRPN8_IncDec, parameter 9
            { 1, 0, 6 }, // 11: Controller 6 (data entry) itself
            { 4, 3, 0 }, // 12: Prg-Change, channel 4
            { 4, 82, 1 }, // 13: XG Effect (SysEx): never matched
            { 1, 0, 7 }, // 14: same as knob 1
        });
        const std::vector<Case> cases {
            { "controller on its channel", { { 0xB0, 7, 100 } }, 1 },
            { "first of two equal knobs", { { 0xB0, 7, 0 } }, 1 },
            { "Master knob on the master channel", { { 0xB2, 7, 100 } }, 2 },
            { "controller on no knob's channel", { { 0xB5, 7, 100 } }, 0 },
            { "note on", { { 0x91, 60, 90 } }, 3 },
            { "note on of velocity 0 is the note off", { { 0x91, 60, 0 } }, 3 },
            { "note off", { { 0x81, 60, 0 } }, 4 },
            { "other note", { { 0x91, 61, 90 } }, 0 },
            { "pitch bend", { { 0xE0, 0, 64 } }, 5 },
            { "NRPN 0/5 data MSB", { { 0xB0, 99, 0 }, { 0xB0, 98, 5 }, { 0xB0, 6, 1 } }, 6 },
            { "NRPN 0/5 data LSB", { { 0xB0, 99, 0 }, { 0xB0, 98, 5 }, { 0xB0, 38, 1 } }, 7 },
            { "selection kept for later data",
                { { 0xB0, 99, 0 }, { 0xB0, 98, 5 }, { 0xB0, 6, 1 }, { 0xB0, 6, 2 } }, 6 },
            { "NRPN8_LSB takes data LSB", { { 0xB0, 99, 8 }, { 0xB0, 98, 3 }, { 0xB0, 38, 9 } },
                8 },
            { "RPN 0", { { 0xB0, 101, 0 }, { 0xB0, 100, 0 }, { 0xB0, 6, 2 } }, 9 },
            { "RPN 0 selected, NRPN number 0/0 is not",
                { { 0xB0, 99, 0 }, { 0xB0, 98, 0 }, { 0xB0, 101, 0 }, { 0xB0, 100, 0 },
                    { 0xB0, 99, 0 }, { 0xB0, 6, 2 } },
                11 },
            { "NRPN increment", { { 0xB0, 99, 8 }, { 0xB0, 98, 9 }, { 0xB0, 97, 0 } }, 10 },
            { "data entry without selection is the plain controller", { { 0xB0, 6, 2 } }, 11 },
            { "selection on another channel does not count",
                { { 0xB1, 99, 0 }, { 0xB1, 98, 5 }, { 0xB0, 6, 1 } }, 11 },
            { "program change", { { 0xC3, 12, 0 } }, 12 },
            { "selection controller alone selects nothing", { { 0xB0, 99, 0 } }, 0 },
            { "system message", { { 0xF8, 0, 0 } }, 0 },
        };
        for (const Case& c : cases) {
            KnobLearner learner;
            std::optional<int> found;
            for (const Bytes& b : c.stream)
                found = learner.feed(preset, 3, b.status, b.data1, b.data2);
            EXPECT_EQ(found ? *found + 1 : 0, c.expected) << c.what;
        }
    }

    TEST(KnobLearnTest, MasterKnobsNeedAKnownMasterChannel)
    {
        const Preset preset = presetOf({ { 0, 0, 7 } });
        KnobLearner learner;
        EXPECT_EQ(learner.feed(preset, 5, 0xB4, 7, 1), std::optional<int>(0));
        EXPECT_EQ(learner.feed(preset, 0, 0xB4, 7, 1), std::nullopt);
        EXPECT_EQ(learner.feed(preset, 5, 0xB0, 7, 1), std::nullopt);
    }

} // namespace
} // namespace kestrow
