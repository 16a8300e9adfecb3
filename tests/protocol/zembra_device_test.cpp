#include "fakes.h"
#include "sim/zembra_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kestrow {
namespace {

using sim::Variant;
using sim::ZembraDevice;
using testing::frameBytes;

using Bytes = std::vector<std::uint8_t>;

Bytes knobData(std::uint8_t program, std::uint8_t base)
{
    Bytes m = frameBytes({ 0x20, program, 0 });
    for (int i = 0; i < 48; ++i)
        m.push_back(static_cast<std::uint8_t>((base + i) & 0x7F));
    m.push_back(0xF7);
    return m;
}

Bytes startValues(std::uint8_t program, std::uint8_t value)
{
    Bytes m = frameBytes({ 0x21, program, 0 });
    m.insert(m.end(), 16, value);
    m.push_back(0xF7);
    return m;
}

TEST(ZembraDeviceTest, StoresAndAnswersPresetsAndDialStartValues)
{
    ZembraDevice dial(Variant::dial);
    EXPECT_TRUE(dial.receive(knobData(12, 5)).empty());
    EXPECT_TRUE(dial.receive(startValues(12, 33)).empty());
    EXPECT_TRUE(dial.receive(frameBytes({ 0x30, 12, 0, 0xF7 })).empty());
    EXPECT_EQ(dial.counters().trailersTaken, 1u);

    auto replies = dial.receive(frameBytes({ 0x26, 12, 0, 0xF7 }));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], knobData(12, 5));
    replies = dial.receive(frameBytes({ 0x27, 12, 0, 0xF7 }));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], startValues(12, 33));

    // A zembraControl has no start values: it neither keeps nor reports them.
    ZembraDevice control(Variant::control);
    EXPECT_TRUE(control.receive(startValues(1, 9)).empty());
    EXPECT_EQ(control.preset(1).initValue[0], 0);
    EXPECT_TRUE(control.receive(frameBytes({ 0x27, 1, 0, 0xF7 })).empty());
}

TEST(ZembraDeviceTest, QueriesSetupAndProgramChange)
{
    ZembraDevice device(Variant::fader, { 1, 12 });
    auto replies = device.receive(frameBytes({ 0x06, 0, 0, 0xF7 }));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], frameBytes({ 0x00, 1, 12, 0xF7 }));

    EXPECT_TRUE(device.receive(frameBytes({ 0x50, 0x05, 0x09, 0xF7 })).empty());
    EXPECT_EQ(device.masterChannel(), 10);
    replies = device.receive(frameBytes({ 0x56, 0, 0, 0xF7 }));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], frameBytes({ 0x50, 0x05, 0x09, 0xF7 }));

    // Program change on the master channel selects; on another it is passed through.
    EXPECT_TRUE(device.receive(Bytes { 0xC9, 17 }).empty());
    EXPECT_EQ(device.currentProgram(), 17);
    replies = device.receive(Bytes { 0xC0, 3 });
    EXPECT_EQ(device.currentProgram(), 17);
    EXPECT_EQ(replies, std::vector<Bytes> { Bytes({ 0xC0, 3 }) });
}

TEST(ZembraDeviceTest, MalformedAndForeignMessagesChangeNothing)
{
    ZembraDevice device(Variant::dial);
    const ZembraDevice fresh(Variant::dial);
    device.receive(frameBytes({ 0x50, 0x00, 0x00, 0xF7 })); // nothing passes thru

    Bytes shortData = knobData(3, 1);
    shortData.erase(shortData.begin() + 20);
    Bytes highBit = knobData(3, 1);
    highBit[30] = 0x90;
    Bytes unterminated = knobData(3, 1);
    unterminated.pop_back();
    Bytes wrongHeader = knobData(3, 1);
    wrongHeader[4] = 0x15;
    Bytes badSetup = frameBytes({ 0x50, 0x08, 0x00, 0xF7 });
    Bytes badChannel = frameBytes({ 0x50, 0x01, 0x10, 0xF7 });
    for (const Bytes& m : { shortData, highBit, unterminated, wrongHeader, badSetup, badChannel,
             Bytes {}, Bytes { 0x45 }, Bytes { 0xF7 }, Bytes { 0x90, 60 }, Bytes { 0xF8, 0xF8 } })
        EXPECT_TRUE(device.receive(m).empty());
    EXPECT_EQ(device.preset(3), fresh.preset(3));
    EXPECT_EQ(device.thruFlags(), 0);
    EXPECT_EQ(device.masterChannel(), 1);
    EXPECT_EQ(device.counters().presetDataStored, 0u);
    EXPECT_EQ(device.counters().ignored, 11u);
}

