#include "fakes.h"

#include <gtest/gtest.h>

namespace kestrow {
namespace {

    /// The editor's protocol against the emulated device, in process: every
    /// message the protocol puts reaches the device, every reply comes back
    /// through the reply collector.
    class ProtocolFlowTest : public ::testing::TestWithParam<DeviceVariant>,
                             protected testing::ProtocolRig { };

    TEST_P(ProtocolFlowTest, SendAllReadBackAndConfigure)
    {
        const DeviceVariant variant = GetParam();
        const bool dial = variant == DeviceVariant::zembraDial;
        sim::ZembraDevice device(dial                   ? sim::Variant::dial
                : variant == DeviceVariant::zembraFader ? sim::Variant::fader
                                                        : sim::Variant::control,
            sim::DeviceVersion { 2, 7 });
        link.emulator = &device;
        link.deliver = [this](const MidiEvent& e) { protocol.replyCollector(e); };
        protocol.setDeviceVariant(variant);
        choosePorts();

        const PresetBank sent = exerciseDevice(variant);
        testing::expectDeviceHolds(device, sent, dial);
        EXPECT_EQ(device.counters().presetDataStored, 128u);
        EXPECT_EQ(device.counters().initValuesStored, dial ? 128u : 0u);
        EXPECT_EQ(device.counters().trailersTaken, dial ? 0u : 128u);
        EXPECT_EQ(device.counters().ignored, 0u);
        EXPECT_EQ(device.currentProgram(), 42);
        EXPECT_EQ(device.masterChannel(), 10);
        EXPECT_EQ(settings.versionText, "2.7");

        // Channel and realtime traffic the device passes back while a reply is due.
        for (const auto& m : device.receive(std::vector<std::uint8_t> { 0x93, 64, 1 }))
            protocol.replyCollector(MidiEvent { 0, m.at(0), m.at(1), m.at(2), 0 });
        for (int i = 0; i < 300; ++i)
            protocol.replyCollector(MidiEvent { 0, 0xF8, 0, 0, 0 });
        bank.presets[9].eventType.fill(1);
        bank.selectedPreset = 9;
        EXPECT_FALSE(protocol.getPreset().abandon());
        EXPECT_EQ(bank.presets[9].eventType[0], sent.presets[9].eventType[0]);
    }

    INSTANTIATE_TEST_SUITE_P(Variants, ProtocolFlowTest,
        ::testing::Values(
            DeviceVariant::zembraControl, DeviceVariant::zembraFader, DeviceVariant::zembraDial),
        [](const ::testing::TestParamInfo<DeviceVariant>& row) {
            switch (row.param) {
            case DeviceVariant::zembraFader:
                return "zembraFader";
            case DeviceVariant::zembraDial:
                return "zembraDial";
            default:
                return "zembraControl";
            }
        });

} // namespace
} // namespace kestrow
