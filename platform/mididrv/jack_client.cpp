#include "platform/mididrv/jack_client.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <iostream>
#include <utility>
#include <vector>

namespace kestrow::mididrv {

namespace {

    std::recursive_mutex g_mutex;
    std::vector<JackClient*> g_open; ///< under g_mutex
    /// Set while an open runs when libjack says it is freeing the clients of
    /// a server that went.
    std::atomic<bool> g_freedAll { false };

    void printJack(const char* text)
    {
        // jackd's libjack says so just before it closes and frees every client.
        if (std::strstr(text, "clients are still allocated") != nullptr)
            g_freedAll = true;
        if (std::getenv("KESTROW_MIDIDRV_DEBUG"))
            std::cerr << "mididrv: JACK: " << text << '\n';
    }

    /// jackd's libjack opens its metadata database (about 1.5 MiB of memory)
    /// inside every jack_client_open, a server running or not. Its server
    /// listens on a socket /dev/shm/jack_<server>_<uid>_0, so where no such
    /// file is, nobody would answer. PipeWire's libjack keeps no such files
    /// (nor does any other), so it is always asked.
    bool noJackdServer()
    {
        const char* version = jack_get_version_string();
        if (version == nullptr || std::strncmp(version, "1.9.", 4) != 0)
            return false;
        const char* server = std::getenv("JACK_DEFAULT_SERVER");
        const std::string prefix = std::string("jack_")
            + (server != nullptr && *server != '\0' ? server : "default") + '_';
        DIR* dir = ::opendir("/dev/shm");
        if (dir == nullptr)
            return false;
        bool found = false;
        while (const dirent* entry = ::readdir(dir))
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0
                && (entry->d_type == DT_SOCK || entry->d_type == DT_UNKNOWN))
                found = true;
        ::closedir(dir);
        return !found;
    }

    /// libjack may stay loaded after this library is unloaded (when the host
    /// uses it too) and must not call into us then. Made before any client,
    /// it is undone after the last one is closed at exit, whose complaints
    /// about a server that went stay quiet.
    const struct PrintReset {
        ~PrintReset()
        {
            jack_set_error_function(nullptr);
            jack_set_info_function(nullptr);
        }
    } g_printReset;

} // namespace

std::unique_lock<std::recursive_mutex> JackClient::hold() { return std::unique_lock(g_mutex); }

JackClient::JackClient(jack_client_t* client)
    : m_client(client)
{
}

std::unique_ptr<JackClient> JackClient::open(const std::string& name)
{
    auto held = hold();
    jack_set_error_function(printJack);
    jack_set_info_function(printJack);
    // Closing a client after its server went is safe as long as libjack still
    // has it; the next open would free it.
    std::erase_if(g_open, [](JackClient* client) {
        if (!client->m_settled.load())
            return false;
        jack_client_close(std::exchange(client->m_client, nullptr));
        return true;
    });
    if (noJackdServer())
        return nullptr;
    g_freedAll = false;
    jack_status_t status {};
    jack_client_t* opened = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (g_freedAll.exchange(false)) {
        // Their server went before it could tell them: libjack has freed them.
        for (JackClient* client : std::exchange(g_open, {})) {
            client->m_client = nullptr;
            shutDown(client);
        }
    }
    if (opened == nullptr)
        return nullptr;
    std::unique_ptr<JackClient> client(new JackClient(opened));
    jack_on_shutdown(opened, &JackClient::shutDown, client.get());
    g_open.push_back(client.get());
    return client;
}

JackClient::~JackClient()
{
    // Closing stops the client's threads wherever they are: a hook under way
    // (which may hold a lock of its owner's) finishes first.
    if (m_down.load())
        m_settled.wait(false);
    auto held = hold();
    if (m_client != nullptr)
        jack_client_close(m_client);
    std::erase(g_open, this);
}

void JackClient::setShutDownHook(ShutDownHook hook, void* arg)
{
    m_hookArg = arg;
    m_hook.store(hook);
}

void JackClient::shutDown(void* self)
{
    auto* client = static_cast<JackClient*>(self);
    if (!client->m_down.exchange(true))
        if (const ShutDownHook hook = client->m_hook.load())
            hook(client->m_hookArg);
    client->m_settled = true;
    client->m_settled.notify_all();
}

} // namespace kestrow::mididrv
