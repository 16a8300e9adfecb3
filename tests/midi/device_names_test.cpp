#include "platform/mididrv/device_names.h"

#include <gtest/gtest.h>

using kestrow::mididrv::describe;
using kestrow::mididrv::uniqueNames;

TEST(DeviceNames, RepeatsGetSuffixesAndEverythingFitsTheBuffer)
{
    std::string longName(40, 'A');
    auto names = describe({ "USB MIDI", "USB MIDI", "USB MIDI", longName, longName, "", "" });
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names[0], "USB MIDI");
    EXPECT_EQ(names[1], "USB MIDI #2");
    EXPECT_EQ(names[2], "USB MIDI #3");
    EXPECT_EQ(names[3], std::string(31, 'A'));
    EXPECT_EQ(names[4], std::string(28, 'A') + " #2");
    EXPECT_EQ(names[5], "MIDI port");
    EXPECT_EQ(names[6], "MIDI port #2");
    // Whole names are never cut, and numbered the same way.
    EXPECT_EQ(uniqueNames({ "USB MIDI", longName, "USB MIDI", longName, "" }),
        (std::vector<std::string> {
            "USB MIDI", longName, "USB MIDI #2", longName + " #2", "MIDI port" }));
}

TEST(DeviceNames, CutsNeverSplitAUtf8Character)
{
    // 30 ASCII bytes and then a two-byte character: byte 31 would be its half.
    std::string name = std::string(30, 'x') + "\xC3\xA9" + "tail";
    auto names = describe({ name });
    EXPECT_EQ(names[0], std::string(30, 'x'));
}
