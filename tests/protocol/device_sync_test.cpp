// Get All Presets, Send Changed Presets and Verify Device against the
// emulated device in process, on a clock the test moves.

#include "fakes.h"
#include "protocol/device_sync.h"
#include "protocol/status_text.h"
#include "sim/link_limits.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

    /// The emulator behind a link that loses the requests for some presets,
    /// and some messages once.
    struct LossyLink : testing::FakeLink {
        std::set<int> silent;
        std::multiset<int> loseRequestOnce; ///< a request for the preset is lost, once each
        std::multiset<int> loseDataOnce; ///< its preset data message is lost, once each
        int requests = 0;
        /// A device busy after each message, in place of `emulator`: each put
        /// arrives one Delay after the one before.
        sim::LimitedDevice* limited = nullptr;
        const std::int32_t* delay = nullptr;
        std::int64_t clock = 0;
        int latePuts = 0; ///< this many messages arrive 30 ms late (a busy machine)
        PortResult put(int device, std::span<const MidiEvent> events) override
        {
            const testing::Bytes bytes = sysExBytes(events);
            const bool request = bytes.size() == 10
                && (bytes[6] == dump::kPresetRequest || bytes[6] == dump::kInitValuesRequest);
            requests += request ? 1 : 0;
            std::multiset<int>& once = request ? loseRequestOnce : loseDataOnce;
            const bool data
                = bytes.size() == dump::kPresetDataLength && bytes[6] == dump::kPresetData;
            if ((request && silent.count(bytes[7]) > 0)
                || ((request || data) && once.contains(bytes[7]))) {
                if (!silent.contains(bytes[7]))
                    once.erase(once.find(bytes[7]));
                return PortResult::success(); // the port took it; the device never got it
            }
            if (limited != nullptr) {
                const PortResult taken = FakeLink::put(device, events);
                clock += *delay + (latePuts > 0 ? (--latePuts, 30) : 0);
                for (const auto& reply : limited->receive(bytes, clock))
                    for (const MidiEvent& e : sysExEvents(reply))
                        deliver(e);
                return taken;
            }
            return FakeLink::put(device, events);
        }
    };

    class DeviceSyncTest : public ::testing::Test, protected testing::Rig<LossyLink> {
    protected:
        sim::ZembraDevice device { sim::Variant::dial };
        Catalogue catalogue;
        DeviceSync sync { protocol, bank, settings, catalogue, host };
        std::int64_t now = 0;

        DeviceSyncTest()
        {
            settings.setPortNames({ "out" }, { "in" });
            link.emulator = &device;
            link.deliver = [this](const MidiEvent& e) { protocol.replyCollector(e); };
            protocol.setObserver(&sync);
            protocol.setDeviceVariant(DeviceVariant::zembraDial);
            (void)protocol.setDelayText("20");
            protocol.chooseOutput(0);
            protocol.chooseInput(0);
        }

        /// Ticks every millisecond, running the transfers the job starts
        /// until it reports; `roundEnd` sees each transfer end before its
        /// Program Change.
        SyncReport run(const std::function<void()>& roundEnd = [] {})
        {
            for (int i = 0; i < 1000000; ++i) {
                runTransfer();
                if (protocol.timerEnabled(ProtocolTimer::Timer4)) {
                    roundEnd();
                    protocol.Timer4Timer();
                }
                if (auto report = sync.tick(++now))
                    return *report;
            }
            ADD_FAILURE() << "the job did not end";
            return {};
        }

        /// `p` with its knobs numbered from `seed`, 7 bits a value.
        template <class P = sim::DevicePreset> static P numbered(int seed, P p = {})
        {
            for (std::size_t k = 0; k < 16; ++k) {
                p.channel[k] = static_cast<std::uint8_t>((seed + k) % 17);
                p.eventType[k] = static_cast<std::uint8_t>((seed * 3 + k) % 128);
                p.fixedParameter[k] = static_cast<std::uint8_t>((seed * 5 + k) % 128);
                p.initValue[k] = static_cast<std::uint8_t>((seed * 7 + k) % 128);
            }
            return p;
        }

        /// Preset numbers of the preset data messages put since message `from`.
        std::vector<int> presetsSent(std::size_t from) const
        {
            std::vector<int> out;
            for (std::size_t i = from; i < link.messages.size(); ++i) {
                const testing::Bytes b = link.bytesOf(i);
                if (b.size() == dump::kPresetDataLength && b[6] == dump::kPresetData)
                    out.push_back(b[7]);
            }
            return out;
        }
    };

    TEST_F(DeviceSyncTest, GetAllTakesEveryAnswerPacedAndListsTheSilentPresets)
    {
        for (int p = 0; p < kPresetCount; ++p)
            device.setPreset(p, numbered(p));
        link.silent = { 16, 89 };
        const PresetBank before = bank;
        link.requests = 0;
        ASSERT_TRUE(sync.getAllPresets().started());
        // The first request a Delay after the start (the device may still be
        // busy with what went before), answered at once; the next (preset 1's
        // init values) a Delay later.
        for (const auto& [at, requests] :
            { std::pair(0, 0), { 19, 0 }, { 20, 1 }, { 39, 1 }, { 40, 2 } }) {
            EXPECT_FALSE(sync.tick(now + at));
            EXPECT_EQ(link.requests, requests) << at;
        }
        EXPECT_EQ(host.captions.back(), "Getting Preset:1");

        const SyncReport report = run();
        EXPECT_EQ(report.noReply, (std::vector<int> { 16, 89 }));
        // Two attempts for each silent preset's data, no init values request for it.
        EXPECT_EQ(link.requests, 126 * 2 + 2 * 2);
        EXPECT_EQ(report.lines(),
            (std::vector<std::string> {
                "Got 126 of 128 presets from the device.", "No reply for presets 17, 90" }));
        applyFetched(bank.presets, report.fetched);
        for (int p = 0; p < kPresetCount; ++p) {
            const Preset& was = before.presets[static_cast<std::size_t>(p)];
            EXPECT_EQ(bank.presets[static_cast<std::size_t>(p)],
                p == 16 || p == 89 ? was : numbered(p, was))
                << p;
        }
        // The replies are what the device holds now; the silent two stay unknown.
        EXPECT_EQ(sync.memory().changedPresets(bank, DeviceVariant::zembraDial),
            (std::vector<int> { 16, 89 }));
        EXPECT_EQ(host.captions.back(), variantTitle(DeviceVariant::zembraDial));
    }

    TEST_F(DeviceSyncTest, SendChangedSendsExactlyThoseAndVerifyFindsAPlantedDifference)
    {
        EXPECT_EQ(sync.memory().changedPresets(bank, DeviceVariant::zembraDial).size(), 128u)
            << "nothing known counts as differing";
        ASSERT_TRUE(sync.sendChangedPresets().started());
        runTransfer();
        EXPECT_EQ(presetsSent(0).size(), 128u);
        EXPECT_TRUE(sync.memory().changedPresets(bank, DeviceVariant::zembraDial).empty());
        EXPECT_NE(sync.sendChangedPresets().note, "");

        bank.presets[3].eventType[0] = 33;
        bank.presets[77].initValue[15] = 99;
        bank.selectedPreset = 5;
        const std::size_t from = link.messages.size();
        ASSERT_TRUE(sync.sendChangedPresets().started());
        runTransfer();
        protocol.Timer4Timer();
        EXPECT_EQ(presetsSent(from), (std::vector<int> { 3, 77 }));
        EXPECT_EQ(device.currentProgram(), 5) << "the Program Change after them";
        EXPECT_EQ(sync.memory().sentSinceVerify().size(), 128u);

        // Verify only what was sent since the last verify; then plant a
        // difference on the device and verify those two again.
        ASSERT_TRUE(sync.verifyDevice(true).started());
        EXPECT_TRUE(run().ok());
        EXPECT_TRUE(sync.memory().sentSinceVerify().empty());
        EXPECT_NE(sync.verifyDevice(true).note, "");
        // Every field the device holds is compared, each on its own.
        sim::DevicePreset planted = device.preset(77);
        planted.eventType[4] = 7;
        planted.channel[0] ^= 1;
        planted.fixedParameter[9] ^= 1;
        planted.initValue[12] ^= 1;
        device.setPreset(77, planted);
        ASSERT_TRUE(sync.verifyPresets({ 3, 77 }).started());
        const SyncReport report = run();
        EXPECT_EQ(report.matching, (std::vector<int> { 3 }));
        ASSERT_EQ(report.differing.size(), 1u);
        PresetDifference expected;
        expected.presetIndex = 77;
        expected.knobFields[4][kFieldEventType] = true;
        expected.knobFields[0][kFieldChannel] = true;
        expected.knobFields[9][kFieldFixedParameter] = true;
        expected.knobFields[12][kFieldInitValue] = true;
        EXPECT_EQ(report.differing[0], expected);
        EXPECT_FALSE(report.ok());
        ASSERT_EQ(report.differenceLines.size(), 4u);
        EXPECT_EQ(report.differenceLines[1].rfind("preset 78 / knob 5 event: ", 0), 0u)
            << report.differenceLines[1];
        EXPECT_TRUE(sync.differsFromDevice(77)) << "the reply is what the device holds";
    }

    TEST_F(DeviceSyncTest, CancelKeepsTheAnswersSoFarAndAVerifyFollowsASendWhenAsked)
    {
        ASSERT_TRUE(sync.getAllPresets().started());
        for (int i = 0; i < 85; ++i)
            EXPECT_FALSE(sync.tick(++now));
        sync.cancel();
        const SyncReport cancelled = run();
        EXPECT_TRUE(cancelled.cancelled);
        EXPECT_EQ(cancelled.fetched.size(), 2u); // data and init values of 1 and 2, 20 ms apart
        EXPECT_TRUE(cancelled.noReply.empty());

        sync.verifyAfterSend = true;
        bank.selectedPreset = 9;
        ASSERT_FALSE(protocol.sendSelectedPreset(true, true).abandon());
        runTransfer();
        EXPECT_FALSE(sync.tick(++now)) << "not before the Program Change";
        EXPECT_FALSE(sync.busy());
        protocol.Timer4Timer();
        const SyncReport verified = run();
        EXPECT_EQ(std::pair(verified.job, verified.matching),
            std::pair(SyncJob::send, std::vector<int> { 9 }));

        // Without an input nothing is read back, and the outcome says so.
        protocol.chooseInput(1); // "no device"
        ASSERT_FALSE(protocol.sendSelectedPreset(true, false).abandon());
        runTransfer();
        protocol.Timer4Timer();
        const std::optional<SyncReport> unproven = sync.tick(++now);
        ASSERT_TRUE(unproven);
        EXPECT_TRUE(unproven->notVerified && !unproven->ok());
        EXPECT_FALSE(sync.busy());
        EXPECT_EQ(host.statuses.back(), "Sent (not verified: no input port)");
    }

    TEST_F(DeviceSyncTest, WhatIsLostIsAskedForAndSentAgainInLaterRounds)
    {
        for (int p = 0; p < kPresetCount; ++p)
            device.setPreset(p, numbered(p));
        // Lost requests are asked again in later passes; only the silent one is missing.
        link.loseRequestOnce = { 5, 5, 40 };
        link.silent = { 99 };
        ASSERT_TRUE(sync.getAllPresets().started());
        const SyncReport got = run();
        EXPECT_EQ(got.noReply, std::vector<int> { 99 });
        EXPECT_EQ(got.fetched.size(), 127u);
        applyFetched(bank.presets, got.fetched);
        EXPECT_EQ(sync.mark(5), DeviceMark::verified);
        EXPECT_EQ(sync.mark(99), DeviceMark::unknown);

        // A send whose data for two presets is lost is read back, and those
        // two go again; the marks say what is known before and after.
        link.silent.clear();
        for (int p : { 3, 7, 60 })
            bank.presets[static_cast<std::size_t>(p)].eventType.fill(p);
        link.loseDataOnce = { 7, 60, 60 };
        const std::size_t from = link.messages.size();
        ASSERT_FALSE(protocol.sendPresets(std::vector<int> { 3, 7, 60 }).abandon());
        std::vector<DeviceMark> marks; // of preset 7, as each round's transfer ends
        const SyncReport proven = run([&] { marks.push_back(sync.mark(7)); });
        EXPECT_EQ(proven.lines(), std::vector<std::string> { "Sent and verified 3 presets" });
        EXPECT_TRUE(link.loseDataOnce.empty()); // 7 went twice, 60 three times
        EXPECT_EQ(presetsSent(from), (std::vector<int> { 3, 7, 60 })); // what arrived
        EXPECT_EQ(marks,
            (std::vector<DeviceMark> { DeviceMark::sent, DeviceMark::sent, DeviceMark::verified }));
        EXPECT_EQ(sync.mark(60), DeviceMark::verified);
        // (A preset the device never takes ends the rounds named: the session's test.)
    }

    TEST_F(DeviceSyncTest, FindsTheShortestDelayTheDeviceKeepsUpWithAndPutsTheProbeBack)
    {
        sim::LimitedDevice busy(device, sim::LinkLimits { 45, 0, 0, 1 });
        link.emulator = nullptr;
        link.limited = &busy;
        link.delay = &settings.delay;
        device.setPreset(9, numbered(9));
        device.setPreset(10, numbered(10));
        const sim::DevicePreset before = device.preset(9);
        (void)protocol.setDelayText("200");
        ASSERT_TRUE(sync.findFastestDelay(9).started());
        const SyncReport found = run();
        EXPECT_GE(found.delayFound, 45) << "a Delay at which the device loses messages";
        EXPECT_LE(found.delayFound, 48);
        EXPECT_EQ(settings.delay, found.delayFound);
        EXPECT_EQ(found.lines().front(),
            "The fastest Delay the device keeps up with is " + std::to_string(found.delayFound)
                + " ms; it is now the Delay.");
        EXPECT_EQ(device.preset(9), before) << "the probe presets are back as they were";
        EXPECT_EQ(device.preset(10).fixedParameter, numbered(10).fixedParameter);
        EXPECT_GT(busy.drops().busy, 0u);

        // A busy machine spaced the first probe's messages wider than asked,
        // so it passed at a Delay too short for the device; the two going
        // back show it, and the search goes on above that Delay.
        link.latePuts = 11; // the first probe and its read-back
        ASSERT_TRUE(sync.findFastestDelay(9).started());
        EXPECT_GE(run().delayFound, 45);
        EXPECT_EQ(device.preset(9), before);

        // A device that does not answer keeps the Delay as it was.
        link.silent = { 9 };
        ASSERT_TRUE(sync.findFastestDelay(9).started());
        EXPECT_EQ(run().delayFound, 0);
        EXPECT_EQ(settings.delay, found.delayFound);
    }

    TEST(PresetListText, JoinsRunsOfThreeOrMore)
    {
        const std::pair<std::vector<int>, std::string> cases[] = {
            { {}, "" },
            { { 16, 89 }, "17, 90" },
            { { 0, 1 }, "1, 2" },
            { { 0, 1, 2, 3, 8, 10, 11, 12, 127 }, "1-4, 9, 11-13, 128" },
        };
        for (const auto& [presets, text] : cases)
            EXPECT_EQ(presetListText(presets), text);
    }

} // namespace
} // namespace kestrow
