#include "platform/mididrv/port_backend.h"
#include "sim/zembra_device.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace kestrow::mididrv {

namespace {

    /// The device behind "zembra Emulator": what goes out to it is answered on
    /// every open emulator input. KESTROW_ZEMBRA_VARIANT (control, fader, dial)
    /// picks the kind of device.
    class EmulatedBackend : public PortBackend {
    public:
        EmulatedBackend()
            : m_device(variantFromEnvironment())
        {
        }

        std::vector<PortInfo> outputs() override
        {
            return { { kEmulatorName, kEmulatorName, {} } };
        }
        std::vector<PortInfo> inputs() override { return outputs(); }

        std::unique_ptr<OutputConnection> openOutput(const PortInfo& port) override
        {
            if (port.address != kEmulatorName)
                return nullptr;
            return std::make_unique<Output>(*this);
        }

        std::unique_ptr<InputConnection> openInput(const PortInfo& port, InputSink& sink) override
        {
            if (port.address != kEmulatorName)
                return nullptr;
            return std::make_unique<Input>(*this, sink);
        }

        std::string status() override
        {
            return std::string(kEmulatorName) + ": ready (built in, no hardware needed)";
        }

    private:
        class Output : public OutputConnection {
        public:
            explicit Output(EmulatedBackend& owner)
                : m_owner(owner)
            {
            }
            bool send(std::span<const std::uint8_t> message) override
            {
                m_owner.deliver(message);
                return true;
            }

        private:
            EmulatedBackend& m_owner;
        };

        class Input : public InputConnection {
        public:
            Input(EmulatedBackend& owner, InputSink& sink)
                : m_owner(owner)
                , m_sink(sink)
            {
                std::lock_guard lock(m_owner.m_mutex);
                m_owner.m_sinks.push_back(&m_sink);
            }
            ~Input() override
            {
                std::lock_guard lock(m_owner.m_mutex);
                std::erase(m_owner.m_sinks, &m_sink);
            }

        private:
            EmulatedBackend& m_owner;
            InputSink& m_sink;
        };

        static sim::Variant variantFromEnvironment()
        {
            const char* text = std::getenv("KESTROW_ZEMBRA_VARIANT");
            if (text) {
                if (auto variant = sim::parseVariant(text))
                    return *variant;
            }
            return sim::Variant::control;
        }

        void deliver(std::span<const std::uint8_t> message)
        {
            std::lock_guard lock(m_mutex);
            for (const auto& reply : m_device.receive(message))
                for (InputSink* sink : m_sinks)
                    sink->received(reply);
        }

        std::mutex m_mutex;
        sim::ZembraDevice m_device;
        std::vector<InputSink*> m_sinks;
    };

} // namespace

std::unique_ptr<PortBackend> makeEmulatedBackend() { return std::make_unique<EmulatedBackend>(); }

} // namespace kestrow::mididrv
