// The library side of a session: the user's folders of sets, the index kept
// beside the autosave set, searching it, and taking a set or one preset of
// it into the working set.

#include "editor/editor_session.h"
#include "midi/midi_driver.h"
#include "storage/library_file.h"

#include <algorithm>

namespace kestrow {

bool EditorSession::addLibraryFolder(const std::string& folder)
{
    if (folder.empty()
        || std::find(m_libraryFolders.begin(), m_libraryFolders.end(), folder)
            != m_libraryFolders.end()
        || m_libraryFolders.size() >= static_cast<std::size_t>(settings_keys::kLibraryFolderLimit))
        return false;
    m_libraryFolders.push_back(folder);
    return true;
}

void EditorSession::removeLibraryFolder(const std::string& folder)
{
    std::erase(m_libraryFolders, folder);
}

const LibraryIndex& EditorSession::library()
{
    if (!m_library)
        m_library = readLibraryIndex(m_paths.autosaveDirectory + kLibraryIndexFile);
    return *m_library;
}

std::size_t EditorSession::startLibraryRefresh()
{
    library();
    const std::size_t before = m_library->sets().size();
    const std::size_t pending = m_libraryScan.start(*m_library, m_libraryFolders);
    m_libraryChanged = pending > 0 || m_library->sets().size() != before;
    if (pending == 0)
        continueLibraryRefresh(0); // writes the index when sets were dropped
    return pending;
}

TMidiSMF& EditorSession::librarySmf()
{
    if (!m_librarySmf) {
        m_libraryDriver = TMidiDriver::filesOnly();
        m_librarySmf = std::make_unique<TMidiSMF>(m_libraryDriver.get());
    }
    return *m_librarySmf;
}

bool EditorSession::continueLibraryRefresh(std::size_t count)
{
    library();
    if (!m_libraryScan.step(*m_library, librarySmf(), count))
        return false;
    if (m_libraryChanged) {
        m_libraryChanged = false;
        m_libraryWrite
            = writeLibraryIndex(m_paths.autosaveDirectory + kLibraryIndexFile, *m_library);
    }
    return true;
}

LibrarySearch EditorSession::searchLibrary(const SearchCriteria& criteria, std::size_t limit)
{
    return kestrow::searchLibrary(library(), criteria, limit);
}

std::vector<std::vector<std::size_t>> EditorSession::libraryDuplicates()
{
    return duplicateSets(library());
}

LoadResult EditorSession::openLibrarySet(std::size_t set)
{
    if (set >= library().sets().size())
        return { false, "That set is no longer in the library; refresh the list.", {} };
    if (!m_dumpFilesUnavailable.empty())
        return { false, "Preset files cannot be read: " + m_dumpFilesUnavailable, {} };
    try {
        return loadAllPresets(m_library->sets()[set].path);
    } catch (const std::exception& e) {
        return { false, m_library->sets()[set].path + ": " + e.what(), {} };
    }
}

LoadResult EditorSession::copyLibraryPreset(std::size_t set, int presetIndex, int target)
{
    if (set >= library().sets().size() || presetIndex < 0 || presetIndex >= kPresetCount)
        return { false, "That preset is no longer in the library; refresh the list.", {} };
    const std::string path = m_library->sets()[set].path;
    // Read again: the file may have changed since it was indexed.
    const SetReading theirs = readPresetSet(path, librarySmf());
    if (!theirs.ok())
        return { false, theirs.error, {} };
    if (!theirs.held[static_cast<std::size_t>(presetIndex)])
        return { false,
            path + " no longer holds preset " + std::to_string(presetIndex + 1)
                + "; refresh the list and search again.",
            {} };
    const int into = wrapPresetIndex(target);
    EditHistory::Scope step = m_history.record("Copy from Library", into);
    step.preset(into);
    m_bank.presets[static_cast<std::size_t>(into)]
        = theirs.presets[static_cast<std::size_t>(presetIndex)];
    step.commit();
    return { true, {}, {} };
}

} // namespace kestrow
