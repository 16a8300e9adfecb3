#pragma once

#include <string>

namespace kestrow {

/// One editor per autosave folder. The running editor holds a local socket
/// named after the folder (in the abstract namespace: no file to go stale,
/// none in the user's folder); only one process can hold a name. A second
/// editor started on the folder asks the first, through it, to come forward
/// and ends. The system drops the name when its holder ends, however it
/// ends, so a crashed run's claim is simply taken over.
class InstanceLock {
public:
    enum class Outcome {
        acquired, ///< this run holds the folder
        forwarded, ///< another editor holds it and was asked to come forward
        held, ///< another editor holds it and did not answer
        unavailable, ///< no local socket to be had: the run goes on unguarded
    };

    /// Claims the folder; when another editor holds it, waits a little for it
    /// to answer (it may be starting or ending).
    explicit InstanceLock(const std::string& folder);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Outcome outcome() const { return m_outcome; }

    /// Readable when a later editor asks this one to come forward; -1 when
    /// there is nothing to listen to. Call takeRequest() when it is.
    int requestDescriptor() const { return m_listener; }
    /// Accepts and answers one waiting request; true when it asked for the window.
    bool takeRequest();

    /// Whether a running editor holds `folder` now: the command-line tool
    /// leaves such a folder alone.
    static bool heldByEditor(const std::string& folder);

private:
    std::string m_folder;
    int m_listener = -1;
    Outcome m_outcome = Outcome::unavailable;
};

} // namespace kestrow
