// Sets written whole: killed, out of space or refused, a folder holds the old
// set or the new one, never a mix, and no temporary files once started again.

#include "preset_files_fixture.h"
#include "storage/set_writer.h"

#include <csignal>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using namespace kestrow;
namespace fs = std::filesystem;

namespace {

using Snapshot = std::map<std::string, std::string>;

/// The names whose files differ between two folder snapshots (contents are long).
std::set<std::string> differing(const Snapshot& a, const Snapshot& b)
{
    std::set<std::string> out;
    for (const Snapshot* side : { &a, &b })
        for (const auto& [name, bytes] : *side)
            if (!a.contains(name) || !b.contains(name) || a.at(name) != b.at(name))
                out.insert(name);
    return out;
}

int g_killAt = -1;
int g_steps = 0;

void countOrDie(const char*)
{
    if (g_steps++ == g_killAt)
        ::raise(SIGKILL);
}

using test::fillBank;

class SetWriterTest : public test::PresetFilesTest {
protected:
    Snapshot snapshot() const
    {
        Snapshot found;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            found[entry.path().filename().string()]
                = entry.is_directory() ? "(folder)" : test::readFile(entry.path());
        return found;
    }
    void restore(const Snapshot& wanted) const
    {
        fs::remove_all(dir.path());
        fs::create_directory(dir.path());
        for (const auto& [name, bytes] : wanted)
            test::writeFile(dir.path() / name, bytes);
    }
    /// One save of a scenario: bank state and which save call.
    struct Scenario {
        const char* what;
        std::function<void(PresetBank&)> before; ///< saved first, uninterrupted
        std::function<void(PresetBank&)> change;
        bool autosave = false;
    };
    SaveResult save(const Scenario& s)
    {
        if (s.autosave) {
            EditorSettings settings;
            settings.delay = bank.presets[0].fixedParameter[0] + 1;
            return files.saveAutosaveSet(dir.dir(), settings);
        }
        return files.saveAllPresets(dir.file("Set.MID"));
    }
    /// Runs the save in a child process, which the step hook kills; true when it was killed.
    bool killedIn(const Scenario& s)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(20);
            (void)save(s);
            ::_exit(0);
        }
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status)
            && WTERMSIG(status) == SIGKILL;
    }
};

TEST_F(SetWriterTest, KilledAtAnyStepTheNextStartFindsTheOldOrTheNewSet)
{
    const std::vector<Scenario> scenarios {
        { "first save", nullptr, [](PresetBank& b) { fillBank(b, 1, true); } },
        { "second save, backups made", [](PresetBank& b) { fillBank(b, 1, true); },
            [](PresetBank& b) { fillBank(b, 2, true); } },
        { "third save, notes retired", [](PresetBank& b) { fillBank(b, 1, true); },
            [](PresetBank& b) { fillBank(b, 3, false); } },
        { "autosave with settings", [](PresetBank& b) { fillBank(b, 1, true); },
            [](PresetBank& b) { fillBank(b, 4, true); }, true },
    };
    for (const Scenario& s : scenarios) {
        restore({});
        for (int round = 0; round < 2 && s.before; ++round) {
            s.before(bank);
            ASSERT_TRUE(save(s).ok()) << s.what;
        }
        const Snapshot old = snapshot();
        s.change(bank);
        g_steps = 0;
        g_killAt = -1;
        setSaveStepHook(countOrDie);
        ASSERT_TRUE(save(s).ok()) << s.what;
        const int steps = g_steps;
        const Snapshot fresh = snapshot();
        ASSERT_NE(old, fresh) << s.what;

        int oldSeen = 0;
        for (int kill = 0; kill < steps; ++kill) {
            restore(old);
            g_steps = 0;
            g_killAt = kill;
            ASSERT_TRUE(killedIn(s)) << s.what << kill;
            g_killAt = -1; // the child's; recovery must not stop here
            const SaveRecovery recovered = recoverInterruptedSaves(dir.path());
            EXPECT_TRUE(recovered.ok()) << s.what << " killed at step " << kill;
            const Snapshot after = snapshot();
            EXPECT_TRUE(after == old || after == fresh)
                << s.what << " killed at step " << kill << ": "
                << ::testing::PrintToString(differing(after, old));
            oldSeen += after == old;
        }
        setSaveStepHook(nullptr);
        // Both outcomes occur: the marker divides the steps.
        EXPECT_GT(oldSeen, 0) << s.what;
        EXPECT_LT(oldSeen, steps) << s.what;
    }
}

