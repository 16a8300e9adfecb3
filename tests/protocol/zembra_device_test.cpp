#include "fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kestrow {
namespace {

    using sim::Variant;
    using sim::ZembraDevice;
    using testing::Bytes;
    using testing::frameBytes;
    using testing::initValues;
    using testing::presetData;

    TEST(ZembraDeviceTest, MalformedAndForeignMessagesChangeNothing)
    {
        ZembraDevice device(Variant::dial);
        const ZembraDevice fresh(Variant::dial);
        device.receive(frameBytes({ 0x50, 0x00, 0x00, 0xF7 })); // nothing passes thru
        std::vector<Bytes> bad(4, presetData(3, 1));
        bad[0].erase(bad[0].begin() + 20);
        bad[1][30] = 0x90;
        bad[2].pop_back();
        bad[3][4] = 0x15;
        for (const Bytes& m : { frameBytes({ 0x50, 0x08, 0x00, 0xF7 }),
                 frameBytes({ 0x50, 0x01, 0x10, 0xF7 }), Bytes {}, Bytes { 0x45 }, Bytes { 0xF7 },
                 Bytes { 0x90, 60 }, Bytes { 0xF8, 0xF8 } })
            bad.push_back(m);
        for (const Bytes& m : bad)
            EXPECT_TRUE(device.receive(m).empty());
        EXPECT_EQ(device.preset(3), fresh.preset(3));
        EXPECT_EQ(std::tuple(device.thruFlags(), device.masterChannel(),
                      device.counters().presetDataStored, device.counters().ignored),
            std::tuple(0, 1, 0u, 11u));
    }

    TEST(ZembraDeviceTest, ThruFlagsDecideWhatPassesOnUnchangedAndAControlHasNoInitValues)
    {
        ZembraDevice device(Variant::control);
        const Bytes note { 0x91, 60, 100 }, clock { 0xF8 },
            foreign { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7 };
        device.receive(frameBytes({ 0x50, 0x05, 0x00, 0xF7 })); // channel + realtime
        EXPECT_EQ(device.receive(note), std::vector<Bytes> { note });
        EXPECT_EQ(device.receive(clock), std::vector<Bytes> { clock });
        EXPECT_TRUE(device.receive(foreign).empty());
        // A zembraControl neither keeps nor reports init values.
        EXPECT_TRUE(device.receive(initValues(1, 9)).empty());
        EXPECT_EQ(device.preset(1).initValue[0], 0);
        EXPECT_TRUE(device.receive(frameBytes({ 0x27, 1, 0, 0xF7 })).empty());
        // A Program Change off the master channel passes through and selects nothing.
        EXPECT_EQ(device.receive(Bytes { 0xC3, 3 }), std::vector<Bytes> { Bytes({ 0xC3, 3 }) });
        EXPECT_EQ(device.currentProgram(), 0);
        device.receive(frameBytes({ 0x50, 0x02, 0x00, 0xF7 })); // SysEx only
        EXPECT_TRUE(device.receive(note).empty());
        EXPECT_TRUE(device.receive(clock).empty());
        EXPECT_EQ(device.receive(foreign), std::vector<Bytes> { foreign });
        EXPECT_TRUE(device.receive(presetData(0, 0)).empty()); // its own messages never pass
    }

    TEST(ZembraDeviceTest, StateFileRoundTripsAndDamagedFilesLeaveTheDeviceAsItWas)
    {
        const auto dir = std::filesystem::temp_directory_path()
            / ("zembra_state_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        ZembraDevice source(Variant::dial);
        source.receive(presetData(5, 20));
        source.receive(presetData(127, 90));
        source.receive(initValues(127, 127));
        source.receive(frameBytes({ 0x50, 0x03, 0x0F, 0xF7 }));
        source.receive(Bytes { 0xCF, 44 });
        const auto good = dir / "good.txt";
        ASSERT_TRUE(source.saveState(good));
        EXPECT_FALSE(std::filesystem::exists(dir / "good.txt.tmp"));
        std::ifstream in(good);
        const std::string text((std::istreambuf_iterator<char>(in)), {});

        std::string outOfRange = text;
        outOfRange.replace(outOfRange.find("program 5 ") + 10, 1, "200 ");
        const std::vector<std::string> damaged { text.substr(0, text.size() / 2 + 3), outOfRange,
            "zembra-device-state 9\n" + text.substr(text.find('\n') + 1),
            std::string("\x00\xFF\x01garbage", 10), "", text.substr(0, text.find("program 100 ")) };
        ZembraDevice target(Variant::dial);
        target.receive(presetData(5, 70));
        target.receive(frameBytes({ 0x50, 0x01, 0x02, 0xF7 }));
        const auto before = target.preset(5);
        for (std::size_t i = 0; i <= damaged.size(); ++i) {
            const auto path = dir / ("damaged" + std::to_string(i)); // the last one is missing
            if (i < damaged.size())
                std::ofstream(path, std::ios::binary) << damaged[i];
            EXPECT_FALSE(target.loadState(path)) << i;
            EXPECT_EQ(target.preset(5), before) << i;
            EXPECT_EQ(target.masterChannel(), 3) << i;
        }
        ASSERT_TRUE(target.loadState(good));
        for (int p = 0; p < 128; ++p)
            ASSERT_EQ(target.preset(p), source.preset(p)) << p;
        EXPECT_EQ(std::tuple(target.thruFlags(), target.masterChannel(), target.currentProgram()),
            std::tuple(3, 16, 44));
        std::filesystem::remove_all(dir);
    }

} // namespace
} // namespace kestrow
