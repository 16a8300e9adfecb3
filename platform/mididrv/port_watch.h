#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

/// Tells of ports that come and go in the MIDI systems, at no cost while
/// nothing changes: JACK calls back on one long-lived client of our own (its
/// notification thread sleeps until the server writes), the ALSA sequencer's
/// announcements are read by a thread that sleeps in poll(). Both only bump a
/// counter and an eventfd that the user-interface thread can wait on.
namespace kestrow::mididrv {

/// Client names of this library's own JACK and ALSA clients start so; their
/// comings and goings (a list scan is a client) are no news.
inline constexpr char kOwnClientPrefix[] = "kestrow-";

class PortWatch {
public:
    PortWatch();
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    /// Readable after a change; -1 when no MIDI system can report one. Starts
    /// watching a system that was not watched yet (a JACK server started since,
    /// or one that went away and came back). User-interface thread only.
    int descriptor();
    /// Changes reported so far; the descriptor is not readable afterwards until
    /// the next change. User-interface thread only.
    std::uint32_t changes();
    /// A change, from any thread.
    void changed();

    class Source {
    public:
        virtual ~Source() = default;
        /// False once the system has gone (the JACK server shut down).
        virtual bool alive() const = 0;
    };

private:
    void start();

    int m_event = -1;
    std::atomic<std::uint32_t> m_count { 0 };
    std::unique_ptr<Source> m_jack;
    std::unique_ptr<Source> m_alsa;
};

/// Null when there is no JACK server or no ALSA sequencer, or when the build
/// lacks it; never an error.
std::unique_ptr<PortWatch::Source> watchJack(PortWatch& watch);
std::unique_ptr<PortWatch::Source> watchAlsa(PortWatch& watch);

} // namespace kestrow::mididrv
