#include "program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kestrow;

namespace {

struct CommandLineCase {
    const char* commandLine;
    const char* directory;
};

class ProgramDirectoryTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(ProgramDirectoryTest, FromCommandLine)
{
    EXPECT_EQ(programDirectoryFromCommandLine(GetParam().commandLine), GetParam().directory)
        << GetParam().commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ProgramDirectoryTest,
    ::testing::Values(
        // quoted path, no arguments
        CommandLineCase { "\"/opt/kestrow/bin/kestrow-editor\"", "/opt/kestrow/bin/" },
        // quoted path with blanks and arguments after it
        CommandLineCase { "\"/home/a b/kestrow-editor\" \"x y\" z", "/home/a b/" },
        // unquoted path with one quoted argument: the argument is ignored
        CommandLineCase { "/usr/bin/kestrow-editor \"/tmp/some file.MID\"", "/usr/bin/" },
        CommandLineCase { "/usr/bin/kestrow-editor  \"arg/with/slash\"", "/usr/bin/" },
        // no quote at all: no path
        CommandLineCase { "/usr/bin/kestrow-editor", "" },
        CommandLineCase { "", "" },
        // a path without a directory part
        CommandLineCase { "\"kestrow-editor\"", "" },
        // an opening quote that never closes: the rest is the path
        CommandLineCase { "\"/srv/app/kestrow", "/srv/app/" },
        CommandLineCase { "\"/\"", "/" },
        CommandLineCase { "\"", "" }));

TEST(CurrentCommandLine, QuotesTheRunningExecutable)
{
    const std::string line = currentCommandLine();
    ASSERT_GE(line.size(), 3u);
    EXPECT_EQ(line.front(), '"');
    EXPECT_EQ(line.back(), '"');
    const std::filesystem::path exe = line.substr(1, line.size() - 2);
    EXPECT_TRUE(exe.is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(exe, "/proc/self/exe"));
    const std::string dir = programDirectoryFromCommandLine(line);
    EXPECT_EQ(dir, exe.parent_path().string() + "/");
}

} // namespace

namespace {

class DataDirectoriesTest : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override
    {
        root = std::filesystem::temp_directory_path()
            / ("kestrow-dirs-" + std::to_string(::getpid()) + "-"
               + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "prog");
        std::filesystem::create_directories(root / "share");
    }
    void TearDown() override
    {
        std::filesystem::permissions(root / "prog", std::filesystem::perms::owner_all);
        std::filesystem::remove_all(root);
    }
    std::string dir(const char* name) const { return (root / name).string() + "/"; }
};

TEST_F(DataDirectoriesTest, AutosaveFallsBackToUserFolderWhenProgramDirIsReadOnly)
{
    ::setenv("XDG_DATA_HOME", root.c_str(), 1);
    EXPECT_EQ(userDataDirectory(), root.string() + "/kestrow-editor/");
    EXPECT_EQ(autosaveDirectory(dir("prog")), dir("prog"));
    std::filesystem::permissions(root / "prog", std::filesystem::perms::owner_read
                                     | std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) { // root writes everywhere
        EXPECT_EQ(autosaveDirectory(dir("prog")), root.string() + "/kestrow-editor/");
    }
    EXPECT_TRUE(ensureDirectory(userDataDirectory()));
    EXPECT_TRUE(std::filesystem::is_directory(root / "kestrow-editor"));
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(DataDirectoriesTest, ShippedFilesComeFromProgramDirFirst)
{
    EXPECT_EQ(dataFileDirectory("Info.txt", dir("prog"), dir("share")), dir("prog"));
    std::ofstream(root / "share" / "Info.txt") << "x";
    EXPECT_EQ(dataFileDirectory("Info.txt", dir("prog"), (root / "share").string()), dir("share"));
    std::ofstream(root / "prog" / "INFO.TXT") << "y";
    EXPECT_EQ(dataFileDirectory("Info.txt", dir("prog"), dir("share")), dir("prog"));
    EXPECT_EQ(dataFileDirectory("Info.txt", dir("prog"), ""), dir("prog"));
}

} // namespace
