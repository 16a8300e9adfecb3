#pragma once

// A JACK client that floods: one message, many times in every cycle.

#include <atomic>
#include <cstdint>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <string>
#include <vector>

namespace kestrow::testing {

class JackFlood {
public:
    /// Client `name` with the output "out", sending from the start; ok() says
    /// whether the server took it.
    JackFlood(const std::string& name, std::vector<std::uint8_t> message, int perCycle)
        : m_message(std::move(message))
        , m_perCycle(perCycle)
    {
        m_client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!m_port || jack_set_process_callback(m_client, process, this) != 0
            || jack_activate(m_client) != 0) {
            jack_client_close(m_client);
            m_client = nullptr;
        }
    }
    ~JackFlood()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    JackFlood(const JackFlood&) = delete;
    JackFlood& operator=(const JackFlood&) = delete;

    bool ok() const { return m_client != nullptr; }
    std::string port() const { return jack_port_name(m_port); }
    std::uint64_t sent() const { return m_sent.load(); }

    /// Connects to the first MIDI input whose name contains `text`.
    bool connectTo(const std::string& text)
    {
        const char** ports
            = jack_get_ports(m_client, text.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        const bool connected
            = ports && ports[0] && jack_connect(m_client, port().c_str(), ports[0]) == 0;
        jack_free(ports);
        return connected;
    }

private:
    static int process(jack_nframes_t frames, void* arg)
    {
        auto& self = *static_cast<JackFlood*>(arg);
        void* buffer = jack_port_get_buffer(self.m_port, frames);
        jack_midi_clear_buffer(buffer);
        for (int i = 0; i < self.m_perCycle; ++i)
            if (jack_midi_event_write(buffer, static_cast<jack_nframes_t>(i) % frames,
                    self.m_message.data(), self.m_message.size())
                == 0)
                self.m_sent.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }

    std::vector<std::uint8_t> m_message;
    int m_perCycle;
    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<std::uint64_t> m_sent { 0 };
};

} // namespace kestrow::testing
