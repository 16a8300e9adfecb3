#include "midi/midi_in.h"
#include "midi/midi_out.h"
#include "midi/midi_sync.h"
#include "toolkit_support.h"

#include <gtest/gtest.h>

#if defined(KESTROW_HAVE_JACK)
#include "jack_rig.h"
#endif

#include <chrono>
#include <cstring>
#include <iostream>
#include <set>
#include <thread>
#include <unistd.h>

using namespace kestrow;
using namespace std::chrono_literals;

namespace {

const std::vector<std::uint8_t> kRequest { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x26, 0x05, 0x00,
    0xF7 };

using miditest::DefaultDispatcher;

/// Ports through the toolkit and the real library, notifications pumped
/// by hand; every wait has a cap.
class PortTest : public ::testing::Test {
protected:
    PortTest()
    {
        in.OnMidiData = [this](MidiEvent* e, bool&) {
            EXPECT_EQ(e->status, 0xF0);
            received.push_back(e->data1);
        };
    }
    void put(const std::vector<std::uint8_t>& message)
    {
        for (std::uint8_t b : message) {
            MidiEvent e { 0, 0xF0, b, 0, 0 };
            out.Put(&e);
        }
    }
    bool waitFor(std::size_t bytes, std::chrono::milliseconds cap)
    {
        return dispatcher.pumpUntil([&] { return received.size() >= bytes; }, cap);
    }

    DefaultDispatcher dispatcher;
    TMidiDriver driver { KESTROW_MIDIDRV };
    TMidiIn in { &driver };
    TMidiOut out { &driver };
    std::vector<std::uint8_t> received; ///< data1 of each event: the SysEx bytes
};

} // namespace

TEST_F(PortTest, EmulatorIsListedLastWithUniqueNamesThatFit)
{
    std::uint16_t outs = out.GetNumDevices();
    std::uint16_t ins = in.GetNumDevices();
    ASSERT_GE(outs, 1);
    ASSERT_GE(ins, 1);
    EXPECT_EQ(out.GetIDFromName("zembra Emulator"), outs - 1);
    EXPECT_EQ(in.GetIDFromName("zembra Emulator"), ins - 1);
    std::set<std::string> names;
    for (std::uint16_t id = 0; id < outs; ++id) {
        char text[MIDIDRV_DESCRIPTION_SIZE] = {};
        driver.api().GetMidiOutDescription(id, text);
        EXPECT_LT(std::strlen(text), 32u);
        EXPECT_TRUE(names.insert(text).second) << text;
    }
    char text[MIDIDRV_DESCRIPTION_SIZE] = "untouched";
    driver.api().GetMidiOutDescription(outs, text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(driver.api().OpenMidiOut(nullptr, outs, 0, 0), 0u);
}

TEST_F(PortTest, EmulatorAnswersARequestByteForByteInOrder)
{
    ASSERT_TRUE(out.Open(out.GetIDFromName("zembra Emulator"), 78624));
    ASSERT_TRUE(in.Open(in.GetIDFromName("zembra Emulator"), 78624));
    EXPECT_EQ(in.GetDescription(), "zembra Emulator");
    put(kRequest); // before Start: the answer is not taken
    EXPECT_FALSE(waitFor(1, 100ms));
    in.Start();
    put(kRequest);
    ASSERT_TRUE(waitFor(58, 2000ms)) << received.size();
    ASSERT_EQ(received.size(), 58u);
    EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.begin() + 9),
        (std::vector<std::uint8_t> { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x20, 0x05, 0x00 }));
    EXPECT_EQ(received.back(), 0xF7);
}

#if defined(KESTROW_HAVE_JACK)
// RtMidi 5.0's JACK input, used here before, could call a cleared callback
// while an input closed under traffic; every close below happens mid-flood.
using JackTransport = kestrow::testing::JackServerTest;

TEST_F(JackTransport, InputOpenedAndClosedAgainAndAgainUnderAFloodStaysWhole)
{
    // The source must exist before the driver lists its inputs.
    const std::vector<std::uint8_t> noteOn { 0x90, 0x40, 0x7F };
    const auto flood = std::make_unique<kestrow::testing::JackFlood>("kflood", noteOn, 32);
    ASSERT_TRUE(flood->ok());

    DefaultDispatcher dispatcher;
    TMidiDriver driver(KESTROW_MIDIDRV);
    TMidiIn in(&driver);
    std::size_t received = 0;
    std::size_t foreign = 0;
    in.OnMidiData = [&](MidiEvent* e, bool&) {
        ++received;
        foreign += std::vector<std::uint8_t> { e->status, e->data1, e->data2 } != noteOn;
    };
    const std::uint16_t id = in.GetIDFromName(flood->port());
    int rounds = 0;
    int withTraffic = 0;
    for (const auto end = std::chrono::steady_clock::now() + 20s;
         rounds < 100 && std::chrono::steady_clock::now() < end && id != TMidiIn::kNoDevice;
         ++rounds) {
        ASSERT_TRUE(in.Open(id, 78624)) << "round " << rounds;
        in.Start();
        const std::size_t before = received;
        withTraffic += dispatcher.pumpUntil([&] { return received >= before + 64; }, 2000ms);
        in.Close();
    }
    ASSERT_NE(id, TMidiIn::kNoDevice) << flood->port() << " is not listed";
    std::cout << rounds << " closes under a flood of " << flood->sent() << " messages, " << received
              << " received\n";
    EXPECT_GE(rounds, 20);
    // A broken reopen starves every round after it; a machine under load
    // may starve one now and then for longer than the wait.
    EXPECT_GE(withTraffic, rounds - rounds / 20);
    EXPECT_EQ(foreign, 0u);
}
#endif

TEST(SyncClock, BeatsArriveAndAOneShotRunEnds)
{
    ManualDispatcher dispatcher;
    TMidiDriver driver(KESTROW_MIDIDRV);
    TMidiSync sync(&driver);
    sync.setDispatcher(&dispatcher);
    int beats = 0;
    int done = 0;
    sync.OnMidiBeat = [&](TMidiSync*) { ++beats; };
    sync.OnSyncDone = [&](TMidiSync*) { ++done; };
    ASSERT_TRUE(sync.Open(0, 0));
    sync.Resolution(96);
    sync.Tempo(20000); // 50 quarters a second
    sync.Start();
    EXPECT_TRUE(dispatcher.pumpUntil([&] { return beats >= 3; }, 2000ms)) << beats;
    EXPECT_GE(sync.Position(), 3u * 96u);
    sync.Pause(true);
    std::uint32_t paused = sync.Position();
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(sync.Position(), paused);
    sync.ReStart();
    EXPECT_TRUE(dispatcher.pumpUntil([&] { return sync.Position() > paused; }, 1000ms));
    sync.Stop();
    dispatcher.pumpUntil([&] { return done >= 1; }, 1000ms);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(sync.Position(), 0u);

    // One period of 48 ticks, then done by itself.
    sync.Period(48);
    sync.Mode(1);
    beats = 0;
    sync.Start();
    EXPECT_TRUE(dispatcher.pumpUntil([&] { return done >= 2; }, 2000ms));
    EXPECT_EQ(beats, 1);
    EXPECT_FALSE(sync.IsRunning());
    sync.Close();
}
