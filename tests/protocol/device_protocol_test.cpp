#include "fakes.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrow {
namespace {

    using testing::frameBytes;

    class DeviceProtocolTest : public ::testing::Test, protected testing::ProtocolRig {
    protected:
        void feed(const testing::Bytes& bytes)
        {
            for (const MidiEvent& e : sysExEvents(bytes))
                protocol.replyCollector(e);
        }
        /// Status and first data byte of the last message, which must be one event.
        std::pair<int, int> lastEvent() const
        {
            EXPECT_EQ(link.messages.back().size(), 1u);
            return { link.messages.back().at(0).status, link.messages.back().at(0).data1 };
        }
    };

    TEST_F(DeviceProtocolTest, SendBanksFrom126WrapsAndCountsInTheCaptionAndInitValuesGoOnlyToADial)
    {
        choosePorts();
        bank.selectedPreset = 126;
        ASSERT_FALSE(protocol.sendBanks().abandon());
        EXPECT_EQ(protocol.sendCount(), 4 * 68);
        EXPECT_EQ(runTransfer(), 8);
        std::vector<int> presets;
        for (std::size_t i = 0; i < link.messages.size(); ++i)
            presets.push_back(link.bytesOf(i)[7]);
        EXPECT_EQ(presets, (std::vector<int> { 0, 0, 1, 1, 126, 126, 127, 127 }));
        std::vector<std::string> captions;
        for (int preset : presets)
            captions.push_back("Sending Preset:" + std::to_string(preset + 1));
        captions.push_back("Kestrow Editor:   ZEMBRA CONTROL");
        EXPECT_EQ(host.captions, captions);
        EXPECT_EQ(link.devices, std::vector<int>(8, 1));

        // One Program Change for the selected preset, then nothing more.
        protocol.tick(*protocol.deadline(ProtocolTimer::Timer4));
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer4), std::nullopt);
        ASSERT_EQ(link.messages.size(), 9u);
        EXPECT_EQ(lastEvent(), std::pair(0xC0, 126));

        // Init values alone queue nothing on a Control or a Fader.
        link.messages.clear();
        for (DeviceVariant variant : { DeviceVariant::zembraControl, DeviceVariant::zembraFader }) {
            protocol.setDeviceVariant(variant);
            host.captions.clear(); // the new title
            ASSERT_FALSE(protocol.sendSelectedPreset(false, true).abandon());
            EXPECT_EQ(protocol.sendCount(), 0);
            EXPECT_EQ(runTransfer(5), 5); // ticks that send nothing
            protocol.sendInitValuesNow(); // Dial only
            EXPECT_TRUE(link.messages.empty());
            EXPECT_TRUE(host.captions.empty());
        }

        // On a Dial it goes out at once and leaves a queued transfer alone.
        protocol.setDeviceVariant(DeviceVariant::zembraDial);
        bank.selectedPreset = 4;
        bank.presets[4].initValue.fill(99);
        protocol.sendPreset(0, true, false);
        const int count = protocol.sendCount();
        protocol.sendInitValuesNow();
        ASSERT_EQ(link.messages.size(), 1u);
        EXPECT_EQ(link.bytesOf(0), testing::initValues(4, 99));
        EXPECT_EQ(protocol.sendCount(), count);
        EXPECT_EQ(protocol.sendPosition(), 0);
    }

    TEST_F(DeviceProtocolTest, PortChecksAndPortChoices)
    {
        // The window shows the texts; here each code has its own.
        auto check = protocol.sendSelectedPreset(true, true);
        EXPECT_EQ(std::tie(check.missing, check.text),
            std::tuple(MissingPorts::output, kPortWarnings[1]));
        check = protocol.getPreset();
        EXPECT_EQ(
            std::tie(check.missing, check.text), std::tuple(MissingPorts::both, kPortWarnings[3]));
        protocol.chooseInput(1);
        EXPECT_FALSE(settings.getConfigurationEnabled());
        EXPECT_EQ(link.openedInputs, std::vector<int> { 1 });
        protocol.chooseOutput(0);
        EXPECT_TRUE(link.outputIsOpen(0));
        EXPECT_TRUE(settings.getConfigurationEnabled());
        protocol.chooseInput(2); // "no device"; the device is asked all the same
        EXPECT_EQ(settings.selectedInput, -1);
        EXPECT_FALSE(settings.getConfigurationEnabled());
        now += std::chrono::milliseconds(settings.delay);
        protocol.Timer5Timer(); // the second query is due
        EXPECT_EQ(link.messages.size(), 2u); // (which: the emulator test below)
        link.messages.clear();
        check = protocol.getPreset();
        EXPECT_EQ(
            std::tie(check.missing, check.text), std::tuple(MissingPorts::input, kPortWarnings[2]));

        // Send button / auto send with "no device", or an output that will not
        // open: nothing sent, no box; the status line says why.
        protocol.chooseOutput(2);
        protocol.sendPreset(0, true, true);
        EXPECT_FALSE(protocol.timerEnabled(ProtocolTimer::Timer1));
        link.failOpen = true;
        link.openOutputs.clear();
        protocol.chooseOutput(1);
        EXPECT_FALSE(protocol.sendAllPresets().abandon());
        EXPECT_FALSE(protocol.timerEnabled(ProtocolTimer::Timer1));
        EXPECT_TRUE(link.messages.empty());

        // A port that will not open or will not take a message is reported, with its reason.
        protocol.chooseInput(0);
        link.failOpen = false;
        protocol.chooseOutput(1);
        link.failPut = true;
        protocol.sendProgramChange(3);
        EXPECT_EQ(host.statuses,
            (std::vector<std::string> { "No output port: choose one in Device Settings",
                "out 1 will not open", "out 1 will not open", "in will not open",
                "out 1 will not open", "out 1 takes nothing" }));
    }

    TEST(DeviceSettingsModelTest, NewPortListsKeepTheChosenPortsByName)
    {
        using Names = std::vector<std::string>;
        const std::tuple<Names, std::string, Names, std::string> cases[] = {
            { { "A", "B" }, "B", { "C", "B", "A" }, "B" }, // moved
            { { "A", "B" }, "A", { "B" }, "no device" }, // gone
            { { "A" }, "no device", { "A", "B" }, "no device" }, // none stays none
        };
        for (const auto& [before, chosen, after, expected] : cases) {
            DeviceSettingsModel model;
            model.setPortNames(before, before);
            const auto at = [&](const Names& list) {
                return static_cast<int>(std::ranges::find(list, chosen) - list.begin());
            };
            model.selectedOutput = at(model.outputList());
            model.selectedInput = chosen == "no device" ? -1 : at(before);
            model.updatePortNames(after, after);
            EXPECT_EQ(model.outputList()[static_cast<std::size_t>(model.selectedOutput)], expected);
            EXPECT_EQ(model.inputChosen()
                    ? model.inputList()[static_cast<std::size_t>(model.selectedInput)]
                    : "no device",
                expected);
        }
    }

    TEST_F(DeviceProtocolTest, TypedDelayAndMasterChannelTextsAndWhatTheyDecide)
    {
        const std::vector<std::pair<std::string, int>> delays { { "0350", 350 }, { "", 200 },
            { "abc", 200 }, { "12x", 200 }, { "500", 500 }, { "99999999999", 200 }, { "0", 1 },
            { " 300", 300 }, { "300\t ", 300 }, { " ", 200 }, { "3 00", 200 } };
        for (const auto& [text, delay] : delays) {
            DelayEntry entry = protocol.setDelayText(text);
            EXPECT_EQ(std::tie(entry.delay, entry.text, settings.delay),
                std::tuple(delay, std::to_string(delay), delay))
                << text;
        }
        choosePorts();
        const std::vector<std::pair<std::string, int>> cases { { "16", 15 }, { "1", 0 },
            { "10", 9 }, { "abc", 0 }, { "", 0 }, { "0", 0 }, { "17", 15 }, { "-3", 0 } };
        for (const auto& [text, channel] : cases) {
            settings.masterChannelText = text;
            protocol.sendProgramChange(5);
            EXPECT_EQ(lastEvent(), std::pair(0xC0 + channel, 5)) << text;
            settings.channelEventsThru = settings.realtimeEventsThru = channel == 9;
            settings.sysexEventsThru = false;
            protocol.sendThruConfiguration();
            const std::uint8_t flags = channel == 9 ? 0x05 : 0x00; // 50 05 09 for "10"
            EXPECT_EQ(link.bytesOf(link.messages.size() - 1),
                frameBytes({ 0x50, flags, static_cast<std::uint8_t>(channel), 0xF7 }))
                << text;
        }
    }

    // The flow tests read settings and presets back; here what they cannot see.
    TEST_F(DeviceProtocolTest, APresetReplyFillsOnlyTheNumericColumnsOfThatPreset)
    {
        bank.presets[3].name = "Strings";
        bank.presets[3].knobName[0] = "Cutoff";
        bank.presets[3].initValue[2] = 77;
        PresetBank expected = bank;
        Preset& p = expected.presets[3];
        for (int k = 0; k < kKnobCount; ++k)
            std::tie(p.channel[k], p.eventType[k], p.fixedParameter[k])
                = std::tuple(k, 16 + k, 32 + k);
        feed(testing::presetData(3, 0));
        EXPECT_EQ(bank.presets, expected.presets);
        EXPECT_EQ(host.refreshed, std::vector<int> { 3 });
        EXPECT_EQ(host.captions.back(), "Getting Preset:4");
    }

    TEST_F(DeviceProtocolTest, DelayedInitValuesRequestKeepsToThePresetAskedFor)
    {
        choosePorts();
        protocol.setDeviceVariant(DeviceVariant::zembraDial);
        bank.selectedPreset = 5;
        ASSERT_FALSE(protocol.getPreset().abandon());
        bank.selectedPreset = 9; // the user moves on within the 400 ms
        protocol.Timer3Timer();
        ASSERT_EQ(link.messages.size(), 2u);
        EXPECT_EQ(link.bytesOf(0), frameBytes({ 0x26, 5, 0, 0xF7 }));
        EXPECT_EQ(link.bytesOf(1), frameBytes({ 0x27, 5, 0, 0xF7 }));
        PresetBank expected = bank;
        expected.presets[5].initValue.fill(33);
        feed(testing::initValues(5, 33));
        EXPECT_EQ(bank.presets, expected.presets);
    }

    TEST_F(DeviceProtocolTest, PacedTimersRunFromDeadlinesOneDelayApart)
    {
        using std::chrono::milliseconds;
        auto at = [](int ms) { return PaceClock::time_point {} + milliseconds(ms); };
        // Timer4 runs from creation: one Program Change a delay after it.
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer4), at(200));
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer1), std::nullopt);
        protocol.chooseOutput(1); // no input: no replies awaited, only pacing runs
        protocol.setDelayText("20");
        protocol.tick(at(19));
        EXPECT_TRUE(link.messages.empty());
        protocol.tick(at(20));
        ASSERT_EQ(link.messages.size(), 1u);
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer4), std::nullopt);
        link.messages.clear();

        // Each wake-up comes 1 ms early (nothing goes) and then this late
        // after its deadline: a late one moves the rest by its own lateness
        // only, a very late one still sends a single message.
        now = at(1000);
        ASSERT_FALSE(protocol.sendBanks().abandon()); // 8 messages
        const std::vector<int> lateness { 0, 7, 0, 0, 65, 0, 3, 0 };
        std::vector<std::pair<std::size_t, int>> sent; // messages so far, ms after the command
        for (int late : lateness) {
            const PaceClock::time_point due = *protocol.deadline(ProtocolTimer::Timer1);
            protocol.tick(due - milliseconds(1));
            now = due + milliseconds(late);
            protocol.tick(now);
            protocol.tick(now);
            sent.emplace_back(link.messages.size(), (now - at(1000)) / milliseconds(1));
        }
        EXPECT_EQ(sent,
            (std::vector<std::pair<std::size_t, int>> { { 1, 20 }, { 2, 47 }, { 3, 67 }, { 4, 87 },
                { 5, 172 }, { 6, 192 }, { 7, 215 }, { 8, 235 } }));

        // The Program Change follows one delay after the last message; a
        // delay change moves the pending deadline with it.
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer1), std::nullopt);
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer4), at(1255));
        const int changes = host.scheduleChanges;
        protocol.setDelayText("50");
        EXPECT_GT(host.scheduleChanges, changes); // the window looks at the deadline again
        protocol.tick(at(1284));
        EXPECT_EQ(link.messages.size(), 8u);
        protocol.tick(at(1285));
        ASSERT_EQ(link.messages.size(), 9u);
        EXPECT_EQ(link.messages.back().at(0).status, 0xC0);
        EXPECT_EQ(protocol.deadline(ProtocolTimer::Timer4), std::nullopt);
    }

    TEST_F(DeviceProtocolTest, TransferShowsProgressAndStopsWhereItCannotSend)
    {
        choosePorts();
        bank.selectedPreset = 10;
        ASSERT_FALSE(protocol.sendBanks().abandon());
        protocol.Timer1Timer();
        protocol.Timer1Timer();
        protocol.chooseOutput(2); // "no device" in the middle of it
        EXPECT_EQ(runTransfer(), 1);
        EXPECT_EQ(link.messages.size(), 2u);
        EXPECT_EQ(host.captions.back(), "Kestrow Editor:   ZEMBRA CONTROL");

        protocol.chooseOutput(1);
        protocol.sendPreset(3, true, true);
        protocol.Timer1Timer();
        link.failPut = true; // the port takes nothing more
        EXPECT_EQ(runTransfer(), 1);
        link.failPut = false;
        protocol.sendPreset(4, true, true);
        EXPECT_EQ(runTransfer(), 2);
        EXPECT_EQ(host.statuses,
            (std::vector<std::string> { "Sending preset 1 of 4",
                "Sending stopped at preset 1 of 4: No output port: choose one in Device Settings",
                "Sending preset 1 of 1", "Sending stopped at preset 1 of 1: out 1 takes nothing",
                "Sending preset 1 of 1", "Sent" }));

        // A new send replaces a running one and starts from its beginning.
        const std::size_t before = link.messages.size();
        ASSERT_FALSE(protocol.sendAllPresets().abandon());
        for (int i = 0; i < 10; ++i)
            protocol.Timer1Timer();
        protocol.sendPreset(42, true, true);
        EXPECT_EQ(protocol.sendPosition(), 0);
        EXPECT_EQ(runTransfer(), 2);
        EXPECT_EQ(link.bytesOf(before + 10)[7], 42);
        EXPECT_EQ(link.bytesOf(before + 11)[6], 0x30);
    }

    TEST_F(DeviceProtocolTest, UnansweredRequestsAndAVanishedDeviceThroughTheEmulator)
    {
        sim::ZembraDevice device(sim::Variant::control, sim::DeviceVersion { 3, 4 });
        link.emulator = &device;
        link.deliver = [this](const MidiEvent& e) { protocol.replyCollector(e); };
        auto runFor = [this](int ms) { // a millisecond at a time, every timer at its deadline
            for (int t = 0; t < ms; ++t)
                tickAll(now + std::chrono::milliseconds(1));
        };
        protocol.Timer4Timer(); // the start-up Program Change, with no port yet

        // The version reply to the queries at open is lost: that query goes
        // once more. The second query goes one Delay after the first.
        protocol.chooseOutput(1);
        link.muteReplies = 1;
        protocol.chooseInput(1); // not the first: a reopen of the wrong input shows
        runFor(199);
        EXPECT_EQ(link.messages.size(), 1u);
        runFor(1000);
        EXPECT_EQ(link.messages.size(), 2u);
        EXPECT_TRUE(settings.versionText.empty());
        runFor(300);
        EXPECT_EQ(settings.versionText, "3.4");
        EXPECT_EQ(link.messages.size(), 3u);
        EXPECT_EQ(link.bytesOf(1), frameBytes({ 0x56, 0, 0, 0xF7 }));
        EXPECT_EQ(link.bytesOf(2), frameBytes({ 0x06, 0, 0, 0xF7 }));

        // A device that answers nothing: each request given up after 1 s + Delay.
        link.muteReplies = 100;
        bank.selectedPreset = 5;
        ASSERT_FALSE(protocol.getPreset().abandon());
        protocol.reopenInputAndRequestConfiguration();
        runFor(2900);
        EXPECT_EQ(protocol.pendingReplies(), 0);

        // The device vanishes during "Send All Presets": stopped within 2 s.
        link.muteReplies = 0;
        ASSERT_FALSE(protocol.sendAllPresets().abandon());
        runFor(600);
        link.vanished = true;
        runFor(2000);
        EXPECT_FALSE(protocol.timerEnabled(ProtocolTimer::Timer1));
        const std::size_t sentInAll = link.messages.size();
        protocol.sendPreset(0, true, true); // refused while the port is away
        EXPECT_EQ(link.messages.size(), sentInAll);

        // It comes back: found and bound again (the chosen ports, no others),
        // and it answers.
        link.vanished = false;
        link.reopenedOutputs.clear();
        link.openedInputs.clear();
        runFor(1250); // the ports are looked for once a second
        EXPECT_EQ(link.reopenedOutputs, std::vector<int> { 1 });
        EXPECT_EQ(link.openedInputs, std::vector<int> { 1 });
        EXPECT_EQ(protocol.nextDeadline(), std::nullopt);
        bank.presets[5].eventType.fill(99);
        ASSERT_FALSE(protocol.getPreset().abandon());
        EXPECT_TRUE(std::ranges::equal(bank.presets[5].eventType, device.preset(5).eventType));
        const auto noReply = [](const std::string& what) {
            return "No reply from the device within 1.2 s (asked for " + what
                + "): check that the input port is the device's and that its cable is in";
        };
        EXPECT_EQ(host.statuses,
            (std::vector<std::string> { noReply("preset 6"), noReply("version"),
                noReply("configuration"), "Sending preset 1 of 128", "Sending preset 2 of 128",
                "Sending preset 3 of 128",
                "Sending preset 4 of 128", // after it went, until the ports were looked for
                "Sending stopped at preset 4 of 128: \"out B\" and \"in B\" have gone: "
                "the device was unplugged, switched off or closed",
                "\"out B\" has gone: the device was unplugged, switched off or closed",
                "\"out B\" and \"in B\" are back", "Received" }));
    }

    /// The protocol against the emulated device in process: every message it
    /// puts reaches the device, every reply comes back through the collector.
    class ProtocolFlowTest : public ::testing::TestWithParam<sim::Variant>,
                             protected testing::ProtocolRig { };

    // From power-on: a random set sent paced, index 42 selected by Program
    // Change, presets read back after spoiling them here, and a thru
    // configuration (SysEx off, master channel 10) sent and read back.
    TEST_P(ProtocolFlowTest, SendAllReadBackAndConfigure)
    {
        const bool dial = GetParam() == sim::Variant::dial;
        const auto variant = static_cast<DeviceVariant>(GetParam()); // numbered alike
        sim::ZembraDevice device(GetParam(), sim::DeviceVersion { 2, 7 });
        link.emulator = &device;
        link.deliver = [this](const MidiEvent& e) { protocol.replyCollector(e); };
        protocol.setDeviceVariant(variant);
        choosePorts();

        std::mt19937 random(7);
        for (Preset& p : bank.presets)
            for (auto* column : { &p.channel, &p.eventType, &p.fixedParameter, &p.initValue })
                for (auto& value : *column)
                    value = static_cast<std::int32_t>(random() % (column == &p.channel ? 17 : 128));
        const PresetBank sent = bank;
        EXPECT_FALSE(protocol.sendAllPresets().abandon());
        EXPECT_EQ(runTransfer(), 256);
        EXPECT_EQ(protocol.lastSentPreset(), 127);
        const auto same = [](const auto& a, const auto& b) {
            return std::equal(a.begin(), a.end(), b.begin());
        };
        for (int p = 0; p < kPresetCount; ++p) {
            const Preset& was = sent.presets[static_cast<std::size_t>(p)];
            const sim::DevicePreset& held = device.preset(p);
            ASSERT_TRUE(same(held.channel, was.channel) && same(held.eventType, was.eventType)
                && same(held.fixedParameter, was.fixedParameter)
                && (!dial || same(held.initValue, was.initValue)))
                << "preset " << p;
        }
        bank.selectedPreset = 42;
        protocol.Timer4Timer(); // the closing Program Change

        for (int p : { 0, 1, 63, 126, 127 }) {
            Preset& preset = bank.presets[static_cast<std::size_t>(p)];
            for (auto* column :
                { &preset.channel, &preset.eventType, &preset.fixedParameter, &preset.initValue })
                column->fill(99);
            bank.selectedPreset = p;
            EXPECT_FALSE(protocol.getPreset().abandon()); // answered at once, as every request
            EXPECT_EQ(protocol.timerEnabled(ProtocolTimer::Timer3), dial);
            if (dial)
                protocol.Timer3Timer(); // 400 ms later in the window
            const Preset& original = sent.presets[static_cast<std::size_t>(p)];
            if (!dial) // not read back
                preset.initValue = original.initValue;
            EXPECT_EQ(preset, original) << p;
        }
        EXPECT_EQ(host.captions.back(), variantTitle(variant));

        settings.sysexEventsThru = false;
        settings.masterChannelText = "10";
        protocol.sendThruConfiguration();
        settings.sysexEventsThru = true;
        settings.masterChannelText = "1";
        protocol.reopenInputAndRequestConfiguration();
        now += std::chrono::milliseconds(settings.delay);
        protocol.Timer5Timer(); // the second query is due
        EXPECT_EQ(
            std::tuple(settings.masterChannelText, settings.sysexEventsThru,
                settings.channelEventsThru, settings.realtimeEventsThru, settings.versionText),
            std::tuple("10", false, true, true, "2.7"));
        const sim::DeviceCounters& counters = device.counters();
        EXPECT_EQ(std::tuple(counters.presetDataStored, counters.initValuesStored,
                      counters.trailersTaken, counters.ignored),
            std::tuple(128u, dial ? 128u : 0u, dial ? 0u : 128u, 0u));
        EXPECT_EQ(std::pair(device.currentProgram(), device.masterChannel()), std::pair(42, 10));
    }

    INSTANTIATE_TEST_SUITE_P(Variants, ProtocolFlowTest,
        ::testing::Values(sim::Variant::control, sim::Variant::fader, sim::Variant::dial),
        [](const auto& row) {
            return row.index == 0 ? "Control" : row.index == 1 ? "Fader" : "Dial";
        });

} // namespace
} // namespace kestrow
