#pragma once

#include <atomic>
#include <jack/jack.h>
#include <memory>
#include <mutex>
#include <string>

namespace kestrow::mididrv {

/// A JACK client of this library; every one opens and closes here.
///
/// jackd's libjack, asked for a new client after its server has gone, first
/// closes and frees every client the process still has open; closing one of
/// those again, or calling on it, crashes. So opens, closes and calls on a
/// client share one lock; before an open, the clients whose server has shut
/// them down are closed (then libjack has nothing left to free); and a client
/// libjack frees all the same (its server went a moment before the open) is
/// forgotten: get() turns null and alive() false, and it is never closed.
class JackClient {
public:
    using ShutDownHook = void (*)(void* arg);

    /// Opens client `name`, never starting a server; null when no server lets
    /// it in.
    static std::unique_ptr<JackClient> open(const std::string& name);

    /// Closes the client, its server running or not, unless libjack freed it.
    /// Its callbacks have stopped when this returns.
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    /// Held around every call on a client made outside the client's own
    /// callbacks: no client is freed while it is held. Taken again by the same
    /// thread, it waits for nothing.
    [[nodiscard]] static std::unique_lock<std::recursive_mutex> hold();
    /// The client, with hold() held; null once it has been closed for its
    /// server's going or libjack has freed it.
    jack_client_t* get() const { return m_client; }
    /// False once the server has shut the client down.
    bool alive() const { return !m_down.load(); }
    /// `hook(arg)` runs when the server shuts the client down from now on, on
    /// libjack's thread (or on an opening thread, for a client libjack freed).
    /// Once, before activating the client; alive() says whether it came too late.
    void setShutDownHook(ShutDownHook hook, void* arg);

private:
    explicit JackClient(jack_client_t* client);
    static void shutDown(void* self);

    jack_client_t* m_client; ///< under hold()
    void* m_hookArg = nullptr; ///< written before m_hook, read after it
    std::atomic<ShutDownHook> m_hook { nullptr };
    std::atomic<bool> m_down { false };
    /// Set once the hook has returned: libjack stops a client's threads
    /// wherever they are, so one in the middle of the hook is left to finish
    /// before the client is closed.
    std::atomic<bool> m_settled { false };
};

} // namespace kestrow::mididrv
