// A run below its windows against a temporary folder and fake ports: the
// start-up and close sequences, every gesture as one history step, the one
// clock that drives transfers, fetches, the journal and port changes, and the
// edges where work used to be lost: a file-size limit under the journal and
// the close, a side file of the autosave set that cannot be read.

#include "core/bank_search.h"
#include "core/duplicate_assignments.h"
#include "editor/editor_session.h"
#include "fake_ports.h"
#include "midi/midi_driver.h"
#include "protocol/dump_frame.h"
#include "recording_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>

using namespace kestrow;

namespace {

class EditorSessionTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TMidiDriver driver;
    test::FakePorts* ports = nullptr;
    test::RecordingHost host;
    /// What the emulated device holds; it answers preset requests from it.
    PresetSet device {};

    /// `unplugged`: the devices of these names are not there.
    std::unique_ptr<EditorSession> start(const std::vector<std::string>& unplugged = {})
    {
        auto recording = std::make_unique<test::FakePorts>();
        for (const std::string& name : unplugged) {
            std::erase(recording->outputs, name);
            std::erase(recording->inputs, name);
        }
        ports = recording.get();
        answered = 0;
        EditorPaths paths { dir.dir(), dir.dir(), dir.dir(), dir.dir() };
        auto session = std::make_unique<EditorSession>(
            paths, std::move(recording), &driver, "Load of libmididrv.so failed");
        session->setHost(&host);
        return session;
    }

    /// A started session with both ports chosen and a 1 ms delay.
    std::unique_ptr<EditorSession> connected()
    {
        auto session = start();
        session->startUp();
        EXPECT_TRUE(session->selectOutputByName("Test Out A"));
        session->chooseInputEntry(0);
        (void)session->setDelayText("1");
        return session;
    }