TEST_F(SetWriterTest, ARecordedSaveWhoseNewFileIsGoneIsRolledBack)
{
    fillBank(bank, 1, true);
    ASSERT_TRUE(files.saveAllPresets(dir.file("Set.MID")).ok());
    const Snapshot old = snapshot();
    fillBank(bank, 2, true);
    g_steps = 0;
    setSaveStepHook([](const char* step) {
        if (std::string_view(step) == "rename" && ++g_steps == 1)
            ::raise(SIGKILL); // the dump is in place, the names and notes not yet
    });
    ASSERT_TRUE(killedIn({ "rename", nullptr, nullptr }));
    setSaveStepHook(nullptr);
    for (const auto& [name, bytes] : snapshot()) {
        if (name.starts_with(".Set.NTS."))
            fs::remove(dir.path() / name);
    }
    const SaveRecovery recovered = recoverInterruptedSaves(dir.path());
    EXPECT_EQ(recovered.rolledBack, 1);
    EXPECT_EQ(differing(snapshot(), old), std::set<std::string> {});
}

TEST_F(SetWriterTest, AFullDiskAReadOnlyFileOrAFolderInTheWayLeaveTheOldSetAndNameTheFileOnce)
{
    fillBank(bank, 1, true);
    EditorSettings settings;
    ASSERT_TRUE(files.saveAutosaveSet(dir.dir(), settings).ok());
    const Snapshot old = snapshot();
    fillBank(bank, 2, true);
    for (int p = 0; p < kPresetCount; ++p)
        bank.presets[static_cast<std::size_t>(p)].description = std::string(300, 'x');
    // what fails first: the dump, the names, the notes
    const std::pair<rlim_t, const char*> limits[]
        = { { 2000, "Config.MID" }, { 20000, "Config.CFG" }, { 30000, "Config.NTS" } };
    for (const auto& [limit, failing] : limits) {
        const SaveResult result = test::withFileSizeLimit(
            limit, [&] { return files.saveAutosaveSet(dir.dir(), settings); });
        ASSERT_EQ(result.problems.size(), 1u) << limit;
        EXPECT_EQ(fs::path(result.problems[0].file).filename(), failing) << result.message();
        EXPECT_EQ(differing(snapshot(), old), std::set<std::string> {}) << limit;
    }

    // the file, whether a folder stands where it belongs, what the message says
    const std::tuple<const char*, bool, const char*> cases[]
        = { { "Config.MID", false, "read-only" }, { "Config.NTS", false, "read-only" },
              { "Config.NTS", true, "folder" } };
    for (const auto& [name, folder, reason] : cases) {
        const fs::path file = dir.path() / name;
        if (folder) {
            fs::remove(file);
            fs::create_directory(file);
        } else {
            ::chmod(file.c_str(), 0444);
        }
        const Snapshot before = snapshot();
        fillBank(bank, 2, false); // no notes: the .NTS would be retired
        const SaveResult result = files.saveAutosaveSet(dir.dir(), settings);
        ASSERT_EQ(result.problems.size(), 1u) << name;
        EXPECT_EQ(result.problems[0].file, file.string());
        EXPECT_NE(result.message().find(reason), std::string::npos) << result.message();
        EXPECT_EQ(differing(snapshot(), before), std::set<std::string> {}) << name;
        if (folder) {
            fs::remove(file);
        } else {
            EXPECT_EQ(fs::status(file).permissions(), fs::perms(0444)) << name;
            ::chmod(file.c_str(), 0640);
        }
    }
    // A replaced file keeps its permissions.
    ASSERT_TRUE(files.saveAutosaveSet(dir.dir(), settings).ok());
    EXPECT_EQ(fs::status(dir.path() / "Config.MID").permissions(), fs::perms(0640));
}

TEST_F(SetWriterTest, TemporariesOfInterruptedSavesGoAtTheNextStartOrSaveOfTheirSet)
{
    const std::vector<std::string> leftovers { ".Config.MID.a1B2c3", ".Config.CFG.Zz9yY8",
        ".Config.MID.q1w2e3.tmp~", ".Config.MID.saving.r4t5y6", ".T.MID.XyZ123", ".t.nts.000000" };
    const std::vector<std::string> unrelated { ".hidden", ".Notes.txt.a1B2c3", ".T.MID.toolong1",
        "Config.MID.a1B2c3", ".Config.MID.BAK" };
    for (const auto& name : leftovers)
        test::writeFile(dir.path() / name, "partial");
    for (const auto& name : unrelated)
        test::writeFile(dir.path() / name, "keep");

    // A save removes what its own set left, nothing else.
    fillBank(bank, 1, true);
    ASSERT_TRUE(files.saveAllPresets(dir.file("T.MID")).ok());
    EXPECT_FALSE(fs::exists(dir.path() / ".T.MID.XyZ123"));
    EXPECT_FALSE(fs::exists(dir.path() / ".t.nts.000000"));
    EXPECT_TRUE(fs::exists(dir.path() / ".Config.CFG.Zz9yY8"));

    const SaveRecovery recovered = recoverInterruptedSaves(dir.path());
    EXPECT_EQ(recovered.temporariesRemoved, 4);
    std::set<std::string> expected(unrelated.begin(), unrelated.end());
    expected.insert({ "T.MID", "T.CFG", "T.NTS" });
    EXPECT_EQ(dir.names(), expected);
}

} // namespace
