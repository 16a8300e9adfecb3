#include "dump_frame.h"
#include "fakes.h"
#include "reply_collector.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

using testing::frameBytes;

std::vector<std::uint8_t> presetDataReply(std::uint8_t preset, std::uint8_t fill = 0x11)
{
    std::vector<std::uint8_t> bytes = frameBytes({ 0x20, preset, 0x00 });
    for (int i = 0; i < 48; ++i)
        bytes.push_back(static_cast<std::uint8_t>((fill + i) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

MidiEvent channelEvent(std::uint8_t status, std::uint8_t d1, std::uint8_t d2 = 0)
{
    MidiEvent e;
    e.status = status;
    e.data1 = d1;
    e.data2 = d2;
    return e;
}

class ReplyCollectorTest : public ::testing::Test {
protected:
    /// Feeds bytes as F0 events, with `between` fed after byte index `at`.
    std::optional<DeviceReply> feedWith(
        const std::vector<std::uint8_t>& bytes, std::size_t at, const std::vector<MidiEvent>& between)
    {
        std::optional<DeviceReply> last;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (auto r = collector.feedBytes(std::span(&bytes[i], 1)))
                last = r;
            if (i == at)
                for (const MidiEvent& e : between)
                    if (auto r = collector.feed(e))
                        last = r;
        }
        return last;
    }

    ReplyCollector collector;
};

TEST_F(ReplyCollectorTest, WholeAndSplitPresetDataGiveTheSamePayload)
{
    const auto bytes = presetDataReply(3);
    auto whole = collector.feedBytes(bytes);
    ASSERT_TRUE(whole && std::holds_alternative<PresetDataReply>(*whole));
    const auto expected = std::get<PresetDataReply>(*whole);
    EXPECT_EQ(expected.presetIndex, 3);
    EXPECT_EQ(expected.payload[0], 0x11);
    EXPECT_EQ(expected.payload[47], (0x11 + 47) & 0x7F);

    for (std::size_t cut : { std::size_t(1), std::size_t(9), std::size_t(57) }) {
        EXPECT_FALSE(collector.feedBytes(std::span(bytes).first(cut)));
        auto rest = collector.feedBytes(std::span(bytes).subspan(cut));
        ASSERT_TRUE(rest) << cut;
        EXPECT_EQ(std::get<PresetDataReply>(*rest).payload, expected.payload) << cut;
    }
    EXPECT_EQ(collector.replyByteCount(), 0);
}

TEST_F(ReplyCollectorTest, RealtimeInterleavedAnywhereDoesNotShiftTheReply)
{
    const auto bytes = presetDataReply(7);
    MidiEvent clockAsEvent = channelEvent(0xF8, 0);
    MidiEvent clockAsSysExByte = channelEvent(0xF0, 0xF8);
    MidiEvent activeSensing = channelEvent(0xF0, 0xFE);
    for (std::size_t at : { std::size_t(0), std::size_t(6), std::size_t(30) }) {
        auto r = feedWith(bytes, at, { clockAsEvent, clockAsSysExByte, activeSensing });
        ASSERT_TRUE(r && std::holds_alternative<PresetDataReply>(*r)) << at;
        EXPECT_EQ(std::get<PresetDataReply>(*r).presetIndex, 7);
        EXPECT_EQ(std::get<PresetDataReply>(*r).payload[47], (0x11 + 47) & 0x7F);
    }
}

TEST_F(ReplyCollectorTest, ChannelMessagesThroughTheDeviceNeitherShiftNorFillTheBuffer)
{
    // A note before the reply and a controller in the middle.
    auto bytes = presetDataReply(2);
    MidiEvent noteOn = channelEvent(0x90, 60, 100);
    EXPECT_FALSE(collector.feed(noteOn));
    auto r = feedWith(bytes, 20, { channelEvent(0xB0, 7, 127), channelEvent(0xE0, 0, 64) });
    ASSERT_TRUE(r);
    EXPECT_EQ(std::get<PresetDataReply>(*r).presetIndex, 2);

    // Far more than 200 channel events, then a reply: still heard.
    for (int i = 0; i < 1000; ++i)
        collector.feed(channelEvent(0xB0, 1, static_cast<std::uint8_t>(i & 0x7F)));
    auto version = collector.feedBytes(frameBytes({ 0x00, 1, 12, 0xF7 }));
    ASSERT_TRUE(version && std::holds_alternative<VersionReply>(*version));
    EXPECT_EQ(std::get<VersionReply>(*version).second, 12);
}

TEST_F(ReplyCollectorTest, TruncatedOrWrongSizedPresetRepliesAreDropped)
{
    auto bytes = presetDataReply(4);
    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.begin() + 40);
    truncated.push_back(0xF7);
    EXPECT_FALSE(collector.feedBytes(truncated));

    auto longer = bytes;
    longer.insert(longer.end() - 1, 0x01);
    EXPECT_FALSE(collector.feedBytes(longer));

    std::vector<std::uint8_t> init = frameBytes({ 0x21, 4, 0 });
    for (int i = 0; i < 15; ++i)
        init.push_back(1);
    init.push_back(0xF7);
    EXPECT_FALSE(collector.feedBytes(init)); // 25 bytes
    init.insert(init.end() - 1, 0x7F);
    auto whole = collector.feedBytes(init);
    ASSERT_TRUE(whole && std::holds_alternative<InitValuesReply>(*whole));
    EXPECT_EQ(std::get<InitValuesReply>(*whole).payload[15], 0x7F);

    // A message cut off by the start of the next one: only the second counts.
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 30);
    auto next = presetDataReply(5);
    cut.insert(cut.end(), next.begin(), next.end());
    auto r = collector.feedBytes(cut);
    ASSERT_TRUE(r);
    EXPECT_EQ(std::get<PresetDataReply>(*r).presetIndex, 5);
}

