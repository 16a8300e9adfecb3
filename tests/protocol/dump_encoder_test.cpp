#include "fakes.h"
#include "protocol/dump_encoder.h"

#include <gtest/gtest.h>

#include <tuple>

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
        const MidiEvent& at(int i) const { return buffer.at(static_cast<std::size_t>(i)); }

        PresetBank bank;
        std::vector<MidiEvent> buffer = std::vector<MidiEvent>(kSendBufferSize);
    };

    TEST_F(DumpEncoderTest, LastPresetOfAControlIsDataThenTrailerAllAtTimeZero)
    {
        const int count = encodePreset(bank, DeviceVariant::zembraControl, 127, {}, 0, buffer, 0);
        ASSERT_EQ(count, 68);
        testing::Bytes expected = testing::frameBytes({ 0x20, 0x7F, 0x00 });
        for (int k = 0; k < 48; ++k) // channels, event types (127 + knob) % 128, fixed parameters
            expected.push_back(static_cast<std::uint8_t>(k < 16 ? k
                    : k < 32                                    ? (111 + k) % 128
                                                                : 68 + k));
        expected.push_back(0xF7);
        const testing::Bytes trailer = testing::frameBytes({ 0x30, 0x7F, 0x00, 0xF7 });
        expected.insert(expected.end(), trailer.begin(), trailer.end());
        EXPECT_EQ(sysExBytes(std::span(buffer).first(68)), expected);
        EXPECT_TRUE(std::ranges::all_of(std::span(buffer).first(68),
            [](const MidiEvent& e) { return e.status == 0xF0 && e.time == 0; }));
    }

    TEST_F(DumpEncoderTest, LiveSendMessagesPerVariantAndMode)
    {
        struct Case {
            DeviceVariant variant;
            bool withData, withInit;
            std::vector<int> commands; ///< command byte of each message, in order
        };
        const Case cases[] { { DeviceVariant::zembraControl, true, true, { 0x20, 0x30 } },
            { DeviceVariant::zembraFader, true, false, { 0x20, 0x30 } },
            { DeviceVariant::zembraDial, true, true, { 0x21, 0x20 } },
            { DeviceVariant::zembraDial, true, false, { 0x20 } },
            { DeviceVariant::zembraDial, false, true, { 0x21 } } };
        for (const Case& c : cases) {
            const int count
                = encodePreset(bank, c.variant, 9, { c.withInit, c.withData, true }, 0, buffer, 0);
            std::vector<int> commands;
            for (int i = 0; i < count; ++i)
                if (at(i).data1 == 0xF0) {
                    commands.push_back(at(i + 6).data1);
                    EXPECT_EQ(at(i + 7).data1, 9);
                }
            EXPECT_EQ(commands, c.commands) << variantTitle(c.variant) << c.withData << c.withInit;
        }
    }

    TEST_F(DumpEncoderTest, DialDumpOfAllPresetsCarriesTrailersAndTimes)
    {
        ASSERT_EQ(encodeAllPresets(bank, DeviceVariant::zembraDial, { true, true, false }, buffer),
            12032);
        for (int p = 0; p < kPresetCount; ++p) {
            const int base = p * 94;
            for (int i = 0; i < 94; ++i)
                ASSERT_EQ(at(base + i).time, p > 0 && i < 84 ? 1280u : 0u) << p << ":" << i;
            // Init values (knob 16's is 65), data, trailer for this preset.
            EXPECT_EQ(
                std::tuple(at(base + 6).data1, at(base + 9 + 15).data1, at(base + 26 + 6).data1,
                    at(base + 84 + 6).data1, at(base + 84 + 7).data1),
                std::tuple(0x21, 65, 0x20, 0x30, p));
        }
    }

    TEST_F(DumpEncoderTest, MaskedDumpGivesTheFirstEncodedPresetTime1280UnlessItIsPresetZero)
    {
        bank.presetMask.fill(0);
        bank.presetMask[5] = bank.presetMask[7] = 1;
        ASSERT_EQ(encodeMaskedPresets(bank, DeviceVariant::zembraFader, {}, buffer), 2 * 68);
        EXPECT_EQ(std::tuple(at(0).time, at(7).data1, at(68 + 7).data1), std::tuple(1280u, 5, 7));

        bank.presetMask.fill(0);
        bank.presetMask[0] = 1;
        ASSERT_EQ(encodeMaskedPresets(bank, DeviceVariant::zembraFader, {}, buffer), 68);
        EXPECT_EQ(at(0).time, 0u);
    }

    TEST_F(DumpEncoderTest, PresetThatDoesNotFitAppendsNothing) // the returned end stays put
    {
        std::vector<MidiEvent> small(100);
        EXPECT_EQ(encodePreset(bank, DeviceVariant::zembraControl, 0, {}, 0, small, 0), 68);
        EXPECT_EQ(encodePreset(bank, DeviceVariant::zembraControl, 1, {}, 0, small, 68), 68);
        EXPECT_EQ(encodePreset(bank, DeviceVariant::zembraDial, 1, {}, 0, small, 20), 20);
    }

    TEST_F(DumpEncoderTest, DecoderGradesWhatItIsGivenAndGivesBackWhatWasEncoded)
    {
        using testing::Bytes;
        const Bytes data = presetDataFrame(bank.presets[9], 9).bytes();
        Bytes foreign = data;
        foreign[3] = 0x21;
        Bytes unended = data;
        unended.back() = 0x00;
        const Bytes request = requestMessage(dump::kPresetRequest, 3).bytes();
        Bytes followed = data;
        followed.insert(followed.end(), request.begin(), request.end());
        struct Case {
            const char* what;
            Bytes bytes;
            FrameKind whole, stream;
            int length; ///< as a stream
        };
        const Case cases[] {
            { "preset data", data, FrameKind::presetData, FrameKind::presetData, 58 },
            { "init values", initValuesFrame(bank.presets[9], 9).bytes(), FrameKind::initValues,
                FrameKind::initValues, 26 },
            { "trailer", trailerFrame(9).bytes(), FrameKind::trailer, FrameKind::trailer, 10 },
            { "version", testing::frameBytes({ 0x00, 1, 12, 0xF7 }), FrameKind::versionReply,
                FrameKind::versionReply, 10 },
            { "configuration", thruSettingsMessage(5, 10).bytes(), FrameKind::configuration,
                FrameKind::configuration, 10 },
            { "request", request, FrameKind::otherCommand, FrameKind::otherCommand, 10 },
            { "unknown command", testing::frameBytes({ 0x7E, 0, 0, 1, 0xF7 }),
                FrameKind::otherCommand, FrameKind::otherCommand, 0 },
            { "another maker", foreign, FrameKind::foreign, FrameKind::foreign, 0 },
            { "cut short", Bytes(data.begin(), data.begin() + 40), FrameKind::malformed,
                FrameKind::malformed, 0 },
            { "no F7", unended, FrameKind::malformed, FrameKind::malformed, 0 },
            { "header only", Bytes(data.begin(), data.begin() + 8), FrameKind::malformed,
                FrameKind::malformed, 0 },
            { "more follows", followed, FrameKind::malformed, FrameKind::presetData, 58 },
        };
        for (const Case& c : cases) {
            EXPECT_EQ(decodeFrame(c.bytes, FrameBounds::wholeMessage).kind, c.whole) << c.what;
            const DecodedFrame streamed = decodeFrame(c.bytes, FrameBounds::stream);
            EXPECT_EQ(std::pair(streamed.kind, streamed.length), std::pair(c.stream, c.length))
                << c.what;
        }

        // Values out of range never leave as status bytes: each keeps its low 7 bits.
        Preset wild = bank.presets[9];
        wild.channel[0] = 0x85;
        wild.initValue[3] = 200;
        const Bytes wildData = presetDataFrame(wild, 9).bytes();
        const Bytes wildInit = initValuesFrame(wild, 0x89).bytes();
        EXPECT_EQ(
            std::tuple(wildData[9], wildInit[7], wildInit[12]), std::tuple(0x05, 0x09, 200 & 0x7F));
        for (const Bytes& b : { wildData, wildInit })
            EXPECT_TRUE(
                std::all_of(b.begin() + 1, b.end() - 1, [](std::uint8_t x) { return x < 0x80; }));
    }

} // namespace
} // namespace kestrow
