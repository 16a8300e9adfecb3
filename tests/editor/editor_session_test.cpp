// The start-up and close sequences of a run against a temporary folder, with
// no window at all.

#include "editor/editor_session.h"
#include "fake_ports.h"
#include "midi/midi_driver.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <set>

using namespace kestrow;

namespace {

class EditorSessionTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TMidiDriver driver;
    test::FakePorts* ports = nullptr;

    /// `unplugged`: the devices of these names are not there.
    std::unique_ptr<EditorSession> start(
        TMidiDriver* withDriver, const std::vector<std::string>& unplugged = {})
    {
        auto recording = std::make_unique<test::FakePorts>();
        for (const std::string& name : unplugged) {
            std::erase(recording->outputs, name);
            std::erase(recording->inputs, name);
        }
        ports = recording.get();
        EditorPaths paths { dir.dir(), dir.dir(), dir.dir(), dir.dir() };
        return std::make_unique<EditorSession>(
            paths, std::move(recording), withDriver, "Load of libmididrv.so failed");
    }
};

TEST_F(EditorSessionTest, FirstRunSavesAndTheNextRunComesBackAsItWasLeft)
{
    auto first = start(&driver);
    const StartupReport fresh = first->startUp();
    EXPECT_FALSE(fresh.factoryLoaded || fresh.settingsApplied || !fresh.warnings.empty());
    EXPECT_FALSE(first->autoSend()); // the check box's own initial state
    first->setVariant(DeviceVariant::zembraDial);
    first->setAutoSend(true);
    first->protocol().setDelayText("75");
    ASSERT_TRUE(first->selectOutputByName("Test Out A"));
    first->setNotesRangeLow(1);
    first->presetSelected(57);
    first->renamePreset(57, "Strings");
    first->bank().presets[57].initValue[3] = 99; // kept only in a zembraDial's dump
    first->deviceSync().verifyAfterSend = true;
    first->protocol().sendPreset(57, true, true); // the device holds it from now on
    while (first->protocol().timerEnabled(ProtocolTimer::Timer1))
        first->protocol().Timer1Timer();
    const EditorSettings leftAs = first->currentSettings();
    ASSERT_TRUE(first->saveAutosaveSet().ok());
    first.reset();

    auto second = start(&driver);
    const StartupReport again = second->startUp();
    EXPECT_TRUE(again.settingsApplied);
    EXPECT_TRUE(again.warnings.empty());
    EXPECT_EQ(second->currentSettings(), leftAs);
    EXPECT_EQ(second->variant(), DeviceVariant::zembraDial);
    EXPECT_EQ(second->bank().presets[57].name, "Strings");
    EXPECT_EQ(second->bank().presets[57].initValue[3], 99);
    // The device holds preset 58 as sent, nothing else is known.
    EXPECT_EQ(second->deviceSync()
                  .memory()
                  .changedPresets(second->bank(), DeviceVariant::zembraDial)
                  .size(),
        127u);
    EXPECT_FALSE(second->deviceSync().differsFromDevice(57));
    // The saved output is open again, opened once, and the device was asked
    // for its configuration.
    EXPECT_EQ(ports->openedOutputs, std::set<int> { 0 });
    EXPECT_EQ(ports->outputOpens, 1);
    ASSERT_EQ(ports->puts.size(), 2u);
    EXPECT_EQ(ports->puts[0].bytes[6], 0x06);
    EXPECT_EQ(ports->puts[1].bytes[6], 0x56);
    EXPECT_TRUE(second->startUp().warnings.empty()); // once only
    second.reset();

    // A set from before the device was remembered: it loads, nothing is known.
    std::filesystem::remove(dir.file("Config.DEV"));
    auto third = start(&driver);
    EXPECT_TRUE(third->startUp().settingsApplied);
    EXPECT_TRUE(third->deviceSync().differsFromDevice(57));
}

} // namespace

// Started while the device is unplugged, the editor keeps the saved ports
// (and saves them again) and opens them once the device appears.
TEST_F(EditorSessionTest, ASavedPortThatIsMissingAtStartStaysChosenAndOpensWhenItAppears)
{
    auto first = start(&driver);
    first->startUp();
    ASSERT_TRUE(first->selectOutputByName("Test Out B"));
    first->protocol().chooseInput(0);
    const EditorSettings saved = first->currentSettings();
    ASSERT_EQ(saved.midiInDevice, "Test In");
    ASSERT_TRUE(first->saveAutosaveSet().ok());
    first.reset();

    auto second = start(&driver, { "Test Out B", "Test In" });
    second->startUp();
    EXPECT_EQ(second->currentSettings(), saved);
    EXPECT_TRUE(second->protocol().outputLost() && second->protocol().inputLost());
    EXPECT_TRUE(ports->openedOutputs.empty());
    EXPECT_EQ(ports->inputOpened, -1);

    ports->outputs.push_back("Test Out B");
    ports->inputs.push_back("Test In");
    second->protocol().refreshPorts(second->ports());
    EXPECT_FALSE(second->protocol().outputLost() || second->protocol().inputLost());
    EXPECT_EQ(ports->openedOutputs, std::set<int> { 1 });
    EXPECT_EQ(ports->inputOpened, 0);
    EXPECT_EQ(second->currentSettings(), saved);
    ASSERT_TRUE(second->saveAutosaveSet().ok());
}
