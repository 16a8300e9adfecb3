#include "dump_encoder.h"
#include "dump_frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrow {
namespace {

class DumpEncoderTest : public ::testing::Test {
protected:
    DumpEncoderTest()
    {
        // Distinct values per column and knob so a swapped column shows.
        for (int p = 0; p < kPresetCount; ++p)
            for (int k = 0; k < kKnobCount; ++k) {
                Preset& preset = bank.presets[static_cast<std::size_t>(p)];
                preset.channel[k] = k;
                preset.eventType[k] = (p + k) % 128;
                preset.fixedParameter[k] = 100 + k;
                preset.initValue[k] = 50 + k;
            }
    }

    std::vector<std::uint8_t> bytes(int count) const
    {
        return sysExBytes(std::span<const MidiEvent>(buffer).first(static_cast<std::size_t>(count)));
    }

    PresetBank bank;
    std::vector<MidiEvent> buffer = std::vector<MidiEvent>(kSendBufferSize);
};

TEST_F(DumpEncoderTest, LastPresetOfAControlIsDataThenTrailerAllAtTimeZero)
{
    const int count = encodePreset(bank, DeviceVariant::zembraControl, 127, {}, 0, buffer, 0);
    ASSERT_EQ(count, 68);

    std::vector<std::uint8_t> expected { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x20, 0x7F, 0x00 };
    for (int k = 0; k < 16; ++k)
        expected.push_back(static_cast<std::uint8_t>(k));
    for (int k = 0; k < 16; ++k)
        expected.push_back(static_cast<std::uint8_t>((127 + k) % 128));
    for (int k = 0; k < 16; ++k)
        expected.push_back(static_cast<std::uint8_t>(100 + k));
    expected.push_back(0xF7);
    for (std::uint8_t b : { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x30, 0x7F, 0x00, 0xF7 })
        expected.push_back(b);
    EXPECT_EQ(bytes(count), expected);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(buffer[static_cast<std::size_t>(i)].status, 0xF0) << i;
        EXPECT_EQ(buffer[static_cast<std::size_t>(i)].time, 0u) << i;
    }
}

struct LiveCase {
    DeviceVariant variant;
    bool withData;
    bool withInit;
    std::vector<std::uint8_t> commands; ///< command byte of each message, in order
};

class LiveSendLayout : public DumpEncoderTest, public ::testing::WithParamInterface<LiveCase> { };

TEST_P(LiveSendLayout, MessagesPerVariantAndMode)
{
    const LiveCase& c = GetParam();
    const int count = encodePreset(bank, c.variant, 9, { c.withInit, c.withData, true }, 0, buffer, 0);
    std::vector<std::uint8_t> commands;
    for (int at = 0; at < count;) {
        ASSERT_EQ(buffer[static_cast<std::size_t>(at)].data1, 0xF0);
        commands.push_back(buffer[static_cast<std::size_t>(at + 6)].data1);
        EXPECT_EQ(buffer[static_cast<std::size_t>(at + 7)].data1, 9);
        while (buffer[static_cast<std::size_t>(at)].data1 != 0xF7)
            ++at;
        ++at;
    }
    EXPECT_EQ(commands, c.commands);
}

INSTANTIATE_TEST_SUITE_P(Variants, LiveSendLayout,
    ::testing::Values(LiveCase { DeviceVariant::zembraControl, true, true, { 0x20, 0x30 } },
        LiveCase { DeviceVariant::zembraFader, true, false, { 0x20, 0x30 } },
        LiveCase { DeviceVariant::zembraControl, false, true, {} },
        LiveCase { DeviceVariant::zembraFader, false, true, {} },
        LiveCase { DeviceVariant::zembraDial, true, true, { 0x21, 0x20 } },
        LiveCase { DeviceVariant::zembraDial, true, false, { 0x20 } },
        LiveCase { DeviceVariant::zembraDial, false, true, { 0x21 } }));

