// The edges of a run where work used to be lost: a file-size limit under
// the journal and the close, and a side file of the autosave set that
// cannot be read. (A close while start-up asks: main_recovery_test.)

#include "editor/editor_session.h"
#include "fake_ports.h"
#include "midi/midi_driver.h"
#include "recording_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

using namespace kestrow;

namespace {

class SessionFaultsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TMidiDriver driver;
    test::RecordingHost host;

    std::unique_ptr<EditorSession> start()
    {
        auto session = std::make_unique<EditorSession>(
            EditorPaths { dir.dir(), dir.dir(), dir.dir(), dir.dir() },
            std::make_unique<test::FakePorts>(), &driver);
        session->setHost(&host);
        return session;
    }

    /// A saved set whose preset 1 is "Saved" and preset 1's description "kept".
    void savedSet()
    {
        auto saved = start();
        saved->startUp();
        saved->renamePreset(0, "Saved");
        saved->setDescription("kept");
        ASSERT_TRUE(saved->saveAutosaveSet().ok());
    }

    /// Every file of the folder with its bytes.
    std::map<std::string, std::string> folder() const
    {
        std::map<std::string, std::string> files;
        for (const std::string& name : dir.names())
            files[name] = test::readFile(dir.file(name));
        return files;
    }
};

// Under `ulimit -f` the journal and the close fail with the system's reason,
// are tried again, and leave no temporary file; the set on disk stays whole.
TEST_F(SessionFaultsTest, AFileSizeLimitFailsTheJournalAndTheSaveWithItsReason)
{
    savedSet();
    auto session = start();
    session->startUp();
    const auto before = folder();
    session->renamePreset(0, "Edited");
    const PaceClock::time_point now = PaceClock::now();
    const SaveResult closed = test::withFileSizeLimit(100, [&] {
        session->tick(now + std::chrono::seconds(2));
        session->tick(now + std::chrono::seconds(4)); // tried again a second later
        return session->saveAutosaveSet();
    });
    EXPECT_EQ(folder(), before);
    ASSERT_EQ(host.journal.size(), 2u);
    EXPECT_EQ(host.journal[0], dir.file("Recovery.kes") + ": File too large");
    EXPECT_NE(closed.message().find("File too large"), std::string::npos);

    session->tick(now + std::chrono::seconds(6));
    EXPECT_EQ(host.journal.back(), "ok");
    ASSERT_TRUE(session->saveAutosaveSet().ok());
    EXPECT_FALSE(std::filesystem::exists(dir.file("Recovery.kes")));
}

// A file of the autosave set that cannot be read may be the user's only copy:
// it is kept aside, the rest still loads, and the close writes a set that
// reads cleanly without losing the copy.
TEST_F(SessionFaultsTest, ABadFileOfTheSetIsKeptAsideAndTheRestLoads)
{
    struct Case {
        const char* file;
        std::string bytes;
    };
    const Case cases[] = {
        { "Config.MID", "MThd this is not a standard MIDI file" },
        { "Config.CFG", std::string((1u << 20) + 1, ';') },
        { "Config.NTS", std::string("\1\0\0\0\x0e\0\0\0zembraC Editor\x80\0\0\0\xff", 27) },
        { "Config.DEV", "not a device memory file\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        savedSet();
        const std::string dump = test::readFile(dir.file("Config.MID"));
        test::writeFile(dir.file(c.file), c.bytes);
        auto session = start();
        const StartupReport report = session->startUp();
        ASSERT_EQ(report.warnings.size(), 1u);
        EXPECT_NE(report.warnings[0].find(std::string(c.file) + ".damaged"), std::string::npos);
        EXPECT_EQ(test::readFile(dir.file(std::string(c.file) + ".damaged")), c.bytes);
        if (std::string(c.file) != "Config.MID") { // a side file: the rest loads
            EXPECT_TRUE(report.settingsApplied);
            EXPECT_EQ(test::readFile(dir.file("Config.MID")), dump);
            EXPECT_EQ(session->bank().presets[0].name,
                std::string(c.file) == "Config.CFG" ? "Preset 1" : "Saved");
        }
        ASSERT_TRUE(session->saveAutosaveSet().ok());
        EXPECT_EQ(test::readFile(dir.file(std::string(c.file) + ".damaged")), c.bytes);
        std::filesystem::remove(dir.file(std::string(c.file) + ".damaged"));
        EXPECT_TRUE(start()->startUp().warnings.empty());
    }
}

} // namespace
