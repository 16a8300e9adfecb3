#include "core/listings.h"

#include <gtest/gtest.h>

using namespace kestrow;

namespace {

const std::string kBlank24(24, ' ');

TEST(Listings, KnobNamesInTwoColumns)
{
    Preset preset;
    preset.knobName[0] = "Cutoff";
    preset.knobName[7] = "A name much longer than twenty-four";
    preset.knobName[15] = "Last";
    const auto lines = knobNameListing(preset, 6);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "7  : "); // the number is cut to three characters
    EXPECT_EQ(knobNameListing(preset, 9).front(), "10 : ");
    EXPECT_EQ(lines[1], std::string(70, '-'));
    EXPECT_EQ(lines[2], "  1  Cutoff" + std::string(18, ' ') + "    |    9  " + kBlank24 + "    |");
    EXPECT_EQ(
        lines[9], "  8  A name much longer than     |    16 Last" + std::string(20, ' ') + "    |");
    EXPECT_EQ(lines[10], "");
}

TEST(Listings, ParameterLinesUseCellTexts)
{
    const Catalogue catalogue;
    Preset preset = PresetBank().presets[6];
    preset.name = "Pad";
    preset.knobName[0] = "Volume knob";
    preset.channel[0] = 0;
    preset.eventType[0] = 0;
    preset.fixedParameter[0] = 7;
    preset.channel[1] = 10;
    preset.eventType[1] = 64;
    preset.fixedParameter[1] = 38;
    preset.initValue[1] = 99; // not listed
    preset.channel[4] = 99; // damaged values are still listed in their columns
    preset.eventType[4] = 300;
    preset.fixedParameter[4] = -7;
    const auto lines = parameterListing(catalogue, preset, 6);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "7  : Pad");
    EXPECT_EQ(parameterListing(catalogue, preset, 99).front(), "100: Pad");
    EXPECT_EQ(parameterListing(catalogue, preset, 127).front(), "128: Pad");
    EXPECT_EQ(lines[1], std::string(94, '-'));
    EXPECT_EQ(lines[2],
        "  1  Volume knob" + std::string(13, ' ') + " | Master | Controller" + std::string(14, ' ')
            + " |   7:Volume" + std::string(14, ' ') + " |");
    EXPECT_EQ(lines[3],
        "  2  " + kBlank24 + " | 10     | XG-DRUM (SetupNr=Chn) Pi |  38:  D  2 Snare"
            + std::string(8, ' ') + " |");
    EXPECT_EQ(lines[6],
        "  5  " + kBlank24 + " |        | " + std::string(24, '*')
            + " | *** -7 (0xFFFFFFF9) ***  |");
    EXPECT_EQ(lines[17],
        "  16 " + kBlank24 + " | *****  | No-Event                 | " + std::string(24, '*')
            + " |");
    EXPECT_EQ(lines[18], "");
}

} // namespace
