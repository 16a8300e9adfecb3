#include "recovery_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

using namespace kestrow;
using kestrow::test::readFile;
using kestrow::test::TempDir;
using kestrow::test::writeFile;
namespace fs = std::filesystem;

namespace {

class RecoveryFileTest : public ::testing::Test {
protected:
    TempDir dir;
    RecoveryFile journal { dir.path() };
    RecoveryContents sample = makeSample();

    static RecoveryContents makeSample()
    {
        RecoveryContents c;
        std::string everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte += static_cast<char>(b);
        for (int p = 0; p < kPresetCount; ++p) {
            Preset& preset = c.presets[p];
            preset.name = p % 2 ? "Preset " + std::to_string(p) : "";
            preset.description = p == 5 ? everyByte : "line\r\nnext " + std::to_string(p);
            for (int k = 0; k < kKnobCount; ++k) {
                preset.knobName[k]
                    = k == 3 ? "with blank\nand break " : "Knob " + std::to_string(k);
                preset.channel[k] = (p + k) % 17;
                preset.eventType[k] = (p * 3 + k) % 128;
                preset.fixedParameter[k] = 127 - k;
                preset.initValue[k] = (p + 2 * k) % 128;
            }
        }
        c.selectedPreset = 127;
        c.variant = DeviceVariant::zembraDial;
        c.savedAt = 1712345678;
        return c;
    }
};

TEST_F(RecoveryFileTest, RoundTripKeepsEveryByte)
{
    EXPECT_EQ(journal.read().status, RecoveryRead::Status::missing);
    ASSERT_TRUE(journal.write(sample));
    const RecoveryRead read = journal.read();
    ASSERT_EQ(read.status, RecoveryRead::Status::loaded) << read.reason;
    EXPECT_EQ(read.contents, sample);
    EXPECT_EQ(dir.names(), std::set<std::string> { "Recovery.kes" });
}

TEST_F(RecoveryFileTest, DamagedJournalIsRefusedWhole)
{
    const std::string good = encodeRecovery(sample);
    auto flipped = [&](std::size_t at) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        return bytes;
    };
    RecoveryContents outOfRange = sample;
    outOfRange.presets[9].channel[2] = 17;
    const std::vector<std::tuple<std::string, std::string, std::string>> cases {
        // what, file contents, what the reason mentions
        { "empty", "", "not a recovery file" },
        { "wrong magic", flipped(0), "not a recovery file" },
        { "cut in half", good.substr(0, good.size() / 2), "incomplete" },
        { "last byte cut", good.substr(0, good.size() - 1), "incomplete" },
        { "bytes after the end", good + "x\n", "incomplete" },
        { "flipped byte", flipped(good.find("line\r\nnext 77")), "checksum" },
        { "flipped checksum", flipped(good.size() - 3), "checksum" },
        { "bad value, good checksum", encodeRecovery(outOfRange), "unreadable entry" },
        { "oversized", "", "larger" },
    };
    for (const auto& [what, bytes, mention] : cases) {
        writeFile(journal.path(), bytes);
        if (what == "oversized")
            fs::resize_file(journal.path(), RecoveryFile::kMaximumSize + 1);
        const RecoveryRead read = journal.read();
        EXPECT_EQ(read.status, RecoveryRead::Status::damaged) << what;
        EXPECT_NE(read.reason.find(mention), std::string::npos) << what << ": " << read.reason;
        EXPECT_EQ(read.contents, RecoveryContents {}) << what;
    }
}

TEST_F(RecoveryFileTest, FailedWriteLeavesThePreviousJournal)
{
    ASSERT_TRUE(journal.write(sample));
    RecoveryContents changed = sample;
    changed.presets[0].name = "changed";

    EXPECT_FALSE(test::withFileSizeLimit(4096, [&] { return journal.write(changed); }));
    EXPECT_EQ(journal.read().contents, sample);
    EXPECT_EQ(dir.names(), std::set<std::string> { "Recovery.kes" });
}

TEST_F(RecoveryFileTest, DiscardDamagedAndCleanCloseMoveTheJournal)
{
    const std::string bytes = encodeRecovery(sample);
    ASSERT_TRUE(journal.write(sample));
    ASSERT_TRUE(journal.discard());
    EXPECT_EQ(dir.names(), std::set<std::string> { "Recovery.old" });
    EXPECT_EQ(readFile(journal.oldPath()), bytes);

    ASSERT_TRUE(journal.write(sample));
    ASSERT_TRUE(journal.keepDamaged());
    EXPECT_EQ(dir.names(), (std::set<std::string> { "Recovery.damaged", "Recovery.old" }));

    ASSERT_TRUE(journal.write(sample));
    ASSERT_TRUE(journal.remove());
    ASSERT_TRUE(journal.removeOld());
    EXPECT_EQ(dir.names(), std::set<std::string> { "Recovery.damaged" });

    // Nothing to move or remove is no failure.
    EXPECT_TRUE(journal.discard());
    EXPECT_TRUE(journal.keepDamaged());
    EXPECT_TRUE(journal.remove());
    EXPECT_TRUE(journal.removeOld());
}

TEST_F(RecoveryFileTest, OneRunningEditorClaimsTheFolder)
{
    RecoveryFile other(dir.path());
    {
        RecoveryFile first(dir.path());
        EXPECT_TRUE(first.claim());
        EXPECT_FALSE(other.claim());
    }
    EXPECT_TRUE(other.claim()); // the first run ended
}

} // namespace
