#include "fakes.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrow {
namespace {

/// The editor's protocol against the emulated device, in process: every
/// message the protocol puts reaches the device, every reply comes back
/// through the reply collector.
class ProtocolFlowTest : public ::testing::TestWithParam<DeviceVariant>, protected testing::ProtocolRig {
protected:
    void SetUp() override
    {
        const DeviceVariant variant = GetParam();
        device = std::make_unique<sim::ZembraDevice>(
            variant == DeviceVariant::zembraDial ? sim::Variant::dial
                : variant == DeviceVariant::zembraFader ? sim::Variant::fader
                                                        : sim::Variant::control,
            sim::DeviceVersion { 2, 7 });
        link.emulator = device.get();
        link.deliver = [this](const MidiEvent& e) { protocol.replyCollector(e); };
        protocol.setDeviceVariant(variant);
        choosePorts();

        std::mt19937 random(42);
        for (Preset& p : bank.presets)
            for (int k = 0; k < kKnobCount; ++k) {
                p.channel[k] = static_cast<std::int32_t>(random() % 17);
                p.eventType[k] = static_cast<std::int32_t>(random() % 128);
                p.fixedParameter[k] = static_cast<std::int32_t>(random() % 128);
                p.initValue[k] = static_cast<std::int32_t>(random() % 128);
            }
    }

    void expectDeviceHolds(int index)
    {
        const Preset& p = bank.presets[static_cast<std::size_t>(index)];
        const sim::DevicePreset& d = device->preset(index);
        for (int k = 0; k < kKnobCount; ++k) {
            ASSERT_EQ(d.channel[k], p.channel[k]) << index << ":" << k;
            ASSERT_EQ(d.eventType[k], p.eventType[k]) << index << ":" << k;
            ASSERT_EQ(d.fixedParameter[k], p.fixedParameter[k]) << index << ":" << k;
            if (GetParam() == DeviceVariant::zembraDial) {
                ASSERT_EQ(d.initValue[k], p.initValue[k]) << index << ":" << k;
            }
        }
    }

    std::unique_ptr<sim::ZembraDevice> device;
};

TEST_P(ProtocolFlowTest, SendAllThenReadBackAndQuery)
{
    ASSERT_FALSE(protocol.sendAllPresets().abandon());
    EXPECT_EQ(runTransfer(), 256);
    for (int p = 0; p < kPresetCount; ++p)
        expectDeviceHolds(p);
    const bool dial = GetParam() == DeviceVariant::zembraDial;
    EXPECT_EQ(device->counters().presetDataStored, 128u);
    EXPECT_EQ(device->counters().initValuesStored, dial ? 128u : 0u);
    EXPECT_EQ(device->counters().trailersTaken, dial ? 0u : 128u);
    EXPECT_EQ(device->counters().ignored, 0u);

    bank.selectedPreset = 77;
    protocol.Timer4Timer();
    EXPECT_EQ(device->currentProgram(), 77);

    // Spoil a few presets in the editor and read them back.
    const PresetBank sent = bank;
    for (int p : { 0, 5, 77, 127 }) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.channel.fill(3);
        preset.eventType.fill(3);
        preset.fixedParameter.fill(3);
        preset.initValue.fill(3);
        bank.selectedPreset = p;
        ASSERT_FALSE(protocol.getPreset().abandon());
        if (dial)
            protocol.Timer3Timer();
        const Preset& back = bank.presets[static_cast<std::size_t>(p)];
        const Preset& original = sent.presets[static_cast<std::size_t>(p)];
        EXPECT_EQ(back.channel, original.channel) << p;
        EXPECT_EQ(back.eventType, original.eventType) << p;
        EXPECT_EQ(back.fixedParameter, original.fixedParameter) << p;
        if (dial) {
            EXPECT_EQ(back.initValue, original.initValue) << p;
        }
    }
    EXPECT_EQ(host.captions.back(), variantTitle(GetParam()));

    settings.channelEventsThru = false;
    settings.masterChannelText = "12";
    protocol.sendThruConfiguration();
    settings.masterChannelText = "1";
    settings.channelEventsThru = true;
    protocol.reopenInputAndRequestConfiguration();
    EXPECT_EQ(settings.versionText, "2.7");
    EXPECT_EQ(settings.masterChannelText, "12");
    EXPECT_FALSE(settings.channelEventsThru);
    EXPECT_TRUE(settings.sysexEventsThru);
}

TEST_P(ProtocolFlowTest, ThruTrafficDuringARequestDoesNotDisturbTheReply)
{
    protocol.sendAllPresets();
    runTransfer();
    // The device passes channel and realtime traffic back while a reply is due.
    EXPECT_FALSE(device->receive(std::vector<std::uint8_t> { 0x93, 64, 1 }).empty());
    for (const auto& m : device->receive(std::vector<std::uint8_t> { 0x93, 64, 1 }))
        protocol.replyCollector(MidiEvent { 0, m[0], m[1], m[2], 0 });
    for (int i = 0; i < 300; ++i)
        protocol.replyCollector(MidiEvent { 0, 0xF8, 0, 0, 0 });
    bank.presets[9].eventType.fill(1);
    bank.selectedPreset = 9;
    protocol.getPreset();
    EXPECT_EQ(bank.presets[9].eventType[0], device->preset(9).eventType[0]);
}

INSTANTIATE_TEST_SUITE_P(Variants, ProtocolFlowTest,
    ::testing::Values(DeviceVariant::zembraControl, DeviceVariant::zembraFader, DeviceVariant::zembraDial));

} // namespace
} // namespace kestrow
