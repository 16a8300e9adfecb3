#include "midi/midi_dispatcher.h"
#include "midi/midi_in.h"
#include "midi/midi_out.h"
#include "midi/midi_sync.h"
#include "toolkit_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <iterator>
#include <string>
#include <tuple>

using namespace kestrow;
using miditest::expectMidiError;

namespace {

bool isLoaded(const char* path)
{
    void* handle = ::dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    ::dlclose(handle);
    return true;
}

using miditest::FakeDriverTest;

} // namespace

TEST(MidiDriverLoad, FailuresGiveTheirTextsAndLeaveNothingLoadedAndTheEnvironmentChoosesTheLibrary)
{
    expectMidiError(
        [] { TMidiDriver driver("/nonexistent/libmididrv.so"); }, "Load of libmididrv.so failed");

    ASSERT_FALSE(isLoaded(KESTROW_MIDIDRV_NOMETA));
    expectMidiError(
        [] { TMidiDriver driver(KESTROW_MIDIDRV_NOMETA); }, "Failed to loadproc:WriteMetaEvent");
    EXPECT_FALSE(isLoaded(KESTROW_MIDIDRV_NOMETA));

    // The environment chooses the library, and unloading frees it.
    ::setenv("KESTROW_MIDIDRV", KESTROW_FAKE_MIDIDRV, 1);
    {
        TMidiDriver driver;
        ::unsetenv("KESTROW_MIDIDRV");
        EXPECT_EQ(driver.GetDriverVersion(), 0x0203); // the scripted library's
        EXPECT_TRUE(isLoaded(KESTROW_FAKE_MIDIDRV));
        // An older library without port change reports loads all the same.
        EXPECT_EQ(driver.api().GetPortChangeFd, nullptr);
        driver.Unload();
        EXPECT_EQ(driver.api().PutMidiOut, nullptr);
    }
    EXPECT_FALSE(isLoaded(KESTROW_FAKE_MIDIDRV));
}

TEST_F(FakeDriverTest, OutputOpenCloseAndTheirFailures)
{
    TMidiOut out;
    expectMidiError([&] { static_cast<void>(out.Open(0, 78624)); }, "No MidiDriver");
    out.Driver = &driver;

    state->openResult = 32; // the highest failure value
    EXPECT_FALSE(out.Open(1, 78624));
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(out.GetDescription(), "");
    MidiEvent note { 0, 0x90, 60, 100, 0 };
    EXPECT_FALSE(out.Put(&note)); // closed: nothing reaches the library
    EXPECT_EQ(out.PutEvent(note), PutStatus::portClosed);
    EXPECT_EQ(state->count("PutMidiOut"), 0);
    expectMidiError([&] { out.Close(); }, "midiOut not open");
    expectMidiError([&] { out.Reset(); }, "midiOut not open");
    expectMidiError([&] { out.Flush(); }, "midiOut not open");

    state->openResult = 33;
    EXPECT_TRUE(out.Open(1, 78624));
    EXPECT_EQ(out.GetDescription(), "Fake Out B");
    expectMidiError([&] { static_cast<void>(out.Open(1, 78624)); }, "already open");
    // The library's answer, as the toolkit tells it.
    const std::pair<std::uint16_t, PutStatus> answers[] { { 0, PutStatus::taken },
        { 1, PutStatus::portClosed }, { 2, PutStatus::notMidi }, { 3, PutStatus::notSent },
        { 7, PutStatus::notSent } };
    for (const auto& [result, status] : answers) {
        state->putResult = result;
        EXPECT_EQ(out.PutEvent(note), status) << result;
        EXPECT_EQ(out.Put(&note), result == 0) << result;
    }
    EXPECT_FALSE(out.Put(nullptr));
    ASSERT_EQ(state->put.size(), 2u);
    EXPECT_EQ(state->put[0].data1, 60);

    state->calls.clear();
    out.Close();
    EXPECT_EQ(state->calls, (std::vector<std::string> { "ResetMidiOut", "CloseMidiOut" }));
    EXPECT_EQ(out.GetDescription(), "");

    EXPECT_EQ(out.GetIDFromName("Fake Out B"), 1);
    EXPECT_EQ(out.GetIDFromName("Nothing like it"), 0xFFF0);
    EXPECT_EQ(out.GetNumDevices(), 2);
}

TEST_F(FakeDriverTest, InputStartStopResetRules)
{
    TMidiIn in(&driver);
    expectMidiError([&] { in.Start(); }, "cant start midiIn");
    expectMidiError([&] { in.Stop(); }, "midiIn not open");
    expectMidiError([&] { in.Close(); }, "midiIn not open");
    state->openResult = 0;
    EXPECT_FALSE(in.Open(0, 78624));
    state->openResult = 0x200;
    ASSERT_TRUE(in.Open(0, 78624));
    EXPECT_EQ(in.GetDescription(), "Fake In A");
    expectMidiError([&] { in.Reset(); }, "midiIn cant reset");
    in.Start();
    expectMidiError([&] { in.Start(); }, "cant start midiIn");
    state->calls.clear();
    in.Reset();
    EXPECT_EQ(state->calls, (std::vector<std::string> { "StopMidiIn", "StartMidiIn" }));
    EXPECT_TRUE(in.IsStarted());
    in.Close();
    EXPECT_FALSE(in.IsOpen() || in.IsStarted());
    EXPECT_EQ(in.GetIDFromName("nope"), 0xFFF0);
}