TEST(ZembraDeviceTest, ThruFlagsDecideWhatPassesOnUnchanged)
{
    ZembraDevice device(Variant::control);
    const Bytes note { 0x91, 60, 100 };
    const Bytes clock { 0xF8 };
    const Bytes foreign { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7 };
    device.receive(frameBytes({ 0x50, 0x05, 0x00, 0xF7 })); // channel + realtime
    EXPECT_EQ(device.receive(note), std::vector<Bytes> { note });
    EXPECT_EQ(device.receive(clock), std::vector<Bytes> { clock });
    EXPECT_TRUE(device.receive(foreign).empty());
    device.receive(frameBytes({ 0x50, 0x02, 0x00, 0xF7 })); // SysEx only
    EXPECT_TRUE(device.receive(note).empty());
    EXPECT_TRUE(device.receive(clock).empty());
    EXPECT_EQ(device.receive(foreign), std::vector<Bytes> { foreign });
    // The device's own messages are never passed on.
    EXPECT_TRUE(device.receive(knobData(0, 0)).empty());
}

class ZembraStateFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path()
            / ("zembra_state_" + std::to_string(::getpid()) + "_"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(ZembraStateFileTest, SaveAndLoadRoundTripEverything)
{
    ZembraDevice device(Variant::dial);
    device.receive(knobData(0, 1));
    device.receive(knobData(127, 90));
    device.receive(startValues(127, 127));
    device.receive(frameBytes({ 0x50, 0x03, 0x0F, 0xF7 }));
    device.receive(Bytes { 0xCF, 44 });
    const auto file = dir / "state.txt";
    ASSERT_TRUE(device.saveState(file));

    ZembraDevice loaded(Variant::dial);
    ASSERT_TRUE(loaded.loadState(file));
    for (int p = 0; p < 128; ++p)
        ASSERT_EQ(loaded.preset(p), device.preset(p)) << p;
    EXPECT_EQ(loaded.thruFlags(), 3);
    EXPECT_EQ(loaded.masterChannel(), 16);
    EXPECT_EQ(loaded.currentProgram(), 44);
    EXPECT_FALSE(std::filesystem::exists(dir / "state.txt.tmp"));
}

TEST_F(ZembraStateFileTest, DamagedFilesLeaveTheDeviceAsItWas)
{
    ZembraDevice source(Variant::control);
    source.receive(knobData(5, 20));
    const auto good = dir / "good.txt";
    ASSERT_TRUE(source.saveState(good));
    std::ifstream in(good);
    std::string text((std::istreambuf_iterator<char>(in)), {});

    auto variantOf = [&](const std::string& name, std::string content) {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    };
    std::string outOfRange = text;
    outOfRange.replace(outOfRange.find("program 5 ") + 10, 1, "200 ");
    std::vector<std::filesystem::path> damaged {
        variantOf("truncated.txt", text.substr(0, text.size() / 2 + 3)),
        variantOf("range.txt", outOfRange),
        variantOf("header.txt", "zembra-device-state 9\n" + text.substr(text.find('\n') + 1)),
        variantOf("binary.txt", std::string("\x00\xFF\x01garbage", 10)),
        variantOf("empty.txt", ""),
        variantOf("short.txt", text.substr(0, text.find("program 100 "))),
        dir / "missing.txt",
    };

    ZembraDevice target(Variant::control);
    target.receive(knobData(5, 70));
    target.receive(frameBytes({ 0x50, 0x01, 0x02, 0xF7 }));
    const auto before = target.preset(5);
    for (const auto& path : damaged) {
        EXPECT_FALSE(target.loadState(path)) << path;
        EXPECT_EQ(target.preset(5), before) << path;
        EXPECT_EQ(target.masterChannel(), 3) << path;
    }
    ASSERT_TRUE(target.loadState(good));
    EXPECT_EQ(target.preset(5), source.preset(5));
}

} // namespace
} // namespace kestrow
