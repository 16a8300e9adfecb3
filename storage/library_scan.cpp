#include "storage/library_scan.h"

#include "storage/dump_scan.h"
#include "storage/file_replace.h"
#include "storage/preset_files.h"
#include "storage/side_files.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <utility>

namespace kestrow {

namespace fs = std::filesystem;

namespace {

    std::int64_t nanoseconds(fs::file_time_type time)
    {
        const auto since1970 = std::chrono::file_clock::to_sys(time).time_since_epoch();
        return std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count();
    }

    /// Adds one file's time and size to the stamp; a missing side file adds nothing.
    void addToStamp(SetStamp& stamp, const SetStamp& file)
    {
        stamp.modified = std::max(stamp.modified, file.modified);
        stamp.size += file.size;
    }

    void addToStamp(SetStamp& stamp, const fs::path& file)
    {
        std::error_code error;
        const auto size = fs::file_size(file, error);
        const auto time = error ? fs::file_time_type() : fs::last_write_time(file, error);
        if (!error)
            addToStamp(stamp, SetStamp { nanoseconds(time), size });
    }

    std::string lowered(std::string text)
    {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    /// Calls each(entry) for every regular file below the folder; a folder
    /// that cannot be read whole is named in `problems` with the reason.
    template <class Each>
    void walkFolder(const std::string& folder, std::vector<std::string>& problems, Each&& each)
    {
        std::error_code error;
        fs::recursive_directory_iterator walk(
            folder, fs::directory_options::skip_permission_denied, error);
        for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
            std::error_code typeError;
            if (walk->is_regular_file(typeError))
                each(*walk);
        }
        if (error)
            problems.push_back(folder + ": cannot read the folder (" + error.message()
                + "); check that it exists and that you may read it");
    }

} // namespace

SetReading readPresetSet(const std::string& path, TMidiSMF& smf)
{
    SetReading reading;
    PresetBank scratch;
    const DeviceVariant variant = DeviceVariant::zembraControl; // reading takes any
    PresetFiles files(scratch, smf, variant);
    try {
        const LoadResult loaded = files.loadAllPresets(path);
        if (!loaded) {
            reading.error = loaded.reason;
            return reading;
        }
        reading.note = loaded.note;
    } catch (const std::exception& e) {
        reading.error = path + ": " + e.what();
        return reading;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(files.dumpCount()));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(files.dumpBytes[i] & 0xFF);
    const DumpScan scan = scanDump(bytes);
    for (const DumpAssignment& a : assignDump(scan, -1)) {
        const FrameKind kind = scan.messages[a.message].kind;
        reading.initValues = reading.initValues || kind == FrameKind::initValues;
        if (kind == FrameKind::presetData)
            reading.held[static_cast<std::size_t>(a.preset)] = 1;
    }
    reading.presets = std::move(scratch.presets);
    return reading;
}

std::vector<std::string> findPresetFiles(
    const std::vector<std::string>& paths, std::vector<std::string>& problems)
{
    std::vector<std::string> found;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            found.push_back(path); // the reader says what is wrong with it
            continue;
        }
        std::vector<std::string> inFolder;
        walkFolder(path, problems, [&inFolder](const fs::directory_entry& entry) {
            if (hasMidExtension(entry.path().string()))
                inFolder.push_back(entry.path().string());
        });
        std::sort(inFolder.begin(), inFolder.end());
        found.insert(found.end(), inFolder.begin(), inFolder.end());
    }
    return found;
}

SetStamp stampOf(const std::string& midPath)
{
    SetStamp stamp;
    addToStamp(stamp, midPath);
    if (stamp.size == 0 && stamp.modified == 0)
        return stamp;
    const std::string base = baseNameOf(midPath);
    addToStamp(stamp, sideFile(base + ".CFG"));
    addToStamp(stamp, sideFile(base + ".NTS"));
    return stamp;
}

LibrarySet readLibrarySet(LibraryIndex& index, const std::string& path, TMidiSMF& smf)
{
    const SetStamp stamp = stampOf(path);
    SetReading reading = readPresetSet(path, smf);
    if (reading.ok())
        return index.makeSet(path, stamp, reading.presets, reading.held, reading.initValues);
    LibrarySet damaged;
    damaged.path = path;
    damaged.stamp = stamp;
    damaged.damage = std::move(reading.error);
    return damaged;
}

std::size_t LibraryScan::start(LibraryIndex& index, const std::vector<std::string>& folders)
{
    m_problems.clear();
    m_pending.clear();
    m_next = 0;
    std::vector<std::string> present;
    for (const std::string& folder : folders) {
        std::error_code error;
        if (fs::is_directory(folder, error))
            present.push_back(folder);
        else
            m_problems.push_back(folder
                + ": the folder is not there; connect its drive or remove it from the library");
    }
    // One walk gives every file's time and size: a stamp per set then costs
    // no look-up of side files in a folder of thousands.
    std::vector<std::string> files;
    std::map<std::string, SetStamp> stamps; // by the path in lower case
    for (const std::string& folder : present) {
        walkFolder(folder, m_problems, [&](const fs::directory_entry& entry) {
            std::error_code error;
            const auto size = entry.file_size(error);
            const auto time = error ? fs::file_time_type() : entry.last_write_time(error);
            if (error)
                return;
            const std::string path = entry.path().string();
            stamps[lowered(path)] = SetStamp { nanoseconds(time), size };
            if (hasMidExtension(path))
                files.push_back(path);
        });
    }
    // A folder given twice, or inside another, lists its files once.
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    index.keepOnly([&files](const LibrarySet& set) {
        return std::binary_search(files.begin(), files.end(), set.path);
    });
    for (const std::string& file : files) {
        const std::string base = lowered(baseNameOf(file));
        SetStamp stamp;
        for (const char* extension : { ".mid", ".cfg", ".nts" }) {
            if (const auto at = stamps.find(base + extension); at != stamps.end())
                addToStamp(stamp, at->second);
        }
        const LibrarySet* known = index.find(file);
        if (!known || known->stamp != stamp)
            m_pending.push_back(file);
    }
    return m_pending.size();
}

bool LibraryScan::step(LibraryIndex& index, TMidiSMF& smf, std::size_t count)
{
    for (; count > 0 && m_next < m_pending.size(); --count)
        index.put(readLibrarySet(index, m_pending[m_next++], smf));
    return done();
}

} // namespace kestrow
