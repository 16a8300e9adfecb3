#include "core/knob_drops.h"
#include "editor_rig.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestrow;

namespace {

/// A bank whose knob k carries fixed parameter k and name "Kk" (1-based), so
/// moves are easy to read, and which counts the preset view's refreshes.
struct DropRig : EditorRig {
    int refreshes = 0;

    DropRig()
    {
        state.hooks.refreshPresetView = [this](int) { ++refreshes; };
        for (int k = 0; k < kKnobCount; ++k) {
            state.preset().fixedParameter[k] = k + 1;
            state.preset().knobName[k] = "K" + std::to_string(k + 1);
        }
    }
    void drag(int knob, int column, DragOperation operation)
    {
        state.dragOperation = operation;
        startKnobDrag(state, knob, column);
    }
    std::vector<int> order() const
    {
        const Preset& p = bank.presets[0];
        return { p.fixedParameter.begin(), p.fixedParameter.end() };
    }
};

/// Knob numbers in places 1..16: the given ones first, then each knob in its own place.
std::vector<int> places(std::vector<int> firstPlaces)
{
    for (int k = static_cast<int>(firstPlaces.size()) + 1; k <= kKnobCount; ++k)
        firstPlaces.push_back(k);
    return firstPlaces;
}

constexpr int kNoKnob = 0;

} // namespace

TEST(KnobDrops, WholeKnobs)
{
    using D = DragOperation;
    struct Case {
        const char* name;
        int knob;
        DragOperation operation;
        bool onPicture; // else on the table's number column
        int target; // knob, or table row (0: heading)
        int accepts; // over the table: -1 not asked
        std::vector<int> result; // first places; empty: nothing dropped
    };
    const std::vector<int> allThree(16, 3);
    const Case cases[] = {
        { "picture move 2 to 6", 2, D::move, true, 6, -1, { 1, 3, 4, 5, 6, 2 } },
        { "picture move 6 to 2", 6, D::move, true, 2, -1, { 1, 6, 2, 3, 4, 5 } },
        { "picture move onto itself", 4, D::move, true, 4, -1, {} },
        { "picture swap", 2, D::swap, true, 6, -1, { 1, 6, 3, 4, 5, 2 } },
        { "picture Shift+Ctrl swaps", 2, D::none, true, 6, -1, { 1, 6, 3, 4, 5, 2 } },
        { "picture copy", 2, D::copy, true, 6, -1, { 1, 2, 3, 4, 5, 2 } },
        { "picture, no knob", 2, D::copy, true, kNoKnob, -1, {} },
        { "table copy", 3, D::copy, false, 9, 1, { 1, 2, 3, 4, 5, 6, 7, 8, 3 } },
        { "table copy on heading", 3, D::copy, false, 0, 1, allThree },
        { "table swap on heading", 2, D::swap, false, 0, 0, {} },
        { "table swap", 2, D::swap, false, 6, 1, { 1, 6, 3, 4, 5, 2 } },
        { "table move", 2, D::move, false, 6, 1, { 1, 3, 4, 5, 6, 2 } },
        { "table Shift+Ctrl", 2, D::none, false, 6, 1, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DropRig rig;
        rig.drag(c.knob, 0, c.operation);
        if (c.accepts >= 0) {
            EXPECT_EQ(tableAcceptsDrag(rig.state, { 0, c.target }), c.accepts == 1);
        }
        const bool dropped = c.onPicture ? dropOnPicture(rig.state, c.target)
                                         : dropOnTable(rig.state, { 0, c.target });
        EXPECT_EQ(dropped, !c.result.empty());
        const std::vector<int> expected = places(c.result);
        EXPECT_EQ(rig.order(), expected);
        for (int k = 0; k < kKnobCount; ++k)
            EXPECT_EQ(rig.bank.presets[0].knobName[k], "K" + std::to_string(expected[k]));
        EXPECT_EQ(rig.refreshes, dropped ? 1 : 0);
        if (dropped) {
            EXPECT_EQ(rig.state.dropTargetKnob, c.target);
        }
    }
}

TEST(KnobDrops, SingleCellsOnTheTable)
{
    DropRig rig;
    Preset& p = rig.bank.presets[0];
    p.eventType[2] = 5;
    rig.drag(3, 3, DragOperation::copy); // the "Event" cell of knob 3
    EXPECT_FALSE(tableAcceptsDrag(rig.state, { 4, 0 }));
    EXPECT_FALSE(dropOnTable(rig.state, { 4, 0 }));
    EXPECT_TRUE(dropOnTable(rig.state, { 3, 0 }));
    for (int e : p.eventType)
        EXPECT_EQ(e, 5);
    EXPECT_EQ(rig.order(), places({})); // only the event column moved

    rig.drag(7, 1, DragOperation::copy); // a name onto knob 12
    EXPECT_TRUE(dropOnTable(rig.state, { 1, 12 }));
    EXPECT_EQ(p.knobName[11], "K7");
    EXPECT_EQ(p.fixedParameter[11], 12);

    for (auto operation : { DragOperation::swap, DragOperation::move }) {
        rig.drag(2, 4, operation);
        EXPECT_FALSE(tableAcceptsDrag(rig.state, { 4, 0 }));
        EXPECT_FALSE(tableAcceptsDrag(rig.state, { 4, 8 }));
        EXPECT_FALSE(dropOnTable(rig.state, { 4, 8 }));
    }
    EXPECT_EQ(p.fixedParameter[7], 8);

    // A single-cell drag dropped on the picture moves whole knobs.
    rig.drag(4, 4, DragOperation::copy);
    EXPECT_TRUE(dropOnPicture(rig.state, 1));
    EXPECT_EQ(p.fixedParameter[0], 4);
    EXPECT_EQ(p.knobName[0], "K4");

    // A whole knob fits only the number column; a preset drag from the tree fits nowhere.
    rig.drag(3, 0, DragOperation::copy);
    EXPECT_FALSE(tableAcceptsDrag(rig.state, { 2, 5 }));
    rig.state.dragOrigin = 1;
    EXPECT_FALSE(tableAcceptsDrag(rig.state, { 0, 5 }));
    EXPECT_FALSE(dropOnPicture(rig.state, 7));
    EXPECT_EQ(p.fixedParameter[6], 7);
}
