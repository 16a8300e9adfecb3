#include "platform/mididrv/smf_files.h"

#include "platform/mididrv/smf_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrow::mididrv {

namespace {

    /// Larger files are not standard MIDI files anyone would hand us.
    constexpr std::uintmax_t kMaxFileSize = 64u << 20;
    constexpr std::int32_t kMaxTracks = 0xFFFF;

    struct SmfFile {
        std::string path;
        char mode = 'r';
        smf::Song song;
        std::vector<std::size_t> readPositions;
        bool dirty = false;
    };

    bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        // A temporary file renamed over the old one: a failed write never
        // leaves a cut-off file behind.
        std::string temporary = path + ".tmp~";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (!out)
                return false;
            out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
            out.flush();
            if (!out) {
                const int error = errno; // the caller reports the system's reason
                out.close();
                std::remove(temporary.c_str());
                errno = error;
                return false;
            }
        }
        if (std::rename(temporary.c_str(), path.c_str()) != 0) {
            const int error = errno;
            std::remove(temporary.c_str());
            errno = error;
            return false;
        }
        return true;
    }

    /// The open files, by handle; apart from the ports' table, so that a
    /// program can read files with these functions without any MIDI system.
    struct OpenFiles {
        std::mutex mutex;
        std::map<std::uint32_t, std::unique_ptr<SmfFile>> open;
        std::uint32_t nextHandle = 0x100; ///< well above 32, the highest failure value
    };

    OpenFiles& files()
    {
        static OpenFiles instance;
        return instance;
    }

    SmfFile* find(std::map<std::uint32_t, std::unique_ptr<SmfFile>>& map, std::uint32_t handle)
    {
        auto it = map.find(handle);
        return it == map.end() ? nullptr : it->second.get();
    }

} // namespace

std::uint32_t openSmf(
    const char* fileName, std::int32_t* format, char mode, std::int32_t* numTracks)
{
    if (!fileName || (mode != 'r' && mode != 'w'))
        return 0;
    auto file = std::make_unique<SmfFile>();
    file->path = fileName;
    file->mode = mode;
    if (mode == 'r') {
        std::error_code ec;
        auto size = std::filesystem::file_size(file->path, ec);
        if (ec || size > kMaxFileSize)
            return 0;
        std::ifstream in(file->path, std::ios::binary);
        if (!in)
            return 0;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        auto song = smf::decode(bytes);
        if (!song)
            return 0;
        file->song = std::move(*song);
        file->readPositions.assign(file->song.tracks.size(), 0);
        if (format)
            *format = file->song.format;
        if (numTracks)
            *numTracks = static_cast<std::int32_t>(file->song.tracks.size());
    } else {
        // Refuse here rather than lose the data at the first write.
        std::filesystem::path path(file->path);
        std::filesystem::path dir
            = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
        if (::access(dir.c_str(), W_OK) != 0 || std::filesystem::is_directory(path))
            return 0;
        file->song.format = format && *format >= 0 && *format <= 2 ? *format : 1;
        if (numTracks)
            *numTracks = 0;
    }
    std::lock_guard lock(files().mutex);
    std::uint32_t handle = files().nextHandle++;
    files().open[handle] = std::move(file);
    return handle;
}

namespace {

    bool flush(SmfFile& file)
    {
        if (!writeWholeFile(file.path, smf::encode(file.song)))
            return false;
        file.dirty = false;
        return true;
    }

} // namespace

void closeSmf(std::uint32_t handle)
{
    std::lock_guard lock(files().mutex);
    auto it = files().open.find(handle);
    if (it == files().open.end())
        return;
    if (it->second->mode == 'w' && it->second->dirty)
        flush(*it->second);
    files().open.erase(it);
}

void rewindSmf(std::uint32_t handle)
{
    std::lock_guard lock(files().mutex);
    if (auto* file = find(files().open, handle))
        std::fill(file->readPositions.begin(), file->readPositions.end(), 0);
}

