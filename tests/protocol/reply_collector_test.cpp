#include "fakes.h"
#include "protocol/reply_collector.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

    using testing::Bytes;
    using testing::frameBytes;
    using testing::presetData;

    MidiEvent event(std::uint8_t status, std::uint8_t d1, std::uint8_t d2 = 0)
    {
        return MidiEvent { 0, status, d1, d2, 0 };
    }

    TEST(ReplyCollectorTest, RealtimeAndChannelTrafficAnywhereNeitherShiftsNorSplitsTheReply)
    {
        ReplyCollector collector;
        const Bytes bytes = presetData(7);
        const auto whole = collector.feedBytes(bytes);
        ASSERT_TRUE(whole && whole->kind == FrameKind::presetData);
        const DumpFrame expected = whole->frame;
        EXPECT_EQ(expected.firstParam, 7);
        EXPECT_EQ(expected.payload, Bytes(bytes.begin() + 9, bytes.end() - 1));

        const std::vector<std::vector<MidiEvent>> traffic { {},
            { event(0xF8, 0), event(0xF0, 0xF8),
                event(0xF0, 0xFE) }, // clock as event and as SysEx byte
            { event(0x90, 60, 100), event(0xB0, 7, 127), event(0xE0, 0, 64), event(0xC3, 5) } };
        for (std::size_t at : { 0, 1, 6, 9, 30, 56 })
            for (const auto& between : traffic) {
                std::optional<DecodedFrame> last;
                for (std::size_t i = 0; i < bytes.size();
                     ++i) { // one byte per call, the finest split
                    if (auto r = collector.feedBytes(std::span(&bytes[i], 1)))
                        last = r;
                    for (const MidiEvent& e : i == at ? between : std::vector<MidiEvent> {})
                        EXPECT_FALSE(collector.feed(e));
                }
                ASSERT_TRUE(last) << at;
                EXPECT_EQ(last->frame, expected) << at;
                EXPECT_EQ(collector.replyByteCount(), 0);
            }

        // Far more channel events than the buffer holds, then a reply: still heard.
        for (int i = 0; i < 1000; ++i)
            EXPECT_FALSE(collector.feed(event(0xB0, 1, static_cast<std::uint8_t>(i & 0x7F))));
        const auto version = collector.feedBytes(frameBytes({ 0x00, 1, 12, 0xF7 }));
        ASSERT_TRUE(version && version->kind == FrameKind::versionReply);
        EXPECT_EQ(version->frame.secondParam, 12);
    }

    TEST(ReplyCollectorTest, DamagedRepliesAreDroppedAndTheNextOneIsHeard)
    {
        const Bytes good = presetData(4);
        Bytes truncated(good.begin(), good.begin() + 40);
        truncated.push_back(0xF7);
        Bytes longer = good;
        longer.insert(longer.end() - 1, 0x01);
        Bytes shortInit = testing::initValues(4, 1);
        shortInit.erase(shortInit.begin() + 9);
        Bytes highPreset = good;
        highPreset[7] = 0x85;
        Bytes overlong { 0xF0 };
        overlong.resize(450, 0x01);
        overlong.push_back(0xF7);
        // Cut off by the start of the next message: only the second counts.
        Bytes cut(good.begin(), good.begin() + 30);
        cut.insert(cut.end(), good.begin(), good.end());
        for (const Bytes& damaged : { truncated, longer, shortInit, highPreset, overlong,
                 frameBytes({ 0x26, 1, 0, 0xF7 }) }) {
            ReplyCollector collector;
            EXPECT_FALSE(collector.feedBytes(damaged)) << damaged.size();
            const auto next = collector.feedBytes(frameBytes({ 0x50, 0x05, 0x09, 0xF7 }));
            ASSERT_TRUE(next && next->kind == FrameKind::configuration) << damaged.size();
            EXPECT_EQ(next->frame.secondParam, 0x09);
            EXPECT_TRUE(collector.feedBytes(cut));
        }

        // Reopening the input forgets a half message.
        ReplyCollector collector;
        collector.feedBytes(std::span(good).first(20));
        EXPECT_EQ(collector.replyByteCount(), 20);
        collector.reset();
        EXPECT_FALSE(collector.feedBytes(std::span(good).subspan(20)));
    }

    TEST(ReplyCollectorTest, ValuesAreMaskedAndAForeignHeaderIsIgnored)
    {
        ReplyCollector collector;
        Bytes bytes = presetData(1);
        bytes[9] = 0x93; // stray high bits in values
        bytes[56] = 0xC4;
        auto r = collector.feedBytes(bytes);
        ASSERT_TRUE(r && r->kind == FrameKind::presetData);
        EXPECT_EQ(r->frame.payload[0], 0x13);
        EXPECT_EQ(r->frame.payload[47], 0x44); // every kind of reply goes through one mask

        // Another maker's SysEx with the device's command bytes is not a reply.
        EXPECT_FALSE(
            collector.feedBytes(Bytes { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x00, 2, 1, 0xF7 }));
        for (std::size_t at : { 1, 2, 3, 4, 5 }) {
            bytes = presetData(1);
            bytes[at] ^= 0x01;
            EXPECT_FALSE(collector.feedBytes(bytes)) << at;
        }
    }

} // namespace
} // namespace kestrow
