#include "platform/mididrv/driver.h"

#include "platform/mididrv/device_names.h"
#include "platform/mididrv/input_port.h"
#include "platform/mididrv/output_port.h"
#include "platform/mididrv/port_backend.h"
#include "platform/mididrv/port_watch.h"
#include "platform/mididrv/smf_codec.h"
#include "platform/mididrv/sync_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrow::mididrv {

namespace {

    /// Larger files are not standard MIDI files anyone would hand us.
    constexpr std::uintmax_t kMaxFileSize = 64u << 20;
    constexpr std::int32_t kMaxTracks = 0xFFFF;

    struct Device {
        PortBackend* backend = nullptr;
        PortInfo port;
        std::string name; ///< whole and unique in its list
        std::string description; ///< the same cut to fit the 32-byte buffer
    };

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
                out.close();
                std::remove(temporary.c_str());
                return false;
            }
        }
        if (std::rename(temporary.c_str(), path.c_str()) != 0) {
            std::remove(temporary.c_str());
            return false;
        }
        return true;
    }

    class Driver {
    public:
        Driver()
        {
            if (auto alsa = makeAlsaBackend())
                m_backends.push_back(std::move(alsa));
            if (auto jack = makeJackBackend())
                m_backends.push_back(std::move(jack));
            m_backends.push_back(makeEmulatedBackend()); // always last in the lists
        }

        ~Driver()
        {
            // Ports and clocks stop their threads before the backends go.
            m_inputs.clear();
            m_outputs.clear();
            m_syncs.clear();
        }

        std::mutex mutex;

        std::vector<Device>& list(bool output)
        {
            std::vector<Device> devices;
            for (auto& backend : m_backends) {
                for (auto& port : output ? backend->outputs() : backend->inputs())
                    devices.push_back({ backend.get(), std::move(port), {}, {} });
            }
            // Ports of one name stand together, in their stable order, so the
            // " #2" that tells them apart names the same device in every run.
            std::map<std::string, std::size_t> firstAt;
            for (std::size_t i = 0; i < devices.size(); ++i)
                firstAt.emplace(devices[i].port.name, i);
            std::stable_sort(devices.begin(), devices.end(), [&](const Device& a, const Device& b) {
                const std::size_t groupA = firstAt[a.port.name];
                const std::size_t groupB = firstAt[b.port.name];
                return groupA != groupB ? groupA < groupB : a.port.order < b.port.order;
            });
            std::vector<std::string> names;
            for (const Device& device : devices)
                names.push_back(device.port.name);
            const auto descriptions = describe(names);
            const auto whole = uniqueNames(names);
            for (std::size_t i = 0; i < devices.size(); ++i) {
                devices[i].description = descriptions[i];
                devices[i].name = whole[i];
            }
            auto& target = output ? m_outDevices : m_inDevices;
            target = std::move(devices);
            (output ? m_outListed : m_inListed) = true;
            return target;
        }

        std::vector<std::string> statuses()
        {
            std::vector<std::string> lines;
            for (auto& backend : m_backends)
                lines.push_back(backend->status());
            return lines;
        }

        std::vector<Device>& devices(bool output)
        {
            if (!(output ? m_outListed : m_inListed))
                return list(output);
            return output ? m_outDevices : m_inDevices;
        }

        std::uint32_t newHandle() { return m_nextHandle++; }

        std::map<std::uint32_t, std::unique_ptr<OutputPort>> m_outputs;
        std::map<std::uint32_t, std::unique_ptr<InputPort>> m_inputs;
        std::map<std::uint32_t, std::unique_ptr<SyncClock>> m_syncs;
        std::map<std::uint32_t, std::unique_ptr<SmfFile>> m_files;
        PortWatch watch; ///< started by the first ask for its descriptor

    private:
        std::vector<std::unique_ptr<PortBackend>> m_backends;
        std::vector<Device> m_outDevices;
        std::vector<Device> m_inDevices;
        bool m_outListed = false;
        bool m_inListed = false;
        std::uint32_t m_nextHandle = 0x100; ///< well above 32, the highest failure value
    };

    Driver& driver()
    {
        static Driver instance;
        return instance;
    }

    template <typename Map> auto* find(Map& map, std::uint32_t handle)
    {
        auto it = map.find(handle);
        return it == map.end() ? nullptr : it->second.get();
    }

    std::uint16_t description(bool output, std::uint16_t id, char* text)
    {
        if (!text)
            return 1;
        std::lock_guard lock(driver().mutex);
        auto& devices = driver().devices(output);
        if (id >= devices.size()) {
            text[0] = '\0';
            return 1;
        }
        std::snprintf(text, MIDIDRV_DESCRIPTION_SIZE, "%s", devices[id].description.c_str());
        return 0;
    }

    /// `text` into a caller's buffer of `size` bytes (cut, terminated); its
    /// whole length, so a caller can ask again with room enough.
    std::uint32_t copyOut(const std::string& text, char* buffer, std::uint32_t size)
    {
        if (buffer != nullptr && size > 0)
            std::snprintf(buffer, size, "%s", text.c_str());
        return static_cast<std::uint32_t>(text.size());
    }

    std::uint32_t wholeName(bool output, std::uint16_t id, char* text, std::uint32_t size)
    {
        std::lock_guard lock(driver().mutex);
        auto& devices = driver().devices(output);
        if (id >= devices.size())
            return copyOut({}, text, size);
        return copyOut(devices[id].name, text, size);
    }

    std::uint16_t count(bool output)
    {
        std::lock_guard lock(driver().mutex);
        return static_cast<std::uint16_t>(
            std::min<std::size_t>(driver().list(output).size(), 0xFFF0));
    }

} // namespace