std::int32_t readSmf(
    std::uint32_t handle, std::int32_t track, MidiDrvEvent* buffer, std::int32_t room)
{
    std::lock_guard lock(files().mutex);
    auto* file = find(files().open, handle);
    if (!file || !buffer || room <= 0 || track < 0
        || static_cast<std::size_t>(track) >= file->song.tracks.size())
        return 0;
    const auto& events = file->song.tracks[static_cast<std::size_t>(track)].events;
    std::size_t& position = file->readPositions[static_cast<std::size_t>(track)];
    std::size_t n = std::min(events.size() - position, static_cast<std::size_t>(room));
    std::copy_n(events.begin() + static_cast<std::ptrdiff_t>(position), n, buffer);
    position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t writeSmf(
    std::uint32_t handle, std::int32_t track, const MidiDrvEvent* buffer, std::int32_t count)
{
    std::lock_guard lock(files().mutex);
    auto* file = find(files().open, handle);
    if (!file || file->mode != 'w' || track < 0 || track >= kMaxTracks || count < 0
        || (count > 0 && !buffer))
        return 0;
    auto& tracks = file->song.tracks;
    if (static_cast<std::size_t>(track) >= tracks.size())
        tracks.resize(static_cast<std::size_t>(track) + 1);
    tracks[static_cast<std::size_t>(track)].events.insert(
        tracks[static_cast<std::size_t>(track)].events.end(), buffer, buffer + count);
    file->dirty = true;
    return flush(*file) ? count : 0;
}

std::uint16_t getSmfResolution(std::uint32_t handle)
{
    std::lock_guard lock(files().mutex);
    auto* file = find(files().open, handle);
    return file ? file->song.resolution : 0;
}

void setSmfResolution(std::uint32_t handle, std::uint16_t resolution)
{
    std::lock_guard lock(files().mutex);
    auto* file = find(files().open, handle);
    if (file && file->mode == 'w' && resolution != 0) {
        file->song.resolution = resolution;
        file->dirty = true;
    }
}

std::int32_t readMeta(std::uint32_t handle, std::int32_t track, std::uint8_t type,
    const std::uint8_t** data, std::int32_t* length)
{
    std::lock_guard lock(files().mutex);
    auto* file = find(files().open, handle);
    if (!file || track < 0 || static_cast<std::size_t>(track) >= file->song.tracks.size())
        return -1;
    const smf::MetaEvent* meta
        = smf::findMeta(file->song.tracks[static_cast<std::size_t>(track)], type);
    if (!meta)
        return -1;
    if (data)
        *data = meta->data.data();
    if (length)
        *length = static_cast<std::int32_t>(meta->data.size());
    return 0;
}

std::int32_t writeMeta(std::uint32_t handle, std::int32_t track, std::uint8_t type,
    const std::uint8_t* data, std::int32_t length)
{
    std::lock_guard lock(files().mutex);
    auto* file = find(files().open, handle);
    if (!file || file->mode != 'w' || track < 0 || track >= kMaxTracks || length < 0 || type >= 0x80
        || type == 0x2F)
        return -1;
    std::vector<std::uint8_t> bytes;
    if (data) {
        std::size_t n = length == 0 ? std::strlen(reinterpret_cast<const char*>(data))
                                    : static_cast<std::size_t>(length);
        bytes.assign(data, data + n);
    }
    auto& tracks = file->song.tracks;
    if (static_cast<std::size_t>(track) >= tracks.size())
        tracks.resize(static_cast<std::size_t>(track) + 1);
    auto& metas = tracks[static_cast<std::size_t>(track)].metas;
    // Saving twice must not give a track two names.
    auto it = std::find_if(
        metas.begin(), metas.end(), [type](const smf::MetaEvent& m) { return m.type == type; });
    if (it != metas.end())
        it->data = std::move(bytes);
    else
        metas.push_back({ type, std::move(bytes) });
    file->dirty = true;
    return 0;
}

} // namespace kestrow::mididrv
