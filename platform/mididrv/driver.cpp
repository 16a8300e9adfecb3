#include "platform/mididrv/driver.h"

#include "platform/mididrv/device_names.h"
#include "platform/mididrv/input_port.h"
#include "platform/mididrv/output_port.h"
#include "platform/mididrv/port_backend.h"
#include "platform/mididrv/port_watch.h"
#include "platform/mididrv/sync_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrow::mididrv {

namespace {

    struct Device {
        PortBackend* backend = nullptr;
        PortInfo port;
        std::string name; ///< whole and unique in its list
        std::string description; ///< the same cut to fit the 32-byte buffer
    };

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

} // namespace kestrow::mididrv
