#include "fakes.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

using testing::frameBytes;
using testing::ProtocolRig;

class DeviceProtocolTest : public ::testing::Test, protected ProtocolRig { };

TEST_F(DeviceProtocolTest, SendBanksFrom126WrapsAndCountsInTheCaption)
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
    const std::vector<std::string> expected { "Sending Preset:1", "Sending Preset:1",
        "Sending Preset:2", "Sending Preset:2", "Sending Preset:127", "Sending Preset:127",
        "Sending Preset:128", "Sending Preset:128", "Kestrow Editor:   ZEMBRA CONTROL" };
    EXPECT_EQ(host.captions, expected);
    for (int device : link.devices)
        EXPECT_EQ(device, 1);

    // One Program Change for the selected preset, then nothing more.
    EXPECT_TRUE(host.timers[ProtocolTimer::Timer4]);
    EXPECT_FALSE(host.timers[ProtocolTimer::Timer1]);
    protocol.Timer4Timer();
    ASSERT_EQ(link.messages.size(), 9u);
    EXPECT_EQ(link.messages.back().size(), 1u);
    EXPECT_EQ(link.messages.back()[0].status, 0xC0);
    EXPECT_EQ(link.messages.back()[0].data1, 126);
    EXPECT_FALSE(host.timers[ProtocolTimer::Timer4]);
}

TEST_F(DeviceProtocolTest, SendAllPresetsOnADialTakes256Ticks)
{
    choosePorts();
    protocol.setDeviceVariant(DeviceVariant::zembraDial);
    ASSERT_FALSE(protocol.sendAllPresets().abandon());
    EXPECT_EQ(protocol.sendCount(), 128 * 84);
    EXPECT_EQ(runTransfer(), 256);
    EXPECT_EQ(host.captions.back(), "Kestrow Editor:   ZEMBRA DIAL");
    EXPECT_EQ(protocol.lastSentPreset(), 127);
}

TEST_F(DeviceProtocolTest, InitValuesOnlyOnAControlQueuesNothing)
{
    choosePorts();
    ASSERT_FALSE(protocol.sendSelectedPreset(false, true).abandon());
    EXPECT_EQ(protocol.sendCount(), 0);
    EXPECT_TRUE(protocol.timerEnabled(ProtocolTimer::Timer1));
    for (int i = 0; i < 5; ++i)
        protocol.Timer1Timer();
    EXPECT_TRUE(link.messages.empty());
    EXPECT_TRUE(host.captions.empty());

    protocol.sendInitValuesNow(); // Dial only
    EXPECT_TRUE(link.messages.empty());
}

TEST_F(DeviceProtocolTest, InitValuesNowGoesOutAtOnceWithoutTouchingTheSendBuffer)
{
    choosePorts();
    protocol.setDeviceVariant(DeviceVariant::zembraDial);
    bank.selectedPreset = 4;
    bank.presets[4].initValue[15] = 99;
    protocol.sendPreset(0, true, false);
    const int count = protocol.sendCount();
    protocol.sendInitValuesNow();
    ASSERT_EQ(link.messages.size(), 1u);
    const auto bytes = link.bytesOf(0);
    ASSERT_EQ(bytes.size(), 26u);
    EXPECT_EQ(bytes[6], 0x21);
    EXPECT_EQ(bytes[7], 4);
    EXPECT_EQ(bytes[24], 99);
    EXPECT_EQ(protocol.sendCount(), count);
    EXPECT_EQ(protocol.sendPosition(), 0);
}

TEST_F(DeviceProtocolTest, PortChecksGiveCodeAndTextAndSilentCasesSendNothing)
{
    auto check = protocol.sendSelectedPreset(true, true);
    EXPECT_EQ(check.code, 1);
    EXPECT_EQ(check.text, "You need to select the \"PC -> zembraControl\" port corresponding to your "
                          "zembraDevice in the Device Settings Menu.");
    check = protocol.getPreset();
    EXPECT_EQ(check.code, 3);
    EXPECT_EQ(check.text,
        "You need to select the MidiIn/Out ports corresponding to your zembraDevice in the Device "
        "Settings Menu.");
    protocol.chooseOutput(0);
    check = protocol.getPreset();
    EXPECT_EQ(check.code, 2);
    EXPECT_EQ(check.text, "You need to select the \"zembraControl -> PC\" port corresponding to your "
                          "zembraDevice in the Device Settings Menu.");
    EXPECT_TRUE(link.messages.empty());

    // Send button / auto send with "no device": nothing sent, nothing shown.
    protocol.chooseOutput(2);
    protocol.sendPreset(0, true, true);
    EXPECT_FALSE(protocol.timerEnabled(ProtocolTimer::Timer1));
    EXPECT_TRUE(link.messages.empty());

    // A chosen output that would not open: silent too.
    link.failOpen = true;
    link.openOutputs.clear();
    protocol.chooseOutput(1);
    EXPECT_FALSE(protocol.sendAllPresets().abandon());
    EXPECT_FALSE(protocol.timerEnabled(ProtocolTimer::Timer1));
}

