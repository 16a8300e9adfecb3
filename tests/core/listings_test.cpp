#include "listings.h"

#include <gtest/gtest.h>

using namespace kestrow;

namespace {

class ListingsTest : public ::testing::Test {
protected:
    PresetBank bank;
    Catalogue catalogue;
    Preset& preset = bank.presets[6];
};

TEST_F(ListingsTest, HeaderNumberIsCutToThreeCharacters)
{
    preset.name = "Pad";
    EXPECT_EQ(knobNameListing(preset, 6).front(), "7  : Pad");
    EXPECT_EQ(knobNameListing(preset, 9).front(), "10 : Pad");
    EXPECT_EQ(parameterListing(catalogue, preset, 99).front(), "100: Pad");
    EXPECT_EQ(parameterListing(catalogue, preset, 127).front(), "128: Pad");
}

TEST_F(ListingsTest, KnobNameLines)
{
    preset.knobName[0] = "Cutoff";
    preset.knobName[7] = "A name much longer than twenty-four";
    preset.knobName[15] = "Last";
    const auto lines = knobNameListing(preset, 6);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[1], std::string(70, '-'));
    EXPECT_EQ(lines[2], "  1  Cutoff" + std::string(18, ' ') + "    |    9  " + std::string(24, ' ')
                  + "    |");
    EXPECT_EQ(lines[9], "  8  A name much longer than     |    16 Last" + std::string(20, ' ')
                  + "    |");
    EXPECT_EQ(lines[10], "");
    for (std::size_t i = 2; i < 10; ++i)
        EXPECT_EQ(lines[i].size(), 70u) << i;
}

TEST_F(ListingsTest, ParameterLinesUseCellTexts)
{
    preset.knobName[0] = "Volume knob";
    preset.channel[0] = 0;
    preset.eventType[0] = 0;
    preset.fixedParameter[0] = 7;
    preset.eventType[1] = 64;
    preset.fixedParameter[1] = 38;
    preset.channel[1] = 10;
    preset.initValue[1] = 99; // not listed
    const auto lines = parameterListing(catalogue, preset, 6);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[1], std::string(94, '-'));
    EXPECT_EQ(lines[2], "  1  Volume knob" + std::string(13, ' ') + " | Master | Controller"
                            + std::string(14, ' ') + " |   7:Volume" + std::string(14, ' ') + " |");
    // event name and drum text cut to 24
    EXPECT_EQ(lines[3], "  2  " + std::string(24, ' ') + " | 10     | XG-DRUM (SetupNr=Chn) Pi |  38:  D  2 Snare"
                            + std::string(8, ' ') + " |");
    // a new knob: hidden channel, No-Event, 36 asterisks cut to 24
    EXPECT_EQ(lines[17], "  16 " + std::string(24, ' ') + " | *****  | No-Event                 | "
                             + std::string(24, '*') + " |");
    EXPECT_EQ(lines[18], "");
    for (std::size_t i = 2; i < 18; ++i)
        EXPECT_EQ(lines[i].size(), 94u) << i;
}

TEST_F(ListingsTest, DamagedValuesStillListed)
{
    preset.channel[4] = 99;
    preset.eventType[4] = 300;
    preset.fixedParameter[4] = -7;
    const auto lines = parameterListing(catalogue, preset, 6);
    EXPECT_EQ(lines[6].size(), 94u);
    EXPECT_NE(lines[6].find(std::string(24, '*')), std::string::npos);
}

} // namespace