std::int32_t portChangeDescriptor()
{
    std::lock_guard lock(driver().mutex);
    return driver().watch.descriptor();
}

std::uint32_t portChangeCount()
{
    std::lock_guard lock(driver().mutex);
    return driver().watch.changes();
}

std::uint32_t outName(std::uint16_t id, char* text, std::uint32_t size)
{
    return wholeName(true, id, text, size);
}

std::uint32_t inName(std::uint16_t id, char* text, std::uint32_t size)
{
    return wholeName(false, id, text, size);
}

std::uint32_t systemStatus(std::uint16_t index, char* text, std::uint32_t size)
{
    std::lock_guard lock(driver().mutex);
    const auto lines = driver().statuses();
    return copyOut(index < lines.size() ? lines[index] : std::string(), text, size);
}

std::uint16_t numOutDevices() { return count(true); }
std::uint16_t numInDevices() { return count(false); }
std::uint16_t outDescription(std::uint16_t id, char* text) { return description(true, id, text); }
std::uint16_t inDescription(std::uint16_t id, char* text) { return description(false, id, text); }

std::uint32_t openOut(const MidiDrvNotify* notify, std::uint16_t id, std::uint32_t)
{
    std::lock_guard lock(driver().mutex);
    auto& devices = driver().devices(true);
    if (id >= devices.size())
        return 0;
    auto connection = devices[id].backend->openOutput(devices[id].port);
    if (!connection)
        return 0;
    auto port = std::make_unique<OutputPort>(std::move(connection));
    if (notify)
        port->notify = *notify;
    std::uint32_t handle = driver().newHandle();
    driver().m_outputs[handle] = std::move(port);
    return handle;
}

void resetOut(std::uint32_t handle)
{
    std::lock_guard lock(driver().mutex);
    if (auto* port = find(driver().m_outputs, handle))
        port->reset();
}

void flushOut(std::uint32_t handle)
{
    MidiDrvNotify notify {};
    {
        std::lock_guard lock(driver().mutex);
        auto* port = find(driver().m_outputs, handle);
        if (!port)
            return;
        notify = port->notify;
    }
    // Everything is sent the moment it is put; after a flush the port can
    // take more at once.
    if (notify.callback)
        notify.callback(notify.context, MIDIDRV_MSG_OUTPUT_READY);
}