TEST_F(DeviceProtocolTest, ProgramChangeStatusFollowsTheMasterChannelText)
{
    choosePorts();
    const std::vector<std::pair<std::string, int>> cases { { "16", 0xCF }, { "1", 0xC0 },
        { "10", 0xC9 }, { "abc", 0xC0 }, { "", 0xC0 }, { "0", 0xC0 }, { "17", 0xCF }, { "-3", 0xC0 } };
    for (const auto& [text, status] : cases) {
        settings.masterChannelText = text;
        protocol.sendProgramChange(5);
        ASSERT_FALSE(link.messages.empty());
        EXPECT_EQ(link.messages.back().at(0).status, status) << text;
        EXPECT_EQ(link.messages.back().at(0).data1, 5);
    }
}

TEST_F(DeviceProtocolTest, ThruConfigurationMessage)
{
    choosePorts();
    settings.channelEventsThru = true;
    settings.sysexEventsThru = false;
    settings.realtimeEventsThru = true;
    settings.masterChannelText = "10";
    protocol.sendThruConfiguration();
    EXPECT_EQ(link.bytesOf(0), frameBytes({ 0x50, 0x05, 0x09, 0xF7 }));

    settings.channelEventsThru = settings.sysexEventsThru = settings.realtimeEventsThru = false;
    settings.masterChannelText = "0";
    protocol.sendThruConfiguration();
    EXPECT_EQ(link.bytesOf(1), frameBytes({ 0x50, 0x00, 0x00, 0xF7 }));
}

TEST_F(DeviceProtocolTest, ConfigurationAndVersionRepliesFillTheSettings)
{
    choosePorts();
    for (const MidiEvent& e : sysExEvents(frameBytes({ 0x50, 0x05, 0x09, 0xF7 })))
        protocol.replyCollector(e);
    EXPECT_TRUE(settings.channelEventsThru);
    EXPECT_FALSE(settings.sysexEventsThru);
    EXPECT_TRUE(settings.realtimeEventsThru);
    EXPECT_EQ(settings.masterChannelText, "10");
    for (const MidiEvent& e : sysExEvents(frameBytes({ 0x00, 1, 12, 0xF7 })))
        protocol.replyCollector(e);
    EXPECT_EQ(settings.versionText, "1.12");
    EXPECT_EQ(host.settingsChanges, 2);
}

TEST_F(DeviceProtocolTest, PresetReplyChangesOnlyTheNumericColumnsOfItsPreset)
{
    bank.presets[3].name = "Strings";
    bank.presets[3].knobName[0] = "Cutoff";
    bank.presets[3].initValue[2] = 77;
    const Preset otherBefore = bank.presets[2];
    std::vector<std::uint8_t> reply = frameBytes({ 0x20, 3, 0 });
    for (int i = 0; i < 48; ++i)
        reply.push_back(static_cast<std::uint8_t>(i == 17 ? 0xE5 : i));
    reply.push_back(0xF7);
    for (const MidiEvent& e : sysExEvents(reply))
        protocol.replyCollector(e);

    const Preset& p = bank.presets[3];
    EXPECT_EQ(p.channel[1], 1);
    EXPECT_EQ(p.eventType[0], 16);
    EXPECT_EQ(p.eventType[1], 0x65); // 0xE5 masked
    EXPECT_EQ(p.fixedParameter[15], 47);
    EXPECT_EQ(p.initValue[2], 77);
    EXPECT_EQ(p.name, "Strings");
    EXPECT_EQ(p.knobName[0], "Cutoff");
    EXPECT_EQ(bank.presets[2], otherBefore);
    EXPECT_EQ(host.refreshed, std::vector<int> { 3 });
    EXPECT_EQ(host.captions.back(), "Getting Preset:4");

    // Preset 128 brings the title back.
    reply[7] = 127;
    for (const MidiEvent& e : sysExEvents(reply))
        protocol.replyCollector(e);
    EXPECT_EQ(host.captions.back(), "Kestrow Editor:   ZEMBRA CONTROL");
}