TEST_F(FakeDriverTest, ActiveSensingIsDroppedAndItsTimeCarriesOn)
{
    TMidiIn in(&driver);
    ASSERT_TRUE(in.Open(0, 78624));
    in.Start();
    std::vector<MidiEvent> seen;
    in.OnMidiData = [&](MidiEvent* e, bool& accept) {
        seen.push_back(*e);
        if (e->status == 0xB0)
            accept = false; // the handler refuses controllers
    };
    TMidiTrack track;
    track.IsRecording(true);
    in.Attach(&track);

    arrive(5, 0xFE);
    arrive(7, 0x90, 60, 1);
    arrive(1, 0xFE);
    arrive(2, 0xFE);
    arrive(4, 0xB0, 7, 9);
    arrive(6, 0xF0, 0xF0);
    arrive(0, 0xF0, 0xF7);
    notifyInput();
    EXPECT_TRUE(seen.empty()); // nothing before the dispatcher runs
    EXPECT_EQ(dispatcher.pump(), 1);

    // The two FE add their 1 + 2 to the controller; the refused controller's 7 carries on.
    const auto timed = [](const MidiEvent& e) { return std::tuple(e.time, e.status, e.data1); };
    std::vector<std::tuple<std::uint32_t, int, int>> got;
    std::ranges::transform(seen, std::back_inserter(got), timed);
    EXPECT_EQ(got,
        (decltype(got) {
            { 12, 0x90, 60 }, { 7, 0xB0, 7 }, { 13, 0xF0, 0xF0 }, { 0, 0xF0, 0xF7 } }));
    // Only accepted events are recorded.
    got.clear();
    for (int i = 0; i < track.GetNumEvents(); ++i)
        got.push_back(timed(*track.GetEvent(i)));
    EXPECT_EQ(got, (decltype(got) { { 12, 0x90, 60 }, { 13, 0xF0, 0xF0 }, { 0, 0xF0, 0xF7 } }));
    in.Detach(&track);
    EXPECT_EQ(track.GetMidiIn(), nullptr);
    expectMidiError([&] { in.Detach(&track); }, "track not found");
}

TEST_F(FakeDriverTest, NotificationsGoThroughTheObjectsDispatcherAndNotToADestroyedOne)
{
    int calls = 0;
    auto in = std::make_unique<TMidiIn>(&driver);
    InlineDispatcher inlineDispatcher;
    in->setDispatcher(&inlineDispatcher);
    ASSERT_TRUE(in->Open(0, 78624));
    in->Start();
    in->OnMidiData = [&](MidiEvent*, bool&) { ++calls; };
    arrive(0, 0x80, 1, 1);
    notifyInput();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(dispatcher.pending(), 0u);

    in->setDispatcher(nullptr); // back to the default one, which runs after the object is gone
    arrive(0, 0x90, 1, 1);
    notifyInput();
    in.reset();
    EXPECT_EQ(dispatcher.pump(), 1);
    EXPECT_EQ(calls, 1);
}

TEST_F(FakeDriverTest, SyncAttachReopensAndDetachChecksTheSync)
{
    TMidiSync sync(&driver);
    expectMidiError([&] { sync.Start(); }, "sync not open");
    ASSERT_TRUE(sync.Open(0, 0));
    TMidiSync other(&driver);
    TMidiOut out(&driver);
    ASSERT_TRUE(out.Open(0, 78624));
    out.Attach(&sync);
    EXPECT_TRUE(out.IsOpen());
    EXPECT_EQ(state->lastSync, sync.GetHandle());
    expectMidiError([&] { out.Detach(&other); }, "sync not found");
    state->calls.clear();
    out.Detach(&sync);
    EXPECT_EQ(
        std::pair(state->count("CloseMidiOut"), state->count("OpenMidiOut")), std::pair(1, 1));
    EXPECT_EQ(state->lastSync, 0u);
    EXPECT_TRUE(out.IsOpen());

    TMidiIn in(&driver);
    expectMidiError([&] { in.Detach(&sync); }, "sync not found");
    EXPECT_EQ(TMidiSync::Convert(std::uint16_t { 0 }), 500000u);
    EXPECT_EQ(TMidiSync::Convert(std::uint16_t { 60 }), 1000000u);
    EXPECT_EQ(TMidiSync::Convert(std::uint32_t { 250000 }), 240);
    EXPECT_EQ(TMidiSync::Convert(std::uint32_t { 0 }), 120);
    sync.Close();
    expectMidiError([&] { sync.Close(); }, "sync not open");
    expectMidiError([&] { sync.Pause(true); }, "sync not open");
    expectMidiError([&] { sync.ReStart(); }, "sync not open");
    expectMidiError([&] { sync.Mode(1); }, "sync not open");
    TMidiSync unbound;
    expectMidiError([&] { static_cast<void>(unbound.Open(0, 0)); }, "No MidiDriver");
}
