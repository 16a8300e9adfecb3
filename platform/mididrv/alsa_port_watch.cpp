// Port changes in the ALSA sequencer: a handle of our own subscribed to the
// System:Announce port, read by a thread that sleeps in poll() until the
// sequencer announces something or the watch is stopped.
#include "platform/mididrv/port_watch.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrow::mididrv {

namespace {

    class AlsaSource : public PortWatch::Source {
    public:
        AlsaSource(PortWatch& watch, snd_seq_t* seq, int stop)
            : m_watch(watch)
            , m_seq(seq)
            , m_stop(stop)
            , m_thread([this] { run(); })
        {
        }
        ~AlsaSource() override
        {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto put = ::write(m_stop, &one, sizeof one);
            m_thread.join();
            ::close(m_stop);
            snd_seq_close(m_seq);
        }
        AlsaSource(const AlsaSource&) = delete;
        AlsaSource& operator=(const AlsaSource&) = delete;

        bool alive() const override { return true; }

    private:
        void run()
        {
            const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
            std::vector<pollfd> fds(static_cast<std::size_t>(std::max(count, 0)) + 1);
            snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned>(count), POLLIN);
            fds.back() = pollfd { m_stop, POLLIN, 0 };
            for (;;) {
                if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
                    return;
                if (fds.back().revents != 0)
                    return;
                bool news = false;
                snd_seq_event_t* event = nullptr;
                for (int got; (got = snd_seq_event_input(m_seq, &event)) != -EAGAIN;) {
                    if (got == -ENOSPC)
                        news = true; // announcements were lost: something changed
                    else if (got < 0)
                        break;
                    else if (event != nullptr)
                        news = matters(*event) || news;
                }
                if (news)
                    m_watch.changed();
            }
        }

        /// Whether `client` is one of this library's (a list scan, a port of ours).
        bool own(int client)
        {
            if (m_own.count(client) > 0)
                return true;
            snd_seq_client_info_t* info = nullptr;
            snd_seq_client_info_alloca(&info);
            if (snd_seq_get_any_client_info(m_seq, client, info) < 0)
                return false;
            const char* name = snd_seq_client_info_get_name(info);
            if (name == nullptr
                || std::strncmp(name, kOwnClientPrefix, std::strlen(kOwnClientPrefix)) != 0)
                return false;
            m_own.insert(client);
            return true;
        }

        bool matters(const snd_seq_event_t& event)
        {
            switch (event.type) {
            case SND_SEQ_EVENT_CLIENT_START:
                own(event.data.addr.client);
                return false; // its ports are announced one by one
            case SND_SEQ_EVENT_CLIENT_EXIT:
                m_own.erase(event.data.addr.client);
                return false;
            case SND_SEQ_EVENT_CLIENT_CHANGE:
            case SND_SEQ_EVENT_PORT_START:
            case SND_SEQ_EVENT_PORT_EXIT:
            case SND_SEQ_EVENT_PORT_CHANGE:
                return !own(event.data.addr.client);
            default:
                return false;
            }
        }

        PortWatch& m_watch;
        snd_seq_t* m_seq;
        int m_stop;
        std::set<int> m_own;
        std::thread m_thread;
    };

} // namespace

std::unique_ptr<PortWatch::Source> watchAlsa(PortWatch& watch)
{
    // Without a sequencer libasound would complain on stderr; look first.
    if (::access("/dev/snd/seq", R_OK | W_OK) != 0)
        return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, "kestrow-watch");
    const int port = snd_seq_create_simple_port(seq, "announce",
        SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT, SND_SEQ_PORT_TYPE_APPLICATION);
    const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (port < 0 || stop < 0
        || snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE)
            < 0) {
        if (stop >= 0)
            ::close(stop);
        snd_seq_close(seq);
        return nullptr;
    }
    return std::make_unique<AlsaSource>(watch, seq, stop);
}

} // namespace kestrow::mididrv
