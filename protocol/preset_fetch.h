#pragma once

#include "protocol/dump_frame.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrow {

/// Passes over the presets still unanswered before they count as missing:
/// a lost request or reply is asked for again in a later pass, with a
/// longer wait, rather than at once into the same trouble.
constexpr int kFetchPasses = 6;
/// Requests in a row without a reply after which the rest of a pass moves
/// to the next; a pass that got no reply at all ends the fetch (the device
/// is gone, and asking the rest would only take their time-outs).
constexpr int kSilentPresetsLimit = 3;
/// Once the device has answered, a request waits this many times its usual
/// answer time (a running average, so one late answer does not slow every
/// wait after it), at least kMinReplyWait ms and never longer than the
/// plan's time-out, so a lost message costs little.
constexpr int kReplyWaitFactor = 4;
constexpr int kMinReplyWait = 60;

/// What to ask the device for.
struct FetchPlan {
    std::vector<int> presets; ///< 0..127, asked in this order
    bool initValues = false; ///< also each preset's init values (zembraDial)
    int delay = 200; ///< milliseconds from one request to the next, at least
    int replyTimeout = 1000; ///< milliseconds a request waits for its reply before any came
};

/// One preset's replies as they came.
struct FetchedPreset {
    int presetIndex = 0;
    DecodedFrame data;
    std::optional<DecodedFrame> initValues; ///< only when asked for
};

/// Asks for presets one request at a time: the first a delay after the
/// first poll, the next a delay after the previous one and only once that
/// was answered or given up.
/// What a pass leaves unanswered is asked again in the next, each pass
/// waiting twice as long (up to eight times the first), up to kFetchPasses. Driven by poll() with
/// the time of a steady clock in milliseconds; the owner puts the requests it returns and hands
/// over every preset reply.
class PresetFetch {
public:
    explicit PresetFetch(FetchPlan plan);

    /// The request to put now, or nothing (waiting, or finished).
    [[nodiscard]] std::optional<DumpFrame> poll(std::int64_t now);
    /// A preset reply; true when it answers the request outstanding.
    bool take(const DecodedFrame& reply);
    /// No further requests; finished() from now on.
    void cancel();

    bool finished() const { return m_done; }
    bool cancelled() const { return m_cancelled; }
    /// Preset 0..127 asked for now; -1 when finished.
    int currentPreset() const;
    /// 0 for the first pass over the plan, 1.. for the passes after it.
    int pass() const { return m_pass; }
    /// Presets answered whole, in the order of the plan.
    std::vector<FetchedPreset> answered() const;
    /// Presets still unanswered at the end, in the order of the plan; never
    /// those left by a cancel.
    const std::vector<int>& noReply() const { return m_noReply; }
    const FetchPlan& plan() const { return m_plan; }
    /// How long a request of this pass waits for its reply, in milliseconds.
    std::int64_t replyWait() const;

private:
    DumpFrame request() const;
    bool complete(int presetIndex) const;
    /// Moves on in the pass; at its end starts the next or finishes.
    void advance();
    void startPass(std::vector<int> presets);
    void finish(std::vector<int> missing);

    FetchPlan m_plan;
    std::vector<int> m_queue; ///< this pass's presets
    std::size_t m_position = 0;
    std::vector<int> m_again; ///< this pass's unanswered, for the next
    int m_pass = 0;
    int m_answeredInPass = 0;
    int m_silentInARow = 0;
    bool m_askingInit = false;
    bool m_awaiting = false;
    bool m_replyCame
        = false; ///< the reply to the last put came; its time is taken at the next poll
    std::int64_t m_lastPut = 0;
    std::int64_t m_deadline = 0;
    double m_answerTime = -1; ///< running average of the answers, ms; -1 before the first
    bool m_started = false; ///< polled once: the first request is due a delay later
    bool m_done = false;
    bool m_cancelled = false;
    std::array<std::optional<FetchedPreset>, kPresetCount> m_got {};
    std::vector<int> m_noReply;
};

} // namespace kestrow
