#include "core/edit_history.h"
#include "editor_rig.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace kestrow;

namespace {

class EditHistoryTest : public ::testing::Test {
protected:
    PresetBank bank;
    DeviceVariant variant = DeviceVariant::zembraControl;
    EditHistory history { bank, variant };

    WorkingSet state() const { return { bank.presets, bank.clipboardPreset, variant }; }

    /// One keystroke in knob k's name of preset p: a typing burst per field.
    void type(int p, int k, const std::string& text)
    {
        auto step = history.record("Rename Knob", p, std::to_string(p) + "/" + std::to_string(k));
        step.preset(p);
        bank.presets[p].knobName[k] = text;
    }

    void setChannel(int p, int k, int channel)
    {
        auto step = history.record("Set Channel", p);
        step.preset(p);
        bank.presets[p].channel[k] = channel;
    }
};

TEST_F(EditHistoryTest, EachKindOfChangeUndoesAndRedoesToTheWholeBank)
{
    struct Gesture {
        std::string name;
        int presetIndex;
        std::vector<int> changed;
        std::function<void()> apply;
    };
    PresetBank& b = bank;
    b.clipboardPreset.name = "Clip";
    b.clipboardPreset.channel.fill(9);
    std::vector<int> evenPresets;
    for (int p = 0; p < kPresetCount; p += 2)
        evenPresets.push_back(p);
    // Every gesture of the window is taken back whole in the window's own test;
    // these are the kinds of change the history tells the window about.
    const std::vector<Gesture> gestures {
        { "Swap Knob", 20, { 20 }, [&] { b.swapKnobWithClipboard(20, 4); } },
        { "Drop Preset", 20, { 10, 20 },
            [&] { // an operation that records itself joins the open step
                auto inner = history.record("Swap", 10);
                inner.preset(10).preset(20);
                std::swap(b.presets[10], b.presets[20]);
                EXPECT_FALSE(history.undo());
            } },
        { "Load Presets", 0, evenPresets,
            [&] {
                for (int p : evenPresets)
                    b.presets[p].description = "Loaded";
            } },
        { "Switch to zembraDial", 0, {}, [&] { variant = DeviceVariant::zembraDial; } },
    };

    std::vector<WorkingSet> states { state() };
    for (const Gesture& g : gestures) {
        {
            auto step = history.record(g.name, g.presetIndex);
            step.allPresets().clipboard(); // only what really changes is kept
            g.apply();
        }
        states.push_back(state());
        EXPECT_EQ(history.undoText(), "Undo " + g.name);
    }
    for (std::size_t i = gestures.size(); i-- > 0;) {
        const auto change = history.undo();
        ASSERT_TRUE(change) << gestures[i].name;
        EXPECT_EQ(state(), states[i]) << gestures[i].name;
        EXPECT_EQ(change->presetIndex, gestures[i].presetIndex);
        EXPECT_EQ(change->presets, gestures[i].changed) << gestures[i].name;
        EXPECT_EQ(change->variantChanged, states[i].variant != states[i + 1].variant);
        EXPECT_EQ(change->clipboardChanged, states[i].clipboard != states[i + 1].clipboard);
        EXPECT_EQ(history.redoText(), "Redo " + gestures[i].name);
    }
    EXPECT_EQ(history.undoText(), "Undo");
    for (std::size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(history.redo());
        EXPECT_EQ(state(), states[i]) << gestures[i - 1].name;
    }
    EXPECT_FALSE(history.redo());
}

TEST_F(EditHistoryTest, TypingBurstIsOneStepUntilABoundary)
{
    setChannel(3, 0, bank.presets[3].channel[0]); // a no-op is no step
    EXPECT_FALSE(history.canUndo());
    type(3, 4, "C");
    type(3, 4, "Ce"); // step 1: one burst
    type(3, 5, "V"); // step 2: another field
    history.closeBurst();
    type(3, 5, "Vi"); // step 3: after a boundary
    setChannel(3, 0, 2); // step 4: any other step ends the burst
    type(3, 5, "Vio"); // step 5
    type(3, 5, "Viol");

    const std::vector<std::pair<std::string, std::string>> namesAfterEachUndo { { "Ce", "Vi" },
        { "Ce", "Vi" }, { "Ce", "V" }, { "Ce", "" }, { "", "" } };
    for (const auto& [knob5, knob6] : namesAfterEachUndo) {
        ASSERT_TRUE(history.undo());
        EXPECT_EQ(std::pair(bank.presets[3].knobName[4], bank.presets[3].knobName[5]),
            std::pair(knob5, knob6));
    }
    // Undo ends a burst too, and a new step drops the redo branch; a burst that
    // types back to its start is no step.
    type(7, 0, "x");
    ASSERT_TRUE(history.undo());
    type(7, 0, "y");
    EXPECT_FALSE(history.canRedo());
    type(7, 0, "");
    EXPECT_FALSE(history.canUndo());
}

TEST_F(EditHistoryTest, KeepsTheNewest200Steps)
{
    WorkingSet afterFifty;
    for (int i = 0; i < 250; ++i) {
        setChannel(i % kPresetCount, 0, 100 + i);
        if (i == 49)
            afterFifty = state();
    }
    int undone = 0;
    while (history.undo())
        ++undone;
    EXPECT_EQ(undone, 200);
    EXPECT_EQ(state(), afterFifty);
}

} // namespace