TEST_F(DumpEncoderTest, DialDumpOfAllPresetsCarriesTrailersAndTimes)
{
    const int count = encodeAllPresets(
        bank, DeviceVariant::zembraDial, { true, true, false }, buffer);
    ASSERT_EQ(count, 12032);
    for (int p = 0; p < kPresetCount; ++p) {
        const int base = p * 94;
        const std::uint32_t dataTime = p == 0 ? 0 : 1280;
        for (int i = 0; i < 84; ++i)
            ASSERT_EQ(buffer[static_cast<std::size_t>(base + i)].time, dataTime) << p << ":" << i;
        for (int i = 84; i < 94; ++i)
            ASSERT_EQ(buffer[static_cast<std::size_t>(base + i)].time, 0u) << p << ":" << i;
        EXPECT_EQ(buffer[static_cast<std::size_t>(base + 6)].data1, 0x21);
        EXPECT_EQ(buffer[static_cast<std::size_t>(base + 26 + 6)].data1, 0x20);
        EXPECT_EQ(buffer[static_cast<std::size_t>(base + 84 + 6)].data1, 0x30);
        EXPECT_EQ(buffer[static_cast<std::size_t>(base + 84 + 7)].data1, p);
        // init values payload: knob k at byte 9 + k
        EXPECT_EQ(buffer[static_cast<std::size_t>(base + 9 + 15)].data1, 65);
    }
}

TEST_F(DumpEncoderTest, MaskedDumpGivesTheFirstEncodedPresetTime1280UnlessItIsPresetZero)
{
    bank.presetMask.fill(0);
    bank.presetMask[5] = 1;
    bank.presetMask[7] = 1;
    int count = encodeMaskedPresets(bank, DeviceVariant::zembraFader, {}, buffer);
    ASSERT_EQ(count, 2 * 68);
    EXPECT_EQ(buffer[0].time, 1280u);
    EXPECT_EQ(buffer[7].data1, 5);
    EXPECT_EQ(buffer[68 + 7].data1, 7);

    bank.presetMask.fill(0);
    bank.presetMask[0] = 1;
    count = encodeMaskedPresets(bank, DeviceVariant::zembraFader, {}, buffer);
    ASSERT_EQ(count, 68);
    EXPECT_EQ(buffer[0].time, 0u);
}

TEST_F(DumpEncoderTest, SeparateBuffersDoNotDisturbEachOther)
{
    std::vector<MidiEvent> own(kSendBufferSize);
    const int live = encodePreset(bank, DeviceVariant::zembraDial, 3, {}, 0, buffer, 0);
    const std::vector<std::uint8_t> before = bytes(live);
    bank.presetMask.fill(1);
    encodeMaskedPresets(bank, DeviceVariant::zembraDial, { true, true, false }, own);
    EXPECT_EQ(bytes(live), before);
}

TEST_F(DumpEncoderTest, PresetThatDoesNotFitAppendsNothing)
{
    std::vector<MidiEvent> small(100);
    int at = encodePreset(bank, DeviceVariant::zembraControl, 0, {}, 0, small, 0);
    EXPECT_EQ(at, 68);
    EXPECT_EQ(encodePreset(bank, DeviceVariant::zembraControl, 1, {}, 0, small, at), 68);
    EXPECT_EQ(encodePreset(bank, DeviceVariant::zembraControl, 1, { false, false, true }, 0, small, 0), 0);
}

TEST(DumpFrameMessages, ThruSettingsAndProgramChangeKeepTheChannelInRange)
{
    EXPECT_EQ(thruSettingsMessage(0x05, 10).bytes(),
        (std::vector<std::uint8_t> { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x50, 0x05, 0x09, 0xF7 }));
    EXPECT_EQ(thruSettingsMessage(0x00, 1).bytes()[7], 0x00);
    EXPECT_EQ(thruSettingsMessage(0x00, 1).bytes()[8], 0x00);
    EXPECT_EQ(thruSettingsMessage(0x07, 0).bytes()[8], 0x00);
    EXPECT_EQ(thruSettingsMessage(0x07, 40).bytes()[8], 0x0F);
    EXPECT_EQ(programChangeEvent(16, 3).status, 0xCF);
    EXPECT_EQ(programChangeEvent(0, 3).status, 0xC0);
    EXPECT_EQ(programChangeEvent(1, 127).data1, 127);
}

} // namespace
} // namespace kestrow