void closeOut(std::uint32_t handle)
{
    std::unique_ptr<OutputPort> port;
    {
        std::lock_guard lock(driver().mutex);
        auto it = driver().m_outputs.find(handle);
        if (it == driver().m_outputs.end())
            return;
        port = std::move(it->second);
        driver().m_outputs.erase(it);
    }
}

std::uint16_t putOut(std::uint32_t handle, const MidiDrvEvent* event)
{
    if (!event)
        return MIDIDRV_PUT_NO_PORT;
    std::lock_guard lock(driver().mutex);
    auto* port = find(driver().m_outputs, handle);
    return port ? port->put(*event) : MIDIDRV_PUT_NO_PORT;
}

std::uint32_t openIn(const MidiDrvNotify* notify, std::uint16_t id, std::uint32_t sync)
{
    std::lock_guard lock(driver().mutex);
    auto& devices = driver().devices(false);
    if (id >= devices.size())
        return 0;
    auto port = std::make_unique<InputPort>(notify ? *notify : MidiDrvNotify {});
    auto connection = devices[id].backend->openInput(devices[id].port, *port);
    if (!connection)
        return 0;
    port->attach(std::move(connection));
    port->sync = sync;
    std::uint32_t handle = driver().newHandle();
    driver().m_inputs[handle] = std::move(port);
    return handle;
}

void startIn(std::uint32_t handle)
{
    std::lock_guard lock(driver().mutex);
    if (auto* port = find(driver().m_inputs, handle))
        port->start();
}

void stopIn(std::uint32_t handle)
{
    std::lock_guard lock(driver().mutex);
    if (auto* port = find(driver().m_inputs, handle))
        port->stop();
}

void closeIn(std::uint32_t handle)
{
    std::unique_ptr<InputPort> port;
    {
        std::lock_guard lock(driver().mutex);
        auto it = driver().m_inputs.find(handle);
        if (it == driver().m_inputs.end())
            return;
        port = std::move(it->second);
        driver().m_inputs.erase(it);
    }
    // Joins the notifier outside the lock: its callback may call in here.
}

MidiDrvEvent* getIn(std::uint32_t handle)
{
    std::lock_guard lock(driver().mutex);
    auto* port = find(driver().m_inputs, handle);
    if (!port)
        return nullptr;
    InputPort::Entry entry;
    if (!port->pop(entry))
        return nullptr;
    std::uint64_t micros = entry.micros > port->lastMicros ? entry.micros - port->lastMicros : 0;
    port->lastMicros = std::max(port->lastMicros, entry.micros);
    port->current = entry.event;
    auto* clock = find(driver().m_syncs, port->sync);
    if (clock && clock->running())
        port->current.time = clock->ticksFor(micros);
    else
        port->current.time = static_cast<std::uint32_t>(micros / 1000);
    return &port->current;
}

std::uint32_t openSync(
    std::uint32_t previous, const MidiDrvNotify* notify, std::uint16_t mode, std::uint16_t period)
{
    std::lock_guard lock(driver().mutex);
    if (previous != 0) {
        auto* clock = find(driver().m_syncs, previous);
        if (!clock)
            return 0;
        clock->configure(mode, period);
        return previous;
    }
    auto clock = std::make_unique<SyncClock>(notify ? *notify : MidiDrvNotify {});
    clock->configure(mode == 0xFFFF ? 0 : mode, period == 0xFFFF ? 0 : period);
    std::uint32_t handle = driver().newHandle();
    driver().m_syncs[handle] = std::move(clock);
    return handle;
}

void closeSync(std::uint32_t handle)
{
    std::unique_ptr<SyncClock> clock;
    {
        std::lock_guard lock(driver().mutex);
        auto it = driver().m_syncs.find(handle);
        if (it == driver().m_syncs.end())
            return;
        clock = std::move(it->second);
        driver().m_syncs.erase(it);
    }
}

