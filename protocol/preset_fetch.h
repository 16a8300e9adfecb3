#pragma once

#include "protocol/dump_frame.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrow {

/// Times one request is put before its preset counts as unanswered.
constexpr int kRequestAttempts = 2;
/// Presets in a row without a reply after which the device counts as gone
/// and the rest are not asked.
constexpr int kSilentPresetsLimit = 3;

/// What to ask the device for.
struct FetchPlan {
    std::vector<int> presets; ///< 0..127, asked in this order
    bool initValues = false; ///< also each preset's init values (zembraDial)
    int delay = 200; ///< milliseconds from one request to the next, at least
    int replyTimeout = 1000; ///< milliseconds a request waits for its reply
};

/// One preset's replies as they came.
struct FetchedPreset {
    int presetIndex = 0;
    DecodedFrame data;
    std::optional<DecodedFrame> initValues; ///< only when asked for
};

/// Asks for presets one request at a time: the next request goes a delay
/// after the previous one and only once that was answered or given up.
/// Driven by poll() with the time of a steady clock in milliseconds; the
/// owner puts the requests it returns and hands over every preset reply.
class PresetFetch {
public:
    explicit PresetFetch(FetchPlan plan);

    /// The request to put now, or nothing (waiting, or finished).
    [[nodiscard]] std::optional<DumpFrame> poll(std::int64_t now);
    /// A preset reply; true when it answers the request outstanding.
    bool take(const DecodedFrame& reply);
    /// No further requests; finished() from now on.
    void cancel();

    bool finished() const { return m_index >= m_plan.presets.size(); }
    bool cancelled() const { return m_cancelled; }
    /// Preset 0..127 asked for now; -1 when finished.
    int currentPreset() const;
    /// Presets answered, in the order asked.
    const std::vector<FetchedPreset>& answered() const { return m_answered; }
    /// Presets not answered, in the order asked (with those not asked after
    /// the device fell silent); never those left by a cancel.
    const std::vector<int>& noReply() const { return m_noReply; }
    const FetchPlan& plan() const { return m_plan; }

private:
    DumpFrame request() const;
    void nextPreset();

    FetchPlan m_plan;
    std::size_t m_index = 0;
    bool m_askingInit = false;
    bool m_awaiting = false;
    int m_attempts = 0;
    int m_silentInARow = 0;
    std::int64_t m_lastPut = 0;
    std::int64_t m_deadline = 0;
    bool m_anyPut = false;
    bool m_cancelled = false;
    FetchedPreset m_current;
    std::vector<FetchedPreset> m_answered;
    std::vector<int> m_noReply;
};

} // namespace kestrow
