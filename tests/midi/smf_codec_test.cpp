#include "platform/mididrv/smf_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

using kestrow::smf::decode;
using kestrow::smf::encode;
using kestrow::smf::Song;
using Bytes = std::vector<std::uint8_t>;

namespace {

MidiDrvEvent ev(std::uint32_t time, std::uint8_t status, std::uint8_t d1 = 0, std::uint8_t d2 = 0)
{
    return { time, status, d1, d2, 0 };
}

std::vector<MidiDrvEvent> sysExRun(const Bytes& message, std::uint32_t firstTime = 0)
{
    std::vector<MidiDrvEvent> out;
    for (std::size_t i = 0; i < message.size(); ++i)
        out.push_back(ev(i == 0 ? firstTime : 0, 0xF0, message[i]));
    return out;
}

Bytes fileWithTrack(const Bytes& body, std::uint16_t format = 0, std::uint16_t tracks = 1)
{
    Bytes out { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(format), 0,
        static_cast<std::uint8_t>(tracks), 0x01, 0xE0, 'M', 'T', 'r', 'k' };
    std::uint32_t n = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(n >> shift));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

/// Events as values to compare whole (the port byte is no part of a file).
std::vector<std::tuple<std::uint32_t, int, int, int>> fields(
    const std::vector<MidiDrvEvent>& events)
{
    std::vector<std::tuple<std::uint32_t, int, int, int>> out;
    for (const MidiDrvEvent& e : events)
        out.emplace_back(e.time, e.status, e.data1, e.data2);
    return out;
}

} // namespace

TEST(SmfCodec, SysExRunBecomesOneStandardEventWithItsFirstDelta)
{
    Song song;
    song.format = 0;
    song.tracks.resize(1);
    song.tracks[0].events = sysExRun({ 0xF0, 0x00, 0x20, 0x7F, 0xF7 }, 96);
    Bytes bytes = encode(song);
    // Track body: delta 96 (60), F0, length 4, the four bytes after F0, then end of track.
    Bytes expectedBody { 0x60, 0xF0, 0x04, 0x00, 0x20, 0x7F, 0xF7, 0x00, 0xFF, 0x2F, 0x00 };
    EXPECT_EQ(bytes, fileWithTrack(expectedBody));

    auto back = decode(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(fields(back->tracks[0].events), fields(song.tracks[0].events));
}

TEST(SmfCodec, ChannelEventsUseRunningStatusAndRoundTrip)
{
    Song song;
    song.format = 0; // with two tracks, written as format 1
    song.tracks.resize(2);
    song.tracks[0].metas.push_back({ 3, { 'K', 'n', 'o', 'b' } });
    song.tracks[1].events = { ev(0, 0x90, 60, 100), ev(10, 0x90, 62, 90), ev(5, 0xC3, 7),
        ev(0, 0xE0, 0, 64), ev(1, 0xB0, 7, 127), ev(2, 0xF8), ev(3, 0xF2, 1, 2) };
    Bytes bytes = encode(song);
    auto back = decode(bytes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->tracks.size(), 2u);
    EXPECT_EQ(back->format, 1);
    EXPECT_EQ(back->resolution, kestrow::smf::kDefaultResolution);
    ASSERT_NE(kestrow::smf::findMeta(back->tracks[0], 3), nullptr);
    EXPECT_EQ(kestrow::smf::findMeta(back->tracks[0], 3)->data, (Bytes { 'K', 'n', 'o', 'b' }));
    EXPECT_EQ(fields(back->tracks[1].events), fields(song.tracks[1].events));
    // The second note on shares the first one's status byte.
    Bytes twoNotes { 0x00, 0x90, 60, 100, 0x0A, 62, 90 };
    EXPECT_NE(
        std::search(bytes.begin(), bytes.end(), twoNotes.begin(), twoNotes.end()), bytes.end());
}

TEST(SmfCodec, SplitSysExAndMetaTimesReadBackInOrder)
{
    // F0 packet without F7, an F7 continuation with a stray byte after the
    // end (it belongs to no message), a meta between channel events.
    Bytes body { 0x00, 0xF0, 0x03, 0x43, 0x10, 0x4C, 0x05, 0xF7, 0x03, 0x01, 0xF7, 0x55, 0x07, 0xFF,
        0x51, 0x03, 0x07, 0xA1, 0x20, 0x03, 0x80, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00 };
    auto song = decode(fileWithTrack(body));
    ASSERT_TRUE(song);
    std::vector<MidiDrvEvent> expected = sysExRun({ 0xF0, 0x43, 0x10, 0x4C, 0x01, 0xF7 });
    expected[4].time = 5;
    expected.push_back(ev(10, 0x80, 0x40, 0x00)); // the meta's 7 ticks stay in the time line
    EXPECT_EQ(fields(song->tracks[0].events), fields(expected));
    ASSERT_NE(kestrow::smf::findMeta(song->tracks[0], 0x51), nullptr);
}

TEST(SmfCodec, StraySysExBytesAndLoneStatusBytesSurviveARoundTrip)
{
    Song song;
    song.tracks.resize(1);
    song.tracks[0].events = { ev(4, 0xF0, 0x11), ev(0, 0xF0, 0x12), ev(0, 0xF0, 0xF7), ev(2, 0x05),
        ev(1, 0x90, 1, 2) };
    auto back = decode(encode(song));
    ASSERT_TRUE(back);
    std::vector<MidiDrvEvent> expected { ev(4, 0xF0, 0x11), ev(0, 0xF0, 0x12), ev(0, 0xF0, 0xF7),
        ev(3, 0x90, 1, 2) };
    EXPECT_EQ(fields(back->tracks[0].events), fields(expected));
}

TEST(SmfCodec, DamagedFilesNeverReadPastTheirBytes)
{
    Song song;
    song.tracks.resize(2);
    song.tracks[0].metas.push_back({ 3, Bytes(40, 'x') });
    song.tracks[1].events = sysExRun(Bytes(300, 0x11));
    song.tracks[1].events.front().data1 = 0xF0;
    song.tracks[1].events.back().data1 = 0xF7;
    song.tracks[1].events.push_back(ev(0, 0x90, 1, 1));
    Bytes good = encode(song);
    // Every cut-off length decodes (or is refused) without touching memory
    // past the end; under the sanitizers this is the real check.
    std::size_t decoded = 0;
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        auto song2 = decode(cut);
        if (song2) {
            ++decoded;
            for (const auto& t : song2->tracks)
                EXPECT_LE(t.events.size(), n);
        }
    }
    EXPECT_GT(decoded, 0u);
    EXPECT_FALSE(decode(Bytes { 'M', 'T', 'h', 'd' }));
    EXPECT_FALSE(decode(Bytes { 'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96 }));
    // Lengths that claim far more than exists (a huge chunk, SysEx and delta
    // time), and running status with nothing to run on, end the track quietly.
    const std::pair<Bytes, std::size_t> overlong[] = {
        { { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0xFF, 0xFF, 0, 96, 'M', 'T', 'r', 'k', 0x7F, 0xFF,
              0xFF, 0xFF, 0x00, 0x90, 1, 2 },
            1 },
        { fileWithTrack({ 0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x01 }), 0 },
        { fileWithTrack({ 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 1, 1 }), 0 },
        { fileWithTrack({ 0x00, 0x40, 0x40 }), 0 },
    };
    for (const auto& [bytes, events] : overlong) {
        const auto read = decode(bytes);
        ASSERT_TRUE(read && read->tracks.size() == 1u);
        EXPECT_EQ(read->tracks[0].events.size(), events) << bytes.size();
    }
}
