#include "preset_files_fixture.h"
#include "storage/recovery_file.h"

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
        PresetBank bank;
        test::fillBank(bank, 5);
        RecoveryContents c { bank.presets, 127, DeviceVariant::zembraDial, 1712345678 };
        for (int b = 0; b < 256; ++b) // line breaks and blanks at the ends included
            c.presets[5].description += static_cast<char>(b);
        c.presets[6].name = "";
        c.presets[7].knobName[3] = "with blank\nand break ";
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
        { "flipped byte", flipped(good.find("Line 77/5")), "checksum" },
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

TEST_F(RecoveryFileTest, DiscardKeepsTheBytesAndNothingToMoveIsNoFailure)
{
    // Which file each step of a run leaves is the recovery start-up test's.
    ASSERT_TRUE(journal.write(sample));
    ASSERT_TRUE(journal.discard());
    EXPECT_EQ(readFile(journal.oldPath()), encodeRecovery(sample));
    ASSERT_TRUE(journal.removeOld());
    for (auto step : { &RecoveryFile::discard, &RecoveryFile::keepDamaged, &RecoveryFile::remove,
             &RecoveryFile::removeOld })
        EXPECT_TRUE((journal.*step)());
    EXPECT_TRUE(dir.names().empty());
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