    /// Runs the session's clock from deadline to deadline until nothing is
    /// due (or `limit` ticks), the device answering each preset request.
    void runClock(EditorSession& session, int limit = 5000)
    {
        for (int i = 0; i < limit; ++i) {
            for (; answered < ports->puts.size(); ++answered) {
                const std::vector<std::uint8_t>& bytes = ports->puts[answered].bytes;
                if (bytes.size() == 10 && bytes[6] == dump::kPresetRequest) {
                    const DumpFrame reply
                        = presetDataFrame(device[bytes[7]], static_cast<int>(bytes[7]));
                    for (const MidiEvent& e : reply.events())
                        ports->onInput(e);
                }
            }
            const std::optional<PaceClock::time_point> due = session.nextDeadline();
            if (!due)
                return;
            session.tick(*due);
        }
        ADD_FAILURE() << "the clock never came to rest: "
                      << (host.statuses.empty() ? "" : host.statuses.back());
    }
    std::size_t answered = 0; ///< puts the device has looked at

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

TEST_F(EditorSessionTest, FirstRunSavesAndTheNextRunComesBackAsItWasLeft)
{
    auto first = start();
    const StartupReport fresh = first->startUp();
    EXPECT_FALSE(fresh.factoryLoaded || fresh.settingsApplied || !fresh.warnings.empty());
    EXPECT_FALSE(first->autoSend()); // the check box's own initial state
    first->switchVariant(DeviceVariant::zembraDial);
    first->setAutoSend(true);
    (void)first->setDelayText("75");
    ASSERT_TRUE(first->selectOutputByName("Test Out A"));
    first->setNotesRangeLow(1);
    first->setVerifyAfterSend(true);
    first->presetSelected(57); // AutoSend: the device holds it from now on
    first->renamePreset(57, "Strings");
    first->noteRecentFile(dir.file("All.MID"));
    EXPECT_TRUE(first->addLibraryFolder(dir.file("sets")));
    EXPECT_FALSE(first->addLibraryFolder(dir.file("sets")));
    runClock(*first);
    const EditorSettings leftAs = first->currentSettings();
    ASSERT_TRUE(first->saveAutosaveSet().ok());
    first.reset();

    auto second = start();
    const StartupReport again = second->startUp();
    EXPECT_TRUE(again.settingsApplied);
    EXPECT_TRUE(again.warnings.empty());
    EXPECT_EQ(second->currentSettings(), leftAs);
    EXPECT_EQ(second->variant(), DeviceVariant::zembraDial);
    EXPECT_EQ(second->bank().presets[57].name, "Strings");
    EXPECT_EQ(second->recentFiles(), std::vector<std::string> { dir.file("All.MID") });
    // The device holds preset 58 as sent, nothing else is known.
    EXPECT_EQ(second->deviceSync()
                  .memory()
                  .changedPresets(second->bank(), DeviceVariant::zembraDial)
                  .size(),
        127u);
    EXPECT_FALSE(second->deviceSync().differsFromDevice(57));
    // The saved output is open again, opened once; the device is asked for
    // its configuration and gets the saved preset's Program Change, no dump
    // though AutoSend is on.
    EXPECT_EQ(ports->openedOutputs, std::set<int> { 0 });
    EXPECT_EQ(ports->outputOpens, 1);
    runClock(*second);
    ASSERT_EQ(ports->puts.size(), 3u);
    EXPECT_EQ(ports->puts[0].bytes[6], 0x06);
    EXPECT_EQ(ports->puts[1].bytes[6], 0x56);
    EXPECT_EQ(ports->puts[2].bytes, (std::vector<std::uint8_t> { 0xC0, 57 }));
    EXPECT_TRUE(second->startUp().warnings.empty()); // once only
    second.reset();

    // A set from before the device was remembered: it loads, nothing is known.
    std::filesystem::remove(dir.file("Config.DEV"));
    auto third = start();
    EXPECT_TRUE(third->startUp().settingsApplied);
    EXPECT_TRUE(third->deviceSync().differsFromDevice(57));
}

// Started while the device is unplugged, the editor keeps the saved ports
// (and saves them again) and opens them once the device appears.
TEST_F(EditorSessionTest, ASavedPortThatIsMissingAtStartStaysChosenAndOpensWhenItAppears)
{
    auto first = start();
    first->startUp();
    ASSERT_TRUE(first->selectOutputByName("Test Out B"));
    first->chooseInputEntry(0);
    const EditorSettings saved = first->currentSettings();
    ASSERT_EQ(saved.midiInDevice, "Test In");
    ASSERT_TRUE(first->saveAutosaveSet().ok());
    first.reset();

    auto second = start({ "Test Out B", "Test In" });
    second->startUp();
    EXPECT_EQ(second->currentSettings(), saved);
    EXPECT_TRUE(second->portWatch().outputLost() && second->portWatch().inputLost());
    EXPECT_TRUE(ports->openedOutputs.empty());
    EXPECT_EQ(ports->inputOpened, -1);

    // The MIDI system says its ports changed: the lists are read once the
    // burst has settled, and the ports are bound again.
    ports->outputs.push_back("Test Out B");
    ports->inputs.push_back("Test In");
    const PaceClock::time_point noticed = PaceClock::now();
    second->portsChangeNoticed(noticed);
    second->portsChangeNoticed(noticed + std::chrono::milliseconds(30));
    EXPECT_EQ(second->nextDeadline(), noticed + std::chrono::milliseconds(100));
    second->tick(noticed + std::chrono::milliseconds(100));
    EXPECT_EQ(host.listChanges, 1);
    EXPECT_FALSE(second->portWatch().outputLost() || second->portWatch().inputLost());
    EXPECT_EQ(ports->openedOutputs, std::set<int> { 1 });
    EXPECT_EQ(ports->inputOpened, 0);
    EXPECT_EQ(second->currentSettings(), saved);
    ASSERT_TRUE(second->saveAutosaveSet().ok());

    // Port names match by their exact spelling only.
    EditorSettings otherCase = saved;
    otherCase.midiDevice = "test out b";
    second->applySettings(otherCase);
    EXPECT_EQ(second->currentSettings(), otherCase);
    EXPECT_TRUE(second->portWatch().outputLost());
}

// Every gesture on the working set is one step: taken back whole, put back
// whole, named in the Edit menu, and it selects its preset when taken back.
TEST_F(EditorSessionTest, EveryGestureIsOneStepTakenBackAndPutBackWhole)
{
    auto session = connected();
    const std::string mid = dir.file("One.MID");
    const std::string syx = dir.file("One.syx");
    session->presetSelected(0);
    session->renamePreset(0, "Saved");
    ASSERT_TRUE(session->saveSinglePreset(mid, 0).ok());
    ASSERT_TRUE(session->exportSysEx(syx, EditorSession::PresetRange::selected).ok);
    // Presets that differ from each other, as the device holds them.
    for (int p = 0; p < kPresetCount; ++p)
        device[static_cast<std::size_t>(p)].channel.fill(p % 16 + 1);
    ASSERT_TRUE(session->getAllPresets().started());
    runClock(*session);
    session->addLibraryFolder(dir.dir());
    ASSERT_EQ(session->startLibraryRefresh(), 1u); // One.MID
    ASSERT_TRUE(session->continueLibraryRefresh(10));
    const LibrarySearch saved = session->searchLibrary({ .name = "saved" }, 10);
    ASSERT_EQ(saved.matches.size(), 1u);

    struct Gesture {
        const char* step;
        int preset; ///< taken back, it selects this one
        std::function<void()> apply;
    };
    const std::vector<Gesture> gestures {
        { "Move Preset 3 to 10", 9, [&] { session->dropPreset(2, 9, DragOperation::move); } },
        { "Copy Preset 5 to 7", 6, [&] { session->dropPreset(4, 6, DragOperation::copy); } },
        { "Paste Preset", 20,
            [&] {
                session->presetSelected(20);
                session->pastePreset();
            } },
        { "Paste Preset w/Clipboard", 21,
            [&] {
                session->presetSelected(21);
                session->swapPresetWithClipboard();
            } },
        { "Rename Preset 8", 7, [&] { session->renamePreset(7, "Strings"); } },
        { "Edit Description", 7, [&] { session->setDescription("warm\r\npad"); } },
        { "Load Single Preset", 30, [&] { ASSERT_TRUE(session->loadSinglePreset(mid, 30)); } },
        { "Import SysEx", 31, [&] { ASSERT_TRUE(session->importSysEx(syx, 31).loaded); } },
        { "Copy from Library", 32,
            [&] {
                const LibraryMatch& m = saved.matches[0];
                ASSERT_TRUE(session->copyLibraryPreset(m.set, m.at.presetIndex, 32).loaded);
                EXPECT_EQ(session->bank().presets[32].name, "Saved");
            } },
        { "Take Theirs", 12,
            [&] {
                std::string error;
                const auto theirs = session->readComparisonSet(mid, error);
                ASSERT_TRUE(theirs && session->takeTheirPreset(*theirs, 12)) << error;
                EXPECT_TRUE(session->bank().presets[12] == (*theirs)[12]);
            } },
        { "Get All Presets", 12,
            [&] {
                device[40].eventType.fill(3);
                ASSERT_TRUE(session->getAllPresets().started());
                runClock(*session);
            } },
        { "Receive Preset 5", 4,
            [&] {
                Preset reply = session->bank().presets[4];
                reply.eventType.fill(9);
                for (const MidiEvent& e : presetDataFrame(reply, 4).events())
                    ports->onInput(e);
            } },
        { "Switch to zembraDial", 4, [&] { session->switchVariant(DeviceVariant::zembraDial); } },
    };
    for (const Gesture& g : gestures) {
        const PresetSet before = session->bank().presets;
        const DeviceVariant variantBefore = session->variant();
        g.apply();
        const PresetSet after = session->bank().presets;
        EXPECT_TRUE(after != before || session->variant() != variantBefore) << g.step;
        EXPECT_EQ(session->history().undoText(), std::string("Undo ") + g.step);

        session->presetSelected(g.preset == 0 ? 1 : 0);
        const std::optional<HistoryChange> undone = session->undo();
        ASSERT_TRUE(undone) << g.step;
        EXPECT_EQ(undone->presetIndex, g.preset) << g.step;
        EXPECT_TRUE(session->bank().presets == before) << g.step;
        EXPECT_EQ(session->variant(), variantBefore) << g.step;
        session->presetSelected(undone->presetIndex); // as the window does
        ASSERT_TRUE(session->redo()) << g.step;
        EXPECT_TRUE(session->bank().presets == after) << g.step;
    }
    // A Get All reports how it went, also when all went well.
    EXPECT_EQ(host.reports,
        std::vector<std::string>(2, "Get All Presets: Got 128 of 128 presets from the device."));
}

// A step taken back selects its preset but sends nothing; the user's next
// selection sends as AutoSend says.
TEST_F(EditorSessionTest, UndoSelectsItsPresetWithoutSendingIt)
{
    auto session = connected();
    session->setAutoSend(true);
    session->presetSelected(7);
    runClock(*session);
    session->renamePreset(7, "Lead");
    session->presetSelected(3);
    runClock(*session);
    const std::size_t sent = ports->sysex(58).size();
    ASSERT_EQ(sent, 2u); // presets 8 and 4, each one data message

    const std::optional<HistoryChange> undone = session->undo();
    ASSERT_TRUE(undone);
    session->presetSelected(undone->presetIndex);
    runClock(*session);
    EXPECT_EQ(ports->sysex(58).size(), sent);
    session->presetSelected(9);
    runClock(*session);
    EXPECT_EQ(ports->sysex(58).size(), sent + 1);
}

// One clock: a transfer's messages and its Program Change are paced
// deadlines, the verify after a send follows it and reports only a
// difference, the journal is written a second after a change, and an idle
// session asks to be woken for nothing.
TEST_F(EditorSessionTest, OneClockDrivesTheTransferTheVerifyAndTheJournal)
{
    auto session = connected();
    runClock(*session); // the start-up Program Change and the configuration queries
    ASSERT_EQ(session->nextDeadline(), std::nullopt);

    session->setVerifyAfterSend(true);
    device[5] = session->bank().presets[5];
    session->presetSelected(5);
    ASSERT_FALSE(session->sendSelectedPreset(true, true).abandon());
    EXPECT_EQ(session->nextDeadline(), session->pacedDeadline());
    EXPECT_TRUE(session->transferring());
    runClock(*session);
    EXPECT_EQ(ports->programChanges().size(), 2u);
    EXPECT_EQ(host.workRunning, (std::vector<bool> { true, false }));
    EXPECT_TRUE(host.reports.empty()); // the device holds what was sent

    // The device keeps something else: sent again, read back again, then
    // the quiet verify speaks up.
    device[5].eventType.fill(2);
    const std::size_t before = ports->sysex(58).size();
    ASSERT_FALSE(session->sendSelectedPreset(true, true).abandon());
    runClock(*session);
    EXPECT_EQ(ports->sysex(58).size(), before + kSendPasses);
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.reports[0].rfind("Send: Sent 1 preset; 1 differs on the device: 6", 0), 0u)
        << host.reports[0];
    EXPECT_EQ(session->statusText(), "Sent 1 preset; 1 differs on the device: 6");
    EXPECT_EQ(session->deviceMark(5), DeviceMark::differs);

