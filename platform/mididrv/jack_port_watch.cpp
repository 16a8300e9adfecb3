// Port changes on a JACK server, told by the library's shared client (see
// jack_session.h): no client of its own.
#include "platform/mididrv/jack_session.h"
#include "platform/mididrv/port_watch.h"

namespace kestrow::mididrv {

namespace {

    class JackSource : public PortWatch::Source {
    public:
        JackSource(PortWatch& watch, std::shared_ptr<JackSession> session)
            : m_session(std::move(session))
        {
            m_session->setWatch(&watch);
        }
        ~JackSource() override { m_session->setWatch(nullptr); }
        JackSource(const JackSource&) = delete;
        JackSource& operator=(const JackSource&) = delete;

        bool alive() const override { return m_session->alive(); }

    private:
        std::shared_ptr<JackSession> m_session;
    };

} // namespace

std::unique_ptr<PortWatch::Source> watchJack(PortWatch& watch)
{
    auto session = JackSession::shared();
    if (!session->running())
        return nullptr;
    return std::make_unique<JackSource>(watch, std::move(session));
}

} // namespace kestrow::mididrv
