#pragma once

#include "core/preset_bank.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrow {

/// What an undo or redo changed, so the window can select and redraw it.
struct HistoryChange {
    std::string stepName;
    int presetIndex = 0; ///< 0..127: the preset the step was made on; select it
    std::vector<int> presets; ///< every preset 0..127 whose data changed, ascending
    bool variantChanged = false; ///< the device variant changed: redo the variant's views
    bool clipboardChanged = false;
};

/// The undo and redo stacks of the working set: the 128 presets, the
/// clipboard preset and the device variant. A step keeps only the presets it
/// really changed, never the whole bank. Every change of these must be
/// recorded, or undo and redo put back states that skip it.
///
/// Record a step with a Scope, before changing anything:
///   auto step = history.record("Rename Knob 5", p, "knobName:" + ...);
///   step.preset(p);
///   bank.presets[p].knobName[4] = text;
/// The step ends with the scope (or commit()); a step that changed nothing is
/// not kept. Consecutive steps with the same non-empty merge key become one
/// (a typing burst) until closeBurst(), a step with another key, undo or redo.
class EditHistory {
public:
    static constexpr std::size_t kDefaultDepth = 200;
    static constexpr std::size_t kMinimumDepth = 1;

    /// The history works on these two for its whole life; depth is the number
    /// of steps kept, the oldest dropped first.
    EditHistory(PresetBank& bank, DeviceVariant& variant, std::size_t depth = kDefaultDepth);
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    /// One step being recorded. A scope opened while another is open joins
    /// it: its presets become part of the outer step, whose name counts.
    class Scope {
    public:
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        /// The moved-from scope ends nothing; the new one carries the step.
        Scope(Scope&& other) noexcept;
        Scope& operator=(Scope&&) = delete;

        /// The step may change preset 0..127; call before changing it.
        /// Indices outside 0..127 are ignored; repeats are harmless.
        Scope& preset(int presetIndex);
        /// The step may change any preset (a file load, a bank-wide edit).
        Scope& allPresets();
        /// The step may change the clipboard preset (the swaps with it).
        Scope& clipboard();
        /// Ends the step: keeps what really changed. The scope's end does the same.
        void commit();

    private:
        friend class EditHistory;
        Scope(EditHistory* history, bool outermost);
        EditHistory* m_history;
        bool m_outermost;
    };

    /// Opens a step named for the Edit menu ("Rename Knob 5"), made on preset
    /// 0..127 (undo selects it). The device variant is always watched.
    [[nodiscard]] Scope record(std::string name, int presetIndex, std::string mergeKey = {});

    /// Ends the typing burst: the next step starts a new one even with the same key.
    void closeBurst() { m_burstOpen = false; }

    /// Puts back the state before the last step; nothing while a step is open.
    std::optional<HistoryChange> undo();
    /// Puts back the state after the last undone step; nothing while a step is open.
    std::optional<HistoryChange> redo();
    /// Forgets every step (a fresh working set at start-up).
    void clear();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    std::size_t undoCount() const { return m_undo.size(); }
    /// Name of the step undo would take back; empty when there is none.
    std::string undoName() const;
    std::string redoName() const;
    /// Edit menu texts: "Undo Rename Knob 5", or "Undo" when there is nothing.
    std::string undoText() const;
    std::string redoText() const;

    /// Grows with every kept step, merge, undo and redo: a change of the
    /// working set to journal since the value last seen.
    std::uint64_t revision() const { return m_revision; }

    /// Called after every kept step, merge, undo, redo and clear, so that the
    /// Edit menu can follow; it must not record steps itself.
    std::function<void()> onChanged;

private:
    static constexpr int kClipboardSlot = kPresetCount; ///< slots 0..127 are the presets

    // A step holds one side of each change; the other side is live in the
    // bank. On the undo stack that is the state before the step, on the redo
    // stack the state after it; undo and redo swap the two.
    struct Change {
        int slot = 0;
        Preset other;
    };
    struct Step {
        std::string name;
        std::string mergeKey;
        int presetIndex = 0;
        std::vector<Change> changes;
        std::optional<DeviceVariant> otherVariant;
    };
    struct OpenStep {
        std::string name;
        std::string mergeKey;
        int presetIndex = 0;
        std::vector<std::pair<int, Preset>> before; ///< slot and its contents at the start
        std::array<bool, kPresetCount + 1> taken {}; ///< slots already in before
        DeviceVariant variantBefore = DeviceVariant::zembraControl;
    };

    Preset& slot(int index);
    void snapshot(int slotIndex);
    void finish();
    void mergeInto(Step& top, Step&& step);
    HistoryChange swapIn(Step& step);
    void changed() const;

    PresetBank& m_bank;
    DeviceVariant& m_variant;
    std::size_t m_depth;
    std::deque<Step> m_undo;
    std::vector<Step> m_redo;
    std::optional<OpenStep> m_open;
    bool m_burstOpen = false;
    std::uint64_t m_revision = 0;
};

} // namespace kestrow
