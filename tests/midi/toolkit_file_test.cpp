#include "midi/midi_out.h"
#include "toolkit_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <tuple>
#include <unistd.h>

using namespace kestrow;
using miditest::ev;
using miditest::expectMidiError;

TEST(MidiTrack, GrowsBy8192AndKeepsOrder)
{
    TMidiTrack track;
    EXPECT_EQ(track.GetBufferSize(), 8192);
    track.Write(ev(0, 0x90));
    EXPECT_EQ(track.GetNumEvents(), 0); // not recording
    track.IsRecording(true);
    for (int i = 0; i < 9000; ++i)
        track.Write(ev(static_cast<std::uint32_t>(i), 0x90, static_cast<std::uint8_t>(i & 0x7F)));
    EXPECT_EQ(track.GetBufferSize(), 16384);
    ASSERT_EQ(track.GetNumEvents(), 9000);
    for (int i = 0; i < 9000; ++i)
        ASSERT_EQ(track.GetTime(i), static_cast<std::uint32_t>(i));
    EXPECT_EQ(track.GetEvent(16383)->status, 0); // zero-filled growth
    EXPECT_EQ(track.GetEvent(16384), nullptr);
}

TEST(MidiTrack, InsertDeleteReadAndTimes)
{
    TMidiTrack track;
    for (std::uint8_t i = 0; i < 5; ++i)
        track.InsertEvent(ev(10, 0x90, i), -1);
    track.InsertEvent(ev(3, 0x80, 99), 2);
    ASSERT_EQ(track.GetNumEvents(), 6);
    std::vector<int> order;
    for (int i = 0; i < 6; ++i)
        order.push_back(track.GetEvent(i)->data1);
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 99, 2, 3, 4 }));
    EXPECT_EQ(track.AbsNow(2), 23u);
    track.DeleteEvent(2);
    EXPECT_EQ(track.GetEvent(2)->data1, 2);
    track.DeleteEvent(50); // outside: nothing happens
    EXPECT_EQ(track.GetNumEvents(), 5);
    track.SlideTrack(0, -100);
    EXPECT_EQ(track.GetTime(0), 0u);

    std::int32_t count = 10;
    auto abs = track.GetAbsBuffer(1, count);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::pair(abs[0].time, abs[3].time), std::pair(10u, 40u));
    track.AbsToDelta(abs.data(), 1, count);
    EXPECT_EQ(std::pair(abs[0].time, abs[3].time), std::pair(10u, 10u));

    for (std::uint8_t i = 0; i < 5; ++i)
        track.InsertEvent(ev(1, 0xB0, i), -1);
    EXPECT_NE(track.Read(), nullptr);
    EXPECT_NE(track.Read(), nullptr);
    EXPECT_EQ(track.GetNumEvents(), 8);
    track.Mute(true);
    EXPECT_EQ(track.Read(), nullptr);
    count = 4;
    EXPECT_TRUE(track.GetAbsBuffer(0, count).empty());
    EXPECT_EQ(count, 0);
}

TEST(MidiScore, MergeOrdersByTimeAndKeepsASysExRunTogether)
{
    TMidiScore score(2);
    TMidiTrack* notes = score.Get(0);
    TMidiTrack* dump = score.Get(1);
    for (int i = 0; i < 6; ++i)
        notes->InsertEvent(ev(1, 0x90, static_cast<std::uint8_t>(i)), -1); // times 1..6
    // A dump whose bytes are spread over time 2..6: left alone, the notes
    // at 3..6 would land inside it.
    dump->InsertEvent(ev(2, 0xF0, 0xF0), -1);
    for (std::uint8_t b : std::initializer_list<std::uint8_t> { 0x01, 0x02, 0x03, 0xF7 })
        dump->InsertEvent(ev(1, 0xF0, b), -1);
    dump->InsertEvent(ev(1, 0x80, 50), -1); // time 7

    score.MergeTracks();
    std::vector<std::tuple<int, int, std::uint32_t>> got;
    for (const MidiEvent& e :
        std::span(score.merged()).first(static_cast<std::size_t>(score.mergeCount())))
        got.emplace_back(e.status, e.data1, e.time);
    // The note at time 2 comes first: on equal times the first track wins. The
    // times are deltas between neighbours; going back in time counts as 0.
    const decltype(got) expected { { 0x90, 0, 1 }, { 0x90, 1, 1 }, { 0xF0, 0xF0, 0 },
        { 0xF0, 0x01, 1 }, { 0xF0, 0x02, 1 }, { 0xF0, 0x03, 1 }, { 0xF0, 0xF7, 1 }, { 0x90, 2, 0 },
        { 0x90, 3, 1 }, { 0x90, 4, 1 }, { 0x90, 5, 1 }, { 0x80, 50, 1 } };
    EXPECT_EQ(got, expected);
    score.MergeTracks();
    EXPECT_EQ(score.mergeCount(), 0);

    // A run longer than one merge window stays whole across the windows.
    TMidiScore big(2);
    for (int i = 0; i < 600; ++i)
        big.Get(0)->InsertEvent(ev(0, 0xF0, i == 0 ? 0xF0 : (i == 599 ? 0xF7 : 0x11)), -1);
    big.Get(1)->InsertEvent(ev(0, 0x90, 1, 1), -1);
    std::vector<MidiEvent> all;
    for (int round = 0; round < 4; ++round) {
        big.MergeTracks();
        for (int i = 0; i < big.mergeCount(); ++i)
            all.push_back(big.merged()[static_cast<std::size_t>(i)]);
    }
    ASSERT_EQ(all.size(), 601u);
    EXPECT_EQ(
        std::tuple(all[0].data1, all[599].data1, all[600].status), std::tuple(0xF0, 0xF7, 0x90));
}

