// Port changes on a JACK server: one client of our own without ports or a
// process callback, so the server never wakes it for audio cycles; its
// notification thread sleeps until a client or port comes, goes or is renamed.
#include "port_watch.h"

#include <atomic>
#include <cstring>
#include <jack/jack.h>

namespace kestrow::mididrv {

namespace {

    bool own(const char* name)
    {
        return name != nullptr
            && std::strncmp(name, kOwnClientPrefix, std::strlen(kOwnClientPrefix)) == 0;
    }

    class JackSource : public PortWatch::Source {
    public:
        JackSource(PortWatch& watch, jack_client_t* client)
            : m_watch(watch)
            , m_client(client)
        {
        }
        ~JackSource() override { jack_client_close(m_client); }
        JackSource(const JackSource&) = delete;
        JackSource& operator=(const JackSource&) = delete;

        bool alive() const override { return m_alive.load(); }

        bool activate()
        {
            jack_set_port_registration_callback(m_client, &JackSource::portRegistered, this);
            jack_set_client_registration_callback(m_client, &JackSource::clientRegistered, this);
            jack_set_port_rename_callback(m_client, &JackSource::portRenamed, this);
            jack_on_shutdown(m_client, &JackSource::shutDown, this);
            return jack_activate(m_client) == 0;
        }

    private:
        static void portRegistered(jack_port_id_t id, int, void* arg)
        {
            auto* self = static_cast<JackSource*>(arg);
            // A port that is gone may have no name left: counted, to be safe.
            const jack_port_t* port = jack_port_by_id(self->m_client, id);
            if (!own(port != nullptr ? jack_port_name(port) : nullptr))
                self->m_watch.changed();
        }
        static void clientRegistered(const char* name, int, void* arg)
        {
            if (!own(name))
                static_cast<JackSource*>(arg)->m_watch.changed();
        }
        static void portRenamed(jack_port_id_t, const char*, const char* name, void* arg)
        {
            if (!own(name))
                static_cast<JackSource*>(arg)->m_watch.changed();
        }
        static void shutDown(void* arg)
        {
            auto* self = static_cast<JackSource*>(arg);
            self->m_alive = false;
            self->m_watch.changed(); // every port of the server went with it
        }

        PortWatch& m_watch;
        jack_client_t* m_client;
        std::atomic<bool> m_alive { true };
    };

} // namespace

std::unique_ptr<PortWatch::Source> watchJack(PortWatch& watch)
{
    if (!jackServerRunning())
        return nullptr;
    jack_status_t status {};
    jack_client_t* client = jack_client_open("kestrow-watch", JackNoStartServer, &status);
    if (client == nullptr)
        return nullptr;
    auto source = std::make_unique<JackSource>(watch, client);
    if (!source->activate())
        return nullptr;
    return source;
}

} // namespace kestrow::mididrv
