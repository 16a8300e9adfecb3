#include "preset_files_fixture.h"
#include "storage/library_file.h"
#include "storage/library_scan.h"

using namespace kestrow;

namespace {

using LibraryFileTest = test::PresetFilesTest;

TEST_F(LibraryFileTest, ScanListsDamageRereadsOnlyChangesAndTheIndexRoundTrips)
{
    std::filesystem::create_directories(dir.path() / "sets" / "sub");
    bank.presets[9].name = "Lead";
    ASSERT_TRUE(files.saveAllPresets(dir.file("sets/All.MID")).ok());
    variant = DeviceVariant::zembraDial;
    ASSERT_TRUE(files.saveSinglePreset(dir.file("sets/sub/One.mid"), 9).ok());
    test::writeFile(dir.file("sets/sub/Bad.MID"), "MThd junk");
    test::writeFile(dir.file("sets/notes.txt"), "not a set");

    LibraryIndex index;
    LibraryScan scan;
    ASSERT_EQ(scan.start(index, { dir.file("sets"), dir.file("sets/sub") }), 3u);
    EXPECT_TRUE(scan.step(index, smf, 10));
    ASSERT_EQ(index.sets().size(), 3u);
    const LibrarySet& all = index.sets()[0];
    const LibrarySet& bad = index.sets()[1];
    const LibrarySet& one = index.sets()[2];
    EXPECT_EQ(std::tuple(all.presetCount, all.initValues, index.text(all.presets[9].name)),
        std::tuple(128, false, "Lead"));
    EXPECT_FALSE(bad.readable());
    EXPECT_NE(bad.damage.find("Bad.MID"), std::string::npos);
    // A single preset keeps its own number.
    EXPECT_EQ(std::tuple(one.presetCount, one.initValues, one.held[9]), std::tuple(1, true, 1));

    const std::string bytes = encodeLibraryIndex(index);
    const std::optional<LibraryIndex> back = decodeLibraryIndex(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(encodeLibraryIndex(*back), bytes);
    EXPECT_EQ(back->sets()[2].held, one.held);
    for (std::size_t cut = 0; cut < bytes.size(); cut += 977)
        EXPECT_FALSE(decodeLibraryIndex(bytes.substr(0, cut))) << cut;
    std::string wrongText = bytes;
    wrongText[bytes.size() - 79] = '\x7F'; // a knob name's number past the table
    wrongText[bytes.size() - 80] = '\x7F';
    EXPECT_FALSE(decodeLibraryIndex(wrongText));
    ASSERT_TRUE(writeLibraryIndex(dir.file(kLibraryIndexFile), index));
    EXPECT_EQ(readLibraryIndex(dir.file(kLibraryIndexFile)).sets().size(), 3u);
    test::writeFile(dir.file(kLibraryIndexFile), bytes.substr(0, 100));
    EXPECT_TRUE(readLibraryIndex(dir.file(kLibraryIndexFile)).sets().empty());

    // Nothing changed: nothing to read. A changed side file reads its set again;
    // a folder gone takes its sets along.
    EXPECT_EQ(scan.start(index, { dir.file("sets") }), 0u);
    test::writeFile(dir.file("sets/All.CFG"), "[1]\r\nN=Renamed\r\n");
    std::filesystem::remove_all(dir.path() / "sets" / "sub");
    ASSERT_EQ(scan.start(index, { dir.file("sets"), dir.file("gone") }), 1u);
    EXPECT_EQ(scan.problems().size(), 1u);
    EXPECT_TRUE(scan.step(index, smf, 1));
    ASSERT_EQ(index.sets().size(), 1u);
    EXPECT_EQ(index.text(index.sets()[0].presets[0].name), "Renamed");
}

} // namespace
