#include "editor/recovery_journal.h"

#include "core/program_directory.h"

#include <ctime>

namespace kestrow {

RecoveryJournal::RecoveryJournal(const std::string& folder)
    : m_folder(folder)
    , m_file(folder)
{
}

std::string RecoveryJournal::question(std::int64_t savedAt)
{
    const auto time = static_cast<std::time_t>(savedAt);
    std::tm local {};
    char when[32] = "?";
    if (::localtime_r(&time, &local) != nullptr)
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
    return std::string("Restore the changes that were not saved when Kestrow Editor last "
                       "stopped (")
        + when + ")?";
}

std::unique_ptr<RecoveryContents> RecoveryJournal::take(
    const RecoveryChooser& choose, std::vector<std::string>& warnings)
{
    // Another editor working on this folder holds its journal: leave it alone.
    m_claimed = m_file.claim();
    if (!m_claimed)
        return nullptr;
    // Temporaries of a journal write that a crash or a size limit cut short.
    m_file.removeTemporaries();
    // On the heap, as the contents returned: a whole set is about 115 KiB, and
    // stack pages once touched stay resident for the whole run.
    const std::unique_ptr<RecoveryRead> held(new RecoveryRead(m_file.read()));
    RecoveryRead& read = *held;
    if (read.status == RecoveryRead::Status::missing)
        return nullptr;
    if (read.status == RecoveryRead::Status::damaged) {
        const FileResult kept = m_file.keepDamaged();
        warnings.push_back("The changes that were not saved when Kestrow Editor last stopped "
                           "cannot be restored: the recovery file "
            + m_file.path().string() + " is damaged (" + read.reason + ").\n\n"
            + (kept ? "It is kept as " + m_file.damagedPath().string() + "."
                    : "It could not be moved aside (" + kept.reason + ") and will be replaced."));
        return nullptr;
    }
    const RecoveryChoice choice
        = choose ? choose(question(read.contents.savedAt)) : RecoveryChoice::discard;
    if (choice == RecoveryChoice::later) {
        m_postponed = true;
        m_claimed = false; // neither written over nor removed by this run
        return nullptr;
    }
    if (choice == RecoveryChoice::restore)
        return std::make_unique<RecoveryContents>(std::move(read.contents));
    const FileResult kept = m_file.discard();
    m_discardedThisRun = kept.ok;
    if (!kept)
        warnings.push_back("The recovery file " + m_file.path().string() + " could not be kept as "
            + m_file.oldPath().string() + ": " + kept.reason);
    return nullptr;
}

void RecoveryJournal::changed(Clock::time_point now)
{
    if (m_claimed && !m_schedule.pending())
        m_schedule.changed(now);
}

std::optional<RecoveryJournal::Clock::time_point> RecoveryJournal::deadline() const
{
    return m_claimed ? m_schedule.dueAt() : std::nullopt;
}

FileResult RecoveryJournal::tick(Clock::time_point now, std::uint64_t revision,
    const std::function<RecoveryContents()>& contents)
{
    if (!m_claimed || !m_schedule.due(now))
        return FileResult::success();
    if (revision == m_written) {
        m_schedule.written(); // an undo back to what the journal holds
        return FileResult::success();
    }
    FileResult result = write(revision, contents());
    if (result)
        m_schedule.written();
    else
        m_schedule.failed(now);
    return result;
}

FileResult RecoveryJournal::write(std::uint64_t revision, const RecoveryContents& contents)
{
    if (!ensureDirectory(m_folder))
        return FileResult::failure(m_file.path(), "its folder cannot be created");
    FileResult result = m_file.write(contents);
    if (result)
        m_written = revision;
    return result;
}

FileResult RecoveryJournal::remove(std::uint64_t revision)
{
    if (!m_claimed)
        return FileResult::success();
    FileResult result = m_file.remove();
    if (!m_discardedThisRun) {
        // An old journal left over is only offered by no one: its failure is
        // reported when nothing worse is.
        if (FileResult old = m_file.removeOld(); !old && result)
            result = std::move(old);
    }
    if (result) {
        m_written = revision;
        m_schedule.written();
    }
    return result;
}

} // namespace kestrow
