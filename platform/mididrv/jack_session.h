#pragma once

#include "platform/mididrv/jack_client.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <jack/jack.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

/// The library's one long-lived JACK client, shared by the server probe, the
/// port lists and the port watch: every client costs a thread and a map of
/// the server's shared memory. Opened on first use, never starting a server.
namespace kestrow::mididrv {

class PortWatch;

class JackSession {
public:
    /// The session of this process, made on first call; its client closes
    /// when the last holder lets go.
    static std::shared_ptr<JackSession> shared();
    ~JackSession();
    JackSession(const JackSession&) = delete;
    JackSession& operator=(const JackSession&) = delete;

    /// Whether a server answers: true while the client lives; without one, an
    /// open is tried again at most every half second. A server that takes
    /// longer than kAnswerWithin to let a client in (one that is stopped or
    /// hung) counts as not running; its late answer is taken up by a later call.
    bool running();
    /// Full names of the MIDI ports with `flags` (JackPortIsInput or
    /// JackPortIsOutput) in the server's order; nullopt when no server answers.
    std::optional<std::vector<std::string>> midiPorts(unsigned long flags);
    /// One process cycle in microseconds, as the last open found it; 0 before.
    long cycle() const { return m_cycle.load(); }
    /// False once the server has shut the client down, until it is reopened.
    bool alive() const
    {
        const auto client = m_client.load();
        return client && client->alive();
    }
    /// Client and port comings and goings (but our own) are told to `watch`
    /// from now on, across reopens; null stops it. One watch at a time.
    void setWatch(PortWatch* watch);

    static constexpr std::chrono::seconds kAnswerWithin { 2 };

private:
    /// One jack_client_open on a thread of its own: libjack waits for the
    /// server's answer without a time limit.
    struct Attempt {
        std::mutex mutex;
        std::condition_variable answered;
        bool done = false;
        bool abandoned = false; ///< the session went first; the thread closes the client
        std::unique_ptr<JackClient> client;
    };

    JackSession() = default;
    bool open(); ///< m_mutex held
    /// The client of the attempt under way or a new one; null when the server
    /// has not answered (yet). m_mutex held.
    std::unique_ptr<JackClient> answeredClient();
    void changed();

    static void portRegistered(jack_port_id_t id, int, void* arg);
    static void clientRegistered(const char* name, int, void* arg);
    static void portRenamed(jack_port_id_t, const char*, const char* name, void* arg);
    static void shutDown(void* arg);

    std::mutex m_mutex;
    /// Replaced under m_mutex; read without it by alive().
    std::atomic<std::shared_ptr<JackClient>> m_client;
    /// The client, for its own callbacks (which stop before it is closed).
    std::atomic<jack_client_t*> m_callbackClient { nullptr };
    std::atomic<long> m_cycle { 0 };
    std::chrono::steady_clock::time_point m_triedAt;
    std::shared_ptr<Attempt> m_attempt; ///< an open the server has not answered yet
    std::mutex m_watchMutex;
    PortWatch* m_watch = nullptr;
};

} // namespace kestrow::mididrv