TEST(MidiScore, OwnershipFindRemoveAndPlayback)
{
    TMidiScore score;
    auto* kept = new TMidiTrack;
    EXPECT_EQ(score.Add(kept), 0);
    EXPECT_EQ(score.Add(nullptr), 1);
    EXPECT_EQ(score.Find(kept), 0);
    EXPECT_EQ(score.Remove(kept), 0);
    EXPECT_EQ(score.Find(kept), -1);
    EXPECT_EQ(score.Remove(kept), -1);
    score.Insert(0, kept); // the score owns it again
    EXPECT_EQ(score.getCount(), 2);
    kept->InsertEvent(ev(0, 0x90, 1, 1), -1);
    kept->InsertEvent(ev(5, 0x80, 1, 0), -1);

    // Playback into the fake driver's port.
    TMidiDriver driver(KESTROW_FAKE_MIDIDRV);
    FakeDrvState& state = miditest::fakeDriverState();
    TMidiOut out(&driver);
    ASSERT_TRUE(out.Open(0, 0));
    score.StartOut(&out);
    ASSERT_EQ(state.put.size(), 2u);
    EXPECT_EQ(std::tuple(state.put[1].status, state.put[1].time), std::tuple(0x80, 5u));
    score.Clear();
    EXPECT_EQ(score.getCount(), 0);
}

using FakeSmfTest = miditest::FakeDriverTest;

TEST_F(FakeSmfTest, ReadCollects20000EventsIn8192Chunks)
{
    for (std::uint32_t i = 0; i < 20000; ++i)
        state->smfEvents.push_back({ i, 0x90, static_cast<std::uint8_t>(i & 0x7F), 1, 0 });
    TMidiScore score;
    TMidiSMF smf(&driver);
    ASSERT_TRUE(smf.Open("any.mid", 'r', 1));
    ASSERT_EQ(smf.NumTracks(), 1);
    score.Add(nullptr);
    smf.Attach(&score);
    EXPECT_TRUE(smf.Load(nullptr));
    EXPECT_EQ(state->readRooms, (std::vector<std::int32_t> { 8192, 8192, 8192, 8192 }));
    TMidiTrack* track = score.Get(0);
    ASSERT_EQ(track->GetNumEvents(), 20000);
    for (std::int32_t i = 0; i < 20000; ++i)
        ASSERT_EQ(track->GetEvent(i)->time, static_cast<std::uint32_t>(i));
    EXPECT_GE(track->GetBufferSize(), 20000 + 8192);
    smf.Close();
    EXPECT_EQ(smf.Score(), nullptr);
}

TEST_F(FakeSmfTest, ModeAndTrackChecks)
{
    TMidiSMF unbound;
    expectMidiError([&] { unbound.Open("x.mid", 'r', 1); }, "No MidiDriver");
    TMidiSMF smf(&driver);
    expectMidiError([&] { smf.Close(); }, "SMF not open");
    TMidiScore score(1);
    TMidiTrack stranger;
    ASSERT_TRUE(smf.Open("x.mid", 'r', 1));
    expectMidiError([&] { smf.Load(nullptr); }, "SMF cant read"); // no score yet
    smf.Attach(&score);
    expectMidiError([&] { smf.Save(nullptr); }, "SMF cant write");
    expectMidiError([&] { smf.Read(&stranger); }, "SMF bad track");
    ASSERT_TRUE(smf.Open("y.mid", 'w', 1));
    smf.Attach(&score);
    expectMidiError([&] { smf.Load(nullptr); }, "SMF cant read");
    expectMidiError([&] { smf.Write(&stranger); }, "SMF bad track");
    EXPECT_FALSE(smf.WriteMeta(&stranger, 3, reinterpret_cast<const std::uint8_t*>("x"), 0));
}

using RealSmfTest = miditest::RealDriverTest;

// (Missing and damaged files to read are refused by name in the storage load tests.)
TEST_F(RealSmfTest, AFileInAFolderThatIsNotThereDoesNotOpenForWriting)
{
    TMidiSMF smf(&driver);
    EXPECT_FALSE(smf.Open((dir / "no" / "such" / "dir.mid").string(), 'w', 1));
    EXPECT_FALSE(smf.IsOpen());
}

TEST_F(RealSmfTest, ManyEmptyTracksCostNoMemoryAndLinearTime)
{
    // 65535 declared tracks, none with an event: no track may take memory
    // ahead of events, and finding a track must not search the score.
    std::string bytes { "MThd\0\0\0\x06\0\x01\xFF\xFF\x01\xE0", 14 };
    for (int t = 0; t < 0xFFFF; ++t)
        bytes.append("MTrk\0\0\0\0", 8);
    const std::string path = (dir / "Empty.MID").string();
    std::ofstream(path, std::ios::binary) << bytes;
    const auto start = std::chrono::steady_clock::now();
    TMidiScore score(0);
    TMidiSMF smf(&driver);
    ASSERT_TRUE(smf.Open(path, 'r', 1));
    ASSERT_EQ(smf.NumTracks(), 0xFFFF);
    for (int t = 0; t < smf.NumTracks(); ++t)
        score.Add(nullptr);
    smf.Attach(&score);
    smf.Load(nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    for (int t = 0; t < score.getCount(); ++t) {
        const TMidiTrack* track = score.Get(t);
        ASSERT_EQ(track->GetNumEvents(), 0);
        ASSERT_EQ(track->GetBufferSize(), TMidiTrack::kGrowth); // as callers have always seen it
        ASSERT_EQ(track->GetBuffer(), nullptr) << t; // but no memory behind it
    }
    smf.Close();
}
