#include "core/program_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kestrow;
namespace fs = std::filesystem;

namespace {

TEST(ProgramDirectory, FromCommandLine)
{
    const std::pair<const char*, const char*> cases[] = {
        { "\"/opt/kestrow/bin/kestrow-editor\"", "/opt/kestrow/bin/" },
        { "\"/home/a b/kestrow-editor\" \"x y\" z", "/home/a b/" },
        // an argument after an unquoted path is ignored, even one with slashes
        { "/usr/bin/kestrow-editor \"/tmp/some file.MID\"", "/usr/bin/" },
        { "/usr/bin/kestrow-editor  \"arg/with/slash\"", "/usr/bin/" },
        // no quote at all, nothing, no directory part: no path
        { "/usr/bin/kestrow-editor", "" },
        { "", "" },
        { "\"kestrow-editor\"", "" },
        // an opening quote that never closes: the rest is the path
        { "\"/srv/app/kestrow", "/srv/app/" },
        { "\"/\"", "/" },
        { "\"", "" },
    };
    for (const auto& [commandLine, directory] : cases)
        EXPECT_EQ(programDirectoryFromCommandLine(commandLine), directory) << commandLine;
}

TEST(ProgramDirectory, CurrentCommandLineQuotesTheRunningExecutable)
{
    const std::string line = currentCommandLine();
    ASSERT_TRUE(line.size() >= 3 && line.front() == '"' && line.back() == '"') << line;
    const fs::path exe = line.substr(1, line.size() - 2);
    EXPECT_TRUE(exe.is_absolute());
    EXPECT_TRUE(fs::equivalent(exe, "/proc/self/exe"));
    EXPECT_EQ(programDirectoryFromCommandLine(line), exe.parent_path().string() + "/");
}

TEST(ProgramDirectory, AutosaveAndShippedFilesFolders)
{
    const fs::path root
        = fs::temp_directory_path() / ("kestrow-dirs-" + std::to_string(::getpid()));
    const std::string prog = (root / "prog").string() + "/";
    const std::string share = (root / "share").string() + "/";
    fs::create_directories(root / "prog");
    fs::create_directories(root / "share");
    ::setenv("XDG_DATA_HOME", root.c_str(), 1);

    // The autosave set goes to the per-user folder when the program's is read-only.
    EXPECT_EQ(userDataDirectory(), root.string() + "/kestrow-editor/");
    EXPECT_EQ(autosaveDirectory(prog), prog);
    fs::permissions(root / "prog", fs::perms::owner_read | fs::perms::owner_exec);
    if (::geteuid() != 0) { // root writes everywhere
        EXPECT_EQ(autosaveDirectory(prog), root.string() + "/kestrow-editor/");
    }
    fs::permissions(root / "prog", fs::perms::owner_all);
    EXPECT_TRUE(ensureDirectory(userDataDirectory()));
    EXPECT_TRUE(fs::is_directory(root / "kestrow-editor"));

    // Shipped files come from the program's folder first, in any letter case.
    EXPECT_EQ(dataFileDirectory("Info.txt", prog, share), prog);
    std::ofstream(root / "share" / "Info.txt") << "x";
    EXPECT_EQ(dataFileDirectory("Info.txt", prog, (root / "share").string()), share);
    std::ofstream(root / "prog" / "INFO.TXT") << "y";
    EXPECT_EQ(dataFileDirectory("Info.txt", prog, share), prog);

    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(root);
}

} // namespace
