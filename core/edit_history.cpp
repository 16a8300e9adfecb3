#include "core/edit_history.h"

#include <algorithm>
#include <utility>

namespace kestrow {

EditHistory::EditHistory(PresetBank& bank, DeviceVariant& variant, std::size_t depth)
    : m_bank(bank)
    , m_variant(variant)
    , m_depth(std::max(depth, kMinimumDepth))
{
}

EditHistory::Scope::Scope(EditHistory* history, bool outermost)
    : m_history(history)
    , m_outermost(outermost)
{
}

EditHistory::Scope::Scope(Scope&& other) noexcept
    : m_history(std::exchange(other.m_history, nullptr))
    , m_outermost(other.m_outermost)
{
}

EditHistory::Scope::~Scope() { commit(); }

EditHistory::Scope& EditHistory::Scope::preset(int presetIndex)
{
    if (m_history && presetIndex >= 0 && presetIndex < kPresetCount)
        m_history->snapshot(presetIndex);
    return *this;
}

EditHistory::Scope& EditHistory::Scope::allPresets()
{
    for (int p = 0; p < kPresetCount; ++p)
        preset(p);
    return *this;
}

EditHistory::Scope& EditHistory::Scope::clipboard()
{
    if (m_history)
        m_history->snapshot(kClipboardSlot);
    return *this;
}

void EditHistory::Scope::commit()
{
    EditHistory* history = m_history;
    m_history = nullptr;
    if (history && m_outermost)
        history->finish();
}

EditHistory::Scope EditHistory::record(std::string name, int presetIndex, std::string mergeKey)
{
    if (m_open)
        return Scope(this, false);
    m_open = OpenStep { std::move(name), std::move(mergeKey), presetIndex, {}, {}, m_variant };
    return Scope(this, true);
}

Preset& EditHistory::slot(int index)
{
    return index == kClipboardSlot ? m_bank.clipboardPreset
                                   : m_bank.presets[static_cast<std::size_t>(index)];
}

void EditHistory::snapshot(int slotIndex)
{
    if (!m_open)
        return; // an inner scope outliving its step
    auto& taken = m_open->taken[static_cast<std::size_t>(slotIndex)];
    if (taken)
        return;
    taken = true;
    m_open->before.emplace_back(slotIndex, slot(slotIndex));
}

void EditHistory::finish()
{
    OpenStep open = std::move(*m_open);
    m_open.reset();

    Step step { std::move(open.name), std::move(open.mergeKey), open.presetIndex, {}, {} };
    for (auto& [index, before] : open.before) {
        if (slot(index) != before)
            step.changes.push_back({ index, std::move(before) });
    }
    if (m_variant != open.variantBefore)
        step.otherVariant = open.variantBefore;
    if (step.changes.empty() && !step.otherVariant)
        return; // nothing changed: no step, and a burst goes on

    const bool merges = !step.mergeKey.empty() && m_burstOpen && !m_undo.empty()
        && m_undo.back().mergeKey == step.mergeKey;
    ++m_revision;
    if (merges) {
        mergeInto(m_undo.back(), std::move(step));
    } else {
        m_redo.clear();
        m_burstOpen = !step.mergeKey.empty();
        m_undo.push_back(std::move(step));
        while (m_undo.size() > m_depth)
            m_undo.pop_front();
    }
    changed();
}

void EditHistory::changed() const
{
    if (onChanged)
        onChanged();
}

void EditHistory::mergeInto(Step& top, Step&& step)
{
    // The burst keeps the state from before its first keystroke.
    for (Change& change : step.changes) {
        const bool known = std::any_of(top.changes.begin(), top.changes.end(),
            [&](const Change& c) { return c.slot == change.slot; });
        if (!known)
            top.changes.push_back(std::move(change));
    }
    if (!top.otherVariant)
        top.otherVariant = step.otherVariant;
    top.name = std::move(step.name);

    // A burst that typed its way back to where it started is no step at all.
    std::erase_if(top.changes, [this](const Change& c) { return c.other == slot(c.slot); });
    if (top.otherVariant == m_variant)
        top.otherVariant.reset();
    if (top.changes.empty() && !top.otherVariant) {
        m_undo.pop_back();
        m_burstOpen = false;
    }
}

HistoryChange EditHistory::swapIn(Step& step)
{
    HistoryChange change;
    change.stepName = step.name;
    change.presetIndex = step.presetIndex;
    for (Change& c : step.changes) {
        std::swap(slot(c.slot), c.other);
        if (c.slot == kClipboardSlot)
            change.clipboardChanged = true;
        else
            change.presets.push_back(c.slot);
    }
    std::sort(change.presets.begin(), change.presets.end());
    if (step.otherVariant) {
        std::swap(m_variant, *step.otherVariant);
        change.variantChanged = true;
    }
    m_burstOpen = false;
    ++m_revision;
    return change;
}

std::optional<HistoryChange> EditHistory::undo()
{
    if (m_open || m_undo.empty())
        return std::nullopt;
    m_redo.push_back(std::move(m_undo.back()));
    m_undo.pop_back();
    HistoryChange change = swapIn(m_redo.back());
    changed();
    return change;
}

std::optional<HistoryChange> EditHistory::redo()
{
    if (m_open || m_redo.empty())
        return std::nullopt;
    m_undo.push_back(std::move(m_redo.back()));
    m_redo.pop_back();
    HistoryChange change = swapIn(m_undo.back());
    changed();
    return change;
}

void EditHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_burstOpen = false;
    changed();
}

std::string EditHistory::undoName() const { return m_undo.empty() ? "" : m_undo.back().name; }

std::string EditHistory::redoName() const { return m_redo.empty() ? "" : m_redo.back().name; }

std::string EditHistory::undoText() const
{
    return m_undo.empty() ? "Undo" : "Undo " + m_undo.back().name;
}

std::string EditHistory::redoText() const
{
    return m_redo.empty() ? "Redo" : "Redo " + m_redo.back().name;
}

} // namespace kestrow