TEST_F(ReplyCollectorTest, PresetNumberAbove127IsDroppedAndPayloadIsMasked)
{
    auto bytes = presetDataReply(0);
    bytes[7] = 0x85;
    EXPECT_FALSE(collector.feedBytes(bytes));

    bytes = presetDataReply(1);
    bytes[9] = 0x93;  // stray high bit in a value
    bytes[56] = 0xC4;
    auto r = collector.feedBytes(bytes);
    ASSERT_TRUE(r);
    EXPECT_EQ(std::get<PresetDataReply>(*r).payload[0], 0x13);
    EXPECT_EQ(std::get<PresetDataReply>(*r).payload[47], 0x44);
}

TEST_F(ReplyCollectorTest, OverlongMessageIsDroppedAndTheNextReplyIsHeard)
{
    std::vector<std::uint8_t> big { 0xF0 };
    big.resize(450, 0x01);
    big.push_back(0xF7);
    EXPECT_FALSE(collector.feedBytes(big));
    auto r = collector.feedBytes(frameBytes({ 0x50, 0x05, 0x09, 0xF7 }));
    ASSERT_TRUE(r && std::holds_alternative<ConfigurationReply>(*r));
    EXPECT_EQ(std::get<ConfigurationReply>(*r).channelByte, 0x09);
}

TEST_F(ReplyCollectorTest, ResetForgetsAHalfMessageAndUnknownCommandsAreDropped)
{
    auto bytes = presetDataReply(6);
    collector.feedBytes(std::span(bytes).first(20));
    EXPECT_EQ(collector.replyByteCount(), 20);
    collector.reset();
    EXPECT_FALSE(collector.feedBytes(std::span(bytes).subspan(20)));
    EXPECT_FALSE(collector.feedBytes(frameBytes({ 0x26, 1, 0, 0xF7 })));
    // Foreign header, known command: taken by its command byte.
    std::vector<std::uint8_t> foreign { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x00, 2, 1, 0xF7 };
    auto r = collector.feedBytes(foreign);
    ASSERT_TRUE(r && std::holds_alternative<VersionReply>(*r));
}

} // namespace
} // namespace kestrow
