#include "program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
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
