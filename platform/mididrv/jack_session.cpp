#include "platform/mididrv/jack_session.h"

#include "platform/mididrv/port_watch.h"

#include <cstring>
#include <dlfcn.h>
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
    m_client.store(nullptr);
    if (m_attempt) {
        std::unique_ptr<JackClient> answered;
        std::lock_guard lock(m_attempt->mutex);
        answered = std::move(m_attempt->client);
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
    const auto client = m_client.load();
    const auto held = JackClient::hold();
    if (client->get() == nullptr)
        return std::nullopt;
    std::vector<std::string> names;
    const char** ports = jack_get_ports(client->get(), nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
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
    if (alive())
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (m_triedAt != std::chrono::steady_clock::time_point {} && now - m_triedAt < kRetryAfter)
        return false;
    // The client of a server that went is closed before another is opened.
    m_client.store(nullptr);
    m_callbackClient = nullptr;
    m_triedAt = now;
    // Only the library can tell whether a server answers: jackd's leaves
    // socket files about, PipeWire's none. Asking costs a failed connect when
    // nobody answers, and never more than kAnswerWithin.
    std::unique_ptr<JackClient> client = answeredClient();
    m_triedAt = std::chrono::steady_clock::now();
    if (!client)
        return false;
    const auto held = JackClient::hold();
    jack_client_t* opened = client->get();
    client->setShutDownHook(&JackSession::shutDown, this);
    if (opened == nullptr || !client->alive())
        return false; // the server went meanwhile
    const jack_nframes_t rate = jack_get_sample_rate(opened);
    if (rate > 0)
        m_cycle = static_cast<long>(
            1000000.0 * jack_get_buffer_size(opened) / static_cast<double>(rate));
    jack_set_port_registration_callback(opened, &JackSession::portRegistered, this);
    jack_set_client_registration_callback(opened, &JackSession::clientRegistered, this);
    jack_set_port_rename_callback(opened, &JackSession::portRenamed, this);
    m_callbackClient = opened;
    if (jack_activate(opened) != 0) {
        m_callbackClient = nullptr;
        return false;
    }
    m_client.store(std::move(client));
    return true;
}

std::unique_ptr<JackClient> JackSession::answeredClient()
{
    if (!m_attempt) {
        auto attempt = std::make_shared<Attempt>();
        // No ports and no process callback: the server never wakes this client
        // for audio cycles, only its notification thread when the graph changes.
        const auto openClient = [attempt] {
            std::unique_ptr<JackClient> client = JackClient::open("kestrow-watch");
            std::unique_lock lock(attempt->mutex);
            if (attempt->abandoned) {
                lock.unlock();
                client.reset();
                return;
            }
            attempt->client = std::move(client);
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
    std::unique_ptr<JackClient> client = std::move(m_attempt->client);
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
    const jack_port_t* port = jack_port_by_id(self->m_callbackClient.load(), id);
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
    static_cast<JackSession*>(arg)->changed(); // every port of the server went with it
}

} // namespace kestrow::mididrv