namespace {

    /// Clock calls run outside the driver lock: they join the clock thread,
    /// whose notifications may call back into the driver.
    template <typename Fn> void withClock(std::uint32_t handle, Fn fn)
    {
        SyncClock* clock = nullptr;
        {
            std::lock_guard lock(driver().mutex);
            clock = find(driver().m_syncs, handle);
        }
        if (clock)
            fn(*clock);
    }

} // namespace

void stopSync(std::uint32_t handle)
{
    withClock(handle, [](SyncClock& c) { c.stop(); });
}
void startSync(std::uint32_t handle)
{
    withClock(handle, [](SyncClock& c) { c.start(); });
}
void pauseSync(std::uint32_t handle)
{
    withClock(handle, [](SyncClock& c) { c.pause(); });
}
void restartSync(std::uint32_t handle)
{
    withClock(handle, [](SyncClock& c) { c.restart(); });
}
void setTempo(std::uint32_t handle, std::uint32_t tempo)
{
    withClock(handle, [tempo](SyncClock& c) { c.setTempo(tempo); });
}
void setResolution(std::uint32_t handle, std::uint16_t resolution)
{
    withClock(handle, [resolution](SyncClock& c) { c.setResolution(resolution); });
}

std::uint32_t getTempo(std::uint32_t handle)
{
    std::uint32_t tempo = 0;
    withClock(handle, [&tempo](SyncClock& c) { tempo = c.tempo(); });
    return tempo;
}

std::uint16_t getResolution(std::uint32_t handle)
{
    std::uint16_t resolution = 0;
    withClock(handle, [&resolution](SyncClock& c) { resolution = c.resolution(); });
    return resolution;
}

std::uint16_t getPosition(std::uint32_t handle, std::uint32_t* ticks)
{
    if (!ticks)
        return 1;
    std::uint16_t result = 1;
    withClock(handle, [&](SyncClock& c) {
        *ticks = c.position();
        result = 0;
    });
    return result;
}

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
    std::lock_guard lock(driver().mutex);
    std::uint32_t handle = driver().newHandle();
    driver().m_files[handle] = std::move(file);
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
    std::lock_guard lock(driver().mutex);
    auto it = driver().m_files.find(handle);
    if (it == driver().m_files.end())
        return;
    if (it->second->mode == 'w' && it->second->dirty)
        flush(*it->second);
    driver().m_files.erase(it);
}

void rewindSmf(std::uint32_t handle)
{
    std::lock_guard lock(driver().mutex);
    if (auto* file = find(driver().m_files, handle))
        std::fill(file->readPositions.begin(), file->readPositions.end(), 0);
}

std::int32_t readSmf(
    std::uint32_t handle, std::int32_t track, MidiDrvEvent* buffer, std::int32_t room)
{
    std::lock_guard lock(driver().mutex);
    auto* file = find(driver().m_files, handle);
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
    std::lock_guard lock(driver().mutex);
    auto* file = find(driver().m_files, handle);
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
    std::lock_guard lock(driver().mutex);
    auto* file = find(driver().m_files, handle);
    return file ? file->song.resolution : 0;
}

void setSmfResolution(std::uint32_t handle, std::uint16_t resolution)
{
    std::lock_guard lock(driver().mutex);
    auto* file = find(driver().m_files, handle);
    if (file && file->mode == 'w' && resolution != 0) {
        file->song.resolution = resolution;
        file->dirty = true;
    }
}

std::int32_t readMeta(std::uint32_t handle, std::int32_t track, std::uint8_t type,
    const std::uint8_t** data, std::int32_t* length)
{
    std::lock_guard lock(driver().mutex);
    auto* file = find(driver().m_files, handle);
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
    std::lock_guard lock(driver().mutex);
    auto* file = find(driver().m_files, handle);
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