    // Held (a question is open), nothing is due and nothing goes.
    const std::size_t puts = ports->puts.size();
    session->hold(true);
    ASSERT_FALSE(session->sendSelectedPreset(true, true).abandon());
    EXPECT_EQ(session->nextDeadline(), std::nullopt);
    session->tick(PaceClock::now() + std::chrono::hours(1));
    EXPECT_EQ(ports->puts.size(), puts);
    session->hold(false);
    runClock(*session);
    EXPECT_GT(ports->puts.size(), puts);

    // The journal falls due a second after a change, then the session rests.
    const std::filesystem::path journal = dir.file("Recovery.kes");
    std::filesystem::remove(journal);
    const PaceClock::time_point changedAt = PaceClock::now();
    session->renamePreset(5, "Journaled");
    const std::optional<PaceClock::time_point> due = session->nextDeadline();
    ASSERT_TRUE(due);
    EXPECT_GE(*due, changedAt + std::chrono::seconds(1));
    session->tick(*due);
    EXPECT_TRUE(std::filesystem::exists(journal));
    EXPECT_EQ(session->nextDeadline(), std::nullopt);
}

// A run that ends without its close (killed: main_recovery_test) leaves its
// journal. The next start asks once, before anything is sent; Restore is one
// step; Discard keeps the journal aside for one more run; a journal cut short
// is reported and kept aside unread, and nothing is asked.
TEST_F(EditorSessionTest, AJournalLeftByAKilledRunIsRestoredDiscardedOrKeptAside)
{
    ASSERT_TRUE(connected()->saveAutosaveSet().ok()); // a saved output: start-up sends
    const std::filesystem::path journal = dir.file("Recovery.kes");
    const auto killedAfter = [&](const char* name) {
        auto run = start();
        run->startUp();
        run->renamePreset(9, name);
        runClock(*run);
        ASSERT_TRUE(std::filesystem::exists(journal));
    };
    int asked = 0;
    const auto answer = [&](RecoveryChoice choice) {
        return [&, choice](const std::string& question) {
            ++asked;
            EXPECT_TRUE(ports->puts.empty() && !question.empty());
            return choice;
        };
    };
    killedAfter("Survivor");
    auto restored = start();
    restored->startUp(answer(RecoveryChoice::restore));
    EXPECT_EQ(restored->bank().presets[9].name, "Survivor");
    EXPECT_EQ(restored->history().undoName(), "Restore Unsaved Changes");
    ASSERT_TRUE(restored->saveAutosaveSet().ok());
    EXPECT_FALSE(std::filesystem::exists(journal));
    restored.reset(); // its claim on the folder ends with it

    killedAfter("Ghost");
    PresetSet saved {};
    for (int run = 0; run < 2; ++run) {
        auto discarded = start();
        discarded->startUp(answer(RecoveryChoice::discard));
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(discarded->bank().presets[9].name, "Survivor");
        EXPECT_TRUE(std::filesystem::exists(dir.file("Recovery.old")));
        saved = discarded->bank().presets;
        ASSERT_TRUE(discarded->saveAutosaveSet().ok());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("Recovery.old")));

    killedAfter("Cut");
    std::filesystem::resize_file(journal, std::filesystem::file_size(journal) / 2);
    auto cut = start();
    const StartupReport report = cut->startUp(answer(RecoveryChoice::restore));
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("damaged"), std::string::npos);
    EXPECT_EQ(cut->bank().presets, saved);
    EXPECT_TRUE(std::filesystem::exists(dir.file("Recovery.damaged")));
    EXPECT_FALSE(std::filesystem::exists(journal) || cut->history().canUndo());
}

