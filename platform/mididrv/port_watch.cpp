#include "platform/mididrv/port_watch.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kestrow::mididrv {

PortWatch::PortWatch()
    : m_event(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

PortWatch::~PortWatch()
{
    // The sources' threads call changed() until they are gone.
    m_jack.reset();
    m_alsa.reset();
    if (m_event >= 0)
        ::close(m_event);
}

void PortWatch::start()
{
    if (m_jack && !m_jack->alive())
        m_jack.reset(); // the server went; its client must still be closed
    if (!m_jack)
        m_jack = watchJack(*this);
    if (!m_alsa)
        m_alsa = watchAlsa(*this);
}

int PortWatch::descriptor()
{
    if (m_event < 0)
        return -1;
    start();
    return m_jack || m_alsa ? m_event : -1;
}

std::uint32_t PortWatch::changes()
{
    std::uint64_t drained = 0;
    if (m_event >= 0) [[maybe_unused]]
        const auto got = ::read(m_event, &drained, sizeof drained);
    return m_count.load();
}

void PortWatch::changed()
{
    m_count.fetch_add(1);
    const std::uint64_t one = 1;
    if (m_event >= 0) [[maybe_unused]]
        const auto put = ::write(m_event, &one, sizeof one);
}

#if !defined(KESTROW_HAVE_JACK)
std::unique_ptr<PortWatch::Source> watchJack(PortWatch&) { return nullptr; }
#endif
#if !defined(KESTROW_HAVE_ALSA_WATCH)
std::unique_ptr<PortWatch::Source> watchAlsa(PortWatch&) { return nullptr; }
#endif

} // namespace kestrow::mididrv
