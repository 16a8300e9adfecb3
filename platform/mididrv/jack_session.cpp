#include "platform/mididrv/jack_session.h"

#include "platform/mididrv/port_watch.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <iostream>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kestrow::mididrv {

namespace {

    /// How long a failed open's answer stands.
    constexpr std::chrono::milliseconds kRetryAfter { 500 };

    std::mutex g_sharedMutex;
    std::weak_ptr<JackSession> g_shared;

    bool own(const char* name)
    {
        return name != nullptr
            && std::strncmp(name, kOwnClientPrefix, std::strlen(kOwnClientPrefix)) == 0;
    }

    void quietJack(const char* text)
    {
        if (std::getenv("KESTROW_MIDIDRV_DEBUG"))
            std::cerr << "mididrv: JACK: " << text << '\n';
    }

    /// A thread left waiting in libjack returns into this library's code, so
    /// once one is left the library stays loaded until the process ends.
    void keepLibraryLoaded()
    {
        static const bool kept = [] {
            Dl_info info {};
            return ::dladdr(reinterpret_cast<void*>(&keepLibraryLoaded), &info) != 0
                && info.dli_fname != nullptr
                && ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
        }();
        (void)kept;
    }

} // namespace

std::shared_ptr<JackSession> JackSession::shared()
{
    std::lock_guard lock(g_sharedMutex);
    auto session = g_shared.lock();
    if (!session) {
        session = std::shared_ptr<JackSession>(new JackSession);
        g_shared = session;
    }
    return session;
}

JackSession::~JackSession()
{
    // A client whose server has died is not closed: libjack would crash in it.
    if (jack_client_t* client = m_client.load(); client != nullptr && m_alive.load())
        jack_client_close(client);
    if (m_attempt) {
        std::lock_guard lock(m_attempt->mutex);
        if (m_attempt->done && m_attempt->client != nullptr)
            jack_client_close(m_attempt->client);
        m_attempt->abandoned = true;
    }
}

bool JackSession::running()
{
    std::lock_guard lock(m_mutex);
    return open();
}

std::optional<std::vector<std::string>> JackSession::midiPorts(unsigned long flags)
{
    std::lock_guard lock(m_mutex);
    if (!open())
        return std::nullopt;
    std::vector<std::string> names;
    const char** ports = jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    for (std::size_t i = 0; ports != nullptr && ports[i] != nullptr; ++i)
        names.emplace_back(ports[i]);
    jack_free(ports);
    return names;
}

void JackSession::setWatch(PortWatch* watch)
{
    std::lock_guard lock(m_watchMutex);
    m_watch = watch;
}

bool JackSession::open()
{
    if (m_client.load() != nullptr && m_alive.load())
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (m_triedAt != std::chrono::steady_clock::time_point {} && now - m_triedAt < kRetryAfter)
        return false;
    // The client of a server that went is dropped unclosed: closing it
    // would reach into the dead server's memory.
    m_client = nullptr;
    m_triedAt = now;
    // Only the library can tell whether a server answers: jackd's leaves
    // socket files about, PipeWire's none. Asking costs a failed connect when
    // nobody answers, and never more than kAnswerWithin.
    // libjack may stay loaded after this library is unloaded (when the host
    // uses it too) and must not call into us then.
    static const struct PrintReset {
        ~PrintReset()
        {
            jack_set_error_function(nullptr);
            jack_set_info_function(nullptr);
        }
    } printReset;
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
    jack_client_t* client = answeredClient();
    m_triedAt = std::chrono::steady_clock::now();
    if (client == nullptr)
        return false;
    const jack_nframes_t rate = jack_get_sample_rate(client);
    if (rate > 0)
        m_cycle = static_cast<long>(
            1000000.0 * jack_get_buffer_size(client) / static_cast<double>(rate));
    jack_set_port_registration_callback(client, &JackSession::portRegistered, this);
    jack_set_client_registration_callback(client, &JackSession::clientRegistered, this);
    jack_set_port_rename_callback(client, &JackSession::portRenamed, this);
    jack_on_shutdown(client, &JackSession::shutDown, this);
    m_client = client;
    if (jack_activate(client) != 0) {
        jack_client_close(m_client.exchange(nullptr));
        return false;
    }
    m_alive = true;
    return true;
}

jack_client_t* JackSession::answeredClient()
{
    if (!m_attempt) {
        auto attempt = std::make_shared<Attempt>();
        // No ports and no process callback: the server never wakes this client
        // for audio cycles, only its notification thread when the graph changes.
        const auto openClient = [attempt] {
            jack_status_t status {};
            jack_client_t* client = jack_client_open("kestrow-watch", JackNoStartServer, &status);
            std::unique_lock lock(attempt->mutex);
            if (attempt->abandoned) {
                lock.unlock();
                if (client != nullptr)
                    jack_client_close(client);
                return;
            }
            attempt->client = client;
            attempt->done = true;
            attempt->answered.notify_all();
        };
        std::thread opener;
        try {
            opener = std::thread(openClient);
        } catch (const std::system_error&) {
            return nullptr; // no thread to spare: tried again later
        }
        m_attempt = std::move(attempt);
        std::unique_lock lock(m_attempt->mutex);
        if (m_attempt->answered.wait_for(lock, kAnswerWithin, [this] { return m_attempt->done; })) {
            lock.unlock();
            opener.join();
        } else {
            keepLibraryLoaded();
            opener.detach();
        }
    }
    std::unique_lock lock(m_attempt->mutex);
    if (!m_attempt->done)
        return nullptr; // still waiting: no second thread, no second wait
    jack_client_t* client = m_attempt->client;
    lock.unlock();
    m_attempt.reset();
    return client;
}

void JackSession::changed()
{
    std::lock_guard lock(m_watchMutex);
    if (m_watch != nullptr)
        m_watch->changed();
}

void JackSession::portRegistered(jack_port_id_t id, int, void* arg)
{
    auto* self = static_cast<JackSession*>(arg);
    // A port that is gone may have no name left: counted, to be safe.
    const jack_port_t* port = jack_port_by_id(self->m_client.load(), id);
    if (!own(port != nullptr ? jack_port_name(port) : nullptr))
        self->changed();
}

void JackSession::clientRegistered(const char* name, int, void* arg)
{
    if (!own(name))
        static_cast<JackSession*>(arg)->changed();
}

void JackSession::portRenamed(jack_port_id_t, const char*, const char* name, void* arg)
{
    if (!own(name))
        static_cast<JackSession*>(arg)->changed();
}

void JackSession::shutDown(void* arg)
{
    auto* self = static_cast<JackSession*>(arg);
    self->m_alive = false;
    self->changed(); // every port of the server went with it
}

} // namespace kestrow::mididrv