TEST_F(DeviceProtocolTest, GetPresetOnADialAsksForInitValues400msLater)
{
    choosePorts();
    protocol.setDeviceVariant(DeviceVariant::zembraDial);
    bank.selectedPreset = 9;
    const int closesBefore = link.inputCloses;
    ASSERT_FALSE(protocol.getPreset().abandon());
    EXPECT_EQ(link.inputCloses, closesBefore + 1);
    EXPECT_EQ(link.openedInputs.back(), 0);
    ASSERT_EQ(link.messages.size(), 1u);
    EXPECT_EQ(link.bytesOf(0), frameBytes({ 0x26, 9, 0, 0xF7 }));
    EXPECT_TRUE(host.timers[ProtocolTimer::Timer3]);

    protocol.Timer3Timer();
    ASSERT_EQ(link.messages.size(), 2u);
    EXPECT_EQ(link.bytesOf(1), frameBytes({ 0x27, 9, 0, 0xF7 }));
    EXPECT_FALSE(host.timers[ProtocolTimer::Timer3]);
    EXPECT_EQ(host.refreshed.back(), 9);

    // On a zembraControl no init values request follows.
    protocol.setDeviceVariant(DeviceVariant::zembraControl);
    protocol.getPreset();
    EXPECT_FALSE(host.timers[ProtocolTimer::Timer3]);
}

TEST_F(DeviceProtocolTest, DelayRuleRewritesTheTextAndSetsBothTimers)
{
    const std::vector<std::pair<std::string, int>> cases { { "0350", 350 }, { "", 200 },
        { "abc", 200 }, { "12x", 200 }, { "500", 500 }, { "99999999999", 200 }, { "0", 1 } };
    for (const auto& [text, delay] : cases) {
        DelayEntry entry = protocol.setDelayText(text);
        EXPECT_EQ(entry.delay, delay) << text;
        EXPECT_EQ(entry.text, std::to_string(delay)) << text;
        EXPECT_EQ(settings.delay, delay);
        EXPECT_EQ(host.intervals[ProtocolTimer::Timer1], delay);
        EXPECT_EQ(host.intervals[ProtocolTimer::Timer4], delay);
    }
}

TEST_F(DeviceProtocolTest, NoDeviceDuringATransferSilencesTheRemainingTicks)
{
    choosePorts();
    bank.selectedPreset = 10;
    protocol.sendBanks();
    protocol.Timer1Timer();
    protocol.Timer1Timer();
    protocol.chooseOutput(2); // "no device"
    EXPECT_EQ(runTransfer(), 6);
    EXPECT_EQ(link.messages.size(), 2u);
    EXPECT_EQ(host.captions.size(), 9u); // the caption still counts through
    EXPECT_EQ(host.captions[7], "Sending Preset:14");
}

TEST_F(DeviceProtocolTest, ANewSendReplacesARunningTransfer)
{
    choosePorts();
    protocol.sendAllPresets();
    for (int i = 0; i < 10; ++i)
        protocol.Timer1Timer();
    protocol.sendPreset(42, true, true);
    EXPECT_EQ(protocol.sendPosition(), 0);
    EXPECT_EQ(runTransfer(), 2);
    EXPECT_EQ(link.bytesOf(10)[7], 42);
    EXPECT_EQ(link.bytesOf(11)[6], 0x30);
}

TEST_F(DeviceProtocolTest, PortChoicesEnableTheDialogButtonsAndAskTheDevice)
{
    protocol.chooseInput(1);
    EXPECT_FALSE(settings.getConfigurationEnabled());
    EXPECT_FALSE(settings.configureEnabled());
    EXPECT_TRUE(link.messages.empty()); // no output: no queries
    EXPECT_EQ(link.openedInputs, std::vector<int> { 1 });

    protocol.chooseOutput(0);
    EXPECT_TRUE(settings.getConfigurationEnabled());
    EXPECT_TRUE(link.outputIsOpen(0));
    protocol.reopenInputAndRequestConfiguration();
    ASSERT_EQ(link.messages.size(), 2u);
    EXPECT_EQ(link.bytesOf(0), frameBytes({ 0x06, 0, 0, 0xF7 }));
    EXPECT_EQ(link.bytesOf(1), frameBytes({ 0x56, 0, 0, 0xF7 }));

    protocol.chooseInput(2); // "no device"
    EXPECT_EQ(settings.selectedInput, -1);
    EXPECT_FALSE(settings.getConfigurationEnabled());
    EXPECT_EQ(settings.inputList().back(), "no device");
    EXPECT_EQ(settings.outputList().size(), 3u);
}

} // namespace
} // namespace kestrow
