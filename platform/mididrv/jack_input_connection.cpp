#include "platform/mididrv/jack_midi_input.h"
#include "platform/mididrv/port_backend.h"

namespace kestrow::mididrv {

namespace {

    class JackInputConnection : public InputConnection {
    public:
        explicit JackInputConnection(std::unique_ptr<JackMidiInput> input)
            : m_input(std::move(input))
        {
        }

    private:
        std::unique_ptr<JackMidiInput> m_input;
    };

} // namespace

std::unique_ptr<InputConnection> openJackInput(
    const std::string& clientName, const std::string& source, InputSink& sink)
{
    auto input = JackMidiInput::open(clientName, "in", source,
        [&sink](std::span<const std::uint8_t> message) { sink.received(message); });
    if (!input)
        return nullptr;
    return std::make_unique<JackInputConnection>(std::move(input));
}

} // namespace kestrow::mididrv
