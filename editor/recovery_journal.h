#pragma once

#include "core/recovery_scheduler.h"
#include "storage/recovery_file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

/// The user's answer to the crash-recovery question; `later` when the run
/// ends before answering (a signal, a logout): the journal stays untouched.
enum class RecoveryChoice { restore, discard, later };
/// Shows the question and returns the answer; the window asks with a message box.
using RecoveryChooser = std::function<RecoveryChoice(const std::string& question)>;

/// The crash-recovery journal of a run: Recovery.kes in the autosave folder,
/// written about a second after the working set changes and removed by a
/// clean close. Revisions are the edit history's; the journal holds the set
/// as it stood at the last revision written.
class RecoveryJournal {
public:
    using Clock = RecoveryScheduler::Clock;

    explicit RecoveryJournal(const std::string& folder);

    /// The question asked at start-up for a journal written at savedAt
    /// (seconds since 1970 UTC), with the local date and time.
    static std::string question(std::int64_t savedAt);

    /// Claims the folder's journal (another editor's is left alone), reads it
    /// and asks `choose` (without one the journal is discarded). Returns the
    /// contents to restore; a damaged journal is kept as Recovery.damaged and
    /// reported in `warnings`, never loaded in part.
    std::unique_ptr<RecoveryContents> take(
        const RecoveryChooser& choose, std::vector<std::string>& warnings);
    /// The working set at `revision` needs no journal (it is what start-up read).
    void startAt(std::uint64_t revision) { m_written = revision; }

    /// The working set changed at `now`: a write falls due one delay later.
    void changed(Clock::time_point now);
    /// When the next write is due; none while nothing waits.
    std::optional<Clock::time_point> deadline() const;
    /// Writes the journal when it is due at `now`; a failure is tried again
    /// one delay later. Success also when nothing was due.
    FileResult tick(Clock::time_point now, std::uint64_t revision,
        const std::function<RecoveryContents()>& contents);
    /// The question was left unanswered: this run touches the journal no more.
    bool postponed() const { return m_postponed; }
    /// Whether the journal misses changes up to `revision`.
    bool behind(std::uint64_t revision) const { return m_claimed && revision != m_written; }
    /// Writes at once (a close that could not save).
    FileResult write(std::uint64_t revision, const RecoveryContents& contents);
    /// A clean close: the journal goes, and a Recovery.old of an earlier run.
    /// A journal left behind would offer saved changes again: its failure.
    FileResult remove(std::uint64_t revision);

private:
    std::string m_folder;
    RecoveryFile m_file;
    RecoveryScheduler m_schedule;
    bool m_claimed = false; ///< this run owns the folder's journal
    bool m_discardedThisRun = false; ///< Recovery.old is this run's "Discard"
    bool m_postponed = false;
    std::uint64_t m_written = 0; ///< history revision the journal holds
};

} // namespace kestrow
