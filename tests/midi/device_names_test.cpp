#include "platform/mididrv/device_names.h"

#include <gtest/gtest.h>

using kestrow::mididrv::describe;
using kestrow::mididrv::uniqueNames;

TEST(DeviceNames, RepeatsGetSuffixesAndEverythingFitsTheBuffer)
{
    std::string longName(40, 'A');
    EXPECT_EQ(describe({ "USB MIDI", "USB MIDI", "USB MIDI", longName, longName, "", "" }),
        (std::vector<std::string> { "USB MIDI", "USB MIDI #2", "USB MIDI #3", std::string(31, 'A'),
            std::string(28, 'A') + " #2", "MIDI port", "MIDI port #2" }));
    // Whole names are never cut, and numbered the same way.
    EXPECT_EQ(uniqueNames({ "USB MIDI", longName, "USB MIDI", longName, "" }),
        (std::vector<std::string> {
            "USB MIDI", longName, "USB MIDI #2", longName + " #2", "MIDI port" }));
}

TEST(DeviceNames, CutsNeverSplitAUtf8Character)
{
    // 30 ASCII bytes and then a two-byte character: byte 31 would be its half.
    std::string name = std::string(30, 'x') + "\xC3\xA9" + "tail";
    EXPECT_EQ(describe({ name }), std::vector<std::string> { std::string(30, 'x') });
}