// "Take From Device" after a verify: the knob data the device answered with,
// names kept, as one step; a preset it never answered is left alone.
TEST_F(EditorSessionTest, TakeFromDeviceStoresWhatTheDeviceAnsweredAsOneStep)
{
    auto session = connected();
    runClock(*session);
    session->renamePreset(5, "Kept name");
    const PresetSet before = session->bank().presets;
    device = before;
    device[5].eventType.fill(2);
    device[9].channel.fill(3);
    ASSERT_TRUE(session->verifyDevice(false).started());
    runClock(*session);

    SyncReport report;
    report.job = SyncJob::verify;
    report.differing = { comparePresets(before[5], device[5], 5) };
    report.noReply = { 7 };
    const std::vector<VerifyRow> rows = session->verifyRows(report);
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_EQ(
        rows[0], (VerifyRow { 5, 0, "6 Kept name", "1", "event", "No-Event", "MonoAftertouch" }));
    EXPECT_EQ(rows[16], (VerifyRow { 7, -1, "8", "", "whole preset", "", "no reply" }));

    const std::size_t steps = session->history().undoCount();
    EXPECT_EQ(session->takeFromDevice({ 9, 5, 200, 5, 3 }), (std::vector<int> { 5, 9 }));
    PresetSet expected = before;
    expected[5].eventType = device[5].eventType;
    expected[9].channel = device[9].channel;
    EXPECT_EQ(session->bank().presets, expected);
    EXPECT_EQ(session->history().undoCount(), steps + 1);
    EXPECT_EQ(session->history().undoName(), "Take From Device");
    EXPECT_FALSE(session->deviceSync().differsFromDevice(5));
    session->undo();
    EXPECT_EQ(session->bank().presets, before);
}

