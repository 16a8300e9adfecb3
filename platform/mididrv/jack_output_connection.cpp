#include "platform/mididrv/jack_midi_output.h"
#include "platform/mididrv/port_backend.h"

namespace kestrow::mididrv {

namespace {

    class JackOutputConnection : public OutputConnection {
    public:
        explicit JackOutputConnection(std::unique_ptr<JackMidiOutput> output)
            : m_output(std::move(output))
        {
        }

        bool send(std::span<const std::uint8_t> message) override
        {
            return m_output->send(message);
        }

    private:
        std::unique_ptr<JackMidiOutput> m_output;
    };

} // namespace

std::unique_ptr<OutputConnection> openJackOutput(
    const std::string& clientName, const std::string& destination)
{
    auto output = JackMidiOutput::open(clientName, "out", destination);
    if (!output)
        return nullptr;
    return std::make_unique<JackOutputConnection>(std::move(output));
}

} // namespace kestrow::mididrv
