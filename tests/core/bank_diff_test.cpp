#include "core/bank_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrow;

namespace {

TEST(BankDiff, DifferencesListedAndTakenOver)
{
    PresetSet ours = PresetBank().presets;
    ours[2].name = "Lead";
    ours[2].channel[6] = 2;
    ours[2].description = "one";
    PresetSet theirs = ours;
    EXPECT_TRUE(compareSets(ours, theirs).empty());
    theirs[2].name = "Lead \"2\"";
    theirs[2].initValue[4] = 64;
    theirs[2].channel[6] = 3; // knob 7 is No-Event: its channel is not shown
    theirs[2].description = "one\r\ntwo";
    theirs[127].knobName[0] = "K";

    const std::vector<PresetDifference> differences = compareSets(ours, theirs);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(differences[1].presetIndex, 127);
    EXPECT_EQ(
        differences[0].knobFields[6], (std::array<bool, 5> { false, true, false, false, false }));
    const std::vector<std::string> expected {
        "preset 3 / name: \"Lead\" | \"Lead \\\"2\\\"\"",
        "preset 3 / knob 5 init value: \"0\" | \"64\"",
        "preset 3 / knob 7 channel: \"*****\" | \"*****\" (2 | 3)",
        "preset 3 / description: \"one\" | \"one\\r\\ntwo\"",
        "preset 128 / knob 1 name: \"\" | \"K\"",
    };
    EXPECT_EQ(differenceListing(Catalogue(), ours, theirs, differences), expected);

    EXPECT_FALSE(takeTheirs(ours, theirs, 128));
    EXPECT_FALSE(takeTheirs(ours, theirs, 4)); // already equal
    EXPECT_TRUE(takeTheirs(ours, theirs, 127));
    EXPECT_EQ(ours[127], theirs[127]);
    EXPECT_EQ(compareSets(ours, theirs), (std::vector { differences[0] }));
}

} // namespace