// Under `ulimit -f` the journal and the close fail with the system's reason,
// are tried again, and leave no temporary file; the set on disk stays whole.
TEST_F(EditorSessionTest, AFileSizeLimitFailsTheJournalAndTheSaveWithItsReason)
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
TEST_F(EditorSessionTest, ABadFileOfTheSetIsKeptAsideAndTheRestLoads)
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

// Once the device has told its master channel, a "Master" knob and a knob on
// that channel send the same event (before, only "Master" knobs collide), and
// the Program Change goes on that channel.
TEST_F(EditorSessionTest, TheDevicesMasterChannelJoinsMasterKnobsToItsChannel)
{
    auto session = connected();
    Preset preset;
    std::int32_t code = 1;
    while (!eventShowsChannel(code))
        ++code;
    preset.eventType.fill(kNoEvent);
    preset.eventType[0] = preset.eventType[1] = code;
    preset.channel[0] = 0; // "Master"
    preset.channel[1] = 10;
    const EditorState& state = session->editorState();
    EXPECT_TRUE(duplicateKnobs(preset, state.knownMasterChannel()).empty());
    ports->reply({ 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x50, 0x05, 0x09, 0xF7 }); // channel 10
    const std::vector<KnobGroup> joined { { 0, 1 } };
    EXPECT_EQ(duplicateKnobs(preset, state.knownMasterChannel()), joined);
    session->presetSelected(3);
    session->sendProgramChange();
    EXPECT_EQ(ports->programChanges().back().bytes, (std::vector<std::uint8_t> { 0xC9, 3 }));
}
