#include "midi/midi_notifier.h"

namespace kestrow {

MidiNotifier::MidiNotifier(std::function<void(std::uint32_t)> handler)
    : m_handler(std::move(handler))
    , m_alive(std::make_shared<bool>(true))
{
    m_notify.callback = &MidiNotifier::received;
    m_notify.context = this;
}

MidiNotifier::~MidiNotifier() = default;

MidiDispatcher& MidiNotifier::dispatcher() const
{
    MidiDispatcher* own = m_dispatcher.load();
    return own ? *own : defaultMidiDispatcher();
}

void MidiNotifier::received(void* context, std::uint32_t message)
{
    auto* self = static_cast<MidiNotifier*>(context);
    std::weak_ptr<bool> alive = self->m_alive;
    self->dispatcher().post([self, alive, message] {
        if (alive.lock())
            self->m_handler(message);
    });
}

} // namespace kestrow
