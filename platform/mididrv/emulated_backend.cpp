#include "platform/mididrv/port_backend.h"
#include "sim/link_limits.h"
#include "sim/zembra_device.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace kestrow::mididrv {

namespace {

    /// The device behind "zembra Emulator": what goes out to it is answered on
    /// every open emulator input. KESTROW_ZEMBRA_VARIANT (control, fader, dial)
    /// picks the kind of device; KESTROW_EMULATOR_LIMITS gives it a real
    /// device's limits ("message-time=15,loss-in=5,loss-out=5,seed=1").
    class EmulatedBackend : public PortBackend {
    public:
        EmulatedBackend()
            : m_device(variantFromEnvironment())
            , m_limited(m_device, limitsFromEnvironment())
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
            std::string text
                = std::string(kEmulatorName) + ": ready (built in, no hardware needed)";
            std::lock_guard lock(m_mutex);
            if (m_limited.limits().any()) {
                const sim::LinkDrops& drops = m_limited.drops();
                text += "; with a device's limits, dropped so far: " + std::to_string(drops.busy)
                    + " while busy, " + std::to_string(drops.lostIn) + " lost in, "
                    + std::to_string(drops.lostOut) + " lost out";
            }
            return text;
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

        /// No limits when the variable is unset; a bad value is said once on
        /// stderr and also gives none, so the emulator still answers.
        static sim::LinkLimits limitsFromEnvironment()
        {
            const char* text = std::getenv("KESTROW_EMULATOR_LIMITS");
            if (!text)
                return {};
            std::string error;
            if (auto limits = sim::parseLinkLimits(text, error))
                return *limits;
            std::fprintf(stderr,
                "KESTROW_EMULATOR_LIMITS: %s; the zembra Emulator runs without limits\n",
                error.c_str());
            return {};
        }

        void deliver(std::span<const std::uint8_t> message)
        {
            const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            std::lock_guard lock(m_mutex);
            for (const auto& reply : m_limited.receive(message, now.count()))
                for (InputSink* sink : m_sinks)
                    sink->received(reply);
        }

        std::mutex m_mutex;
        sim::ZembraDevice m_device;
        sim::LimitedDevice m_limited;
        std::vector<InputSink*> m_sinks;
    };

} // namespace

std::unique_ptr<PortBackend> makeEmulatedBackend() { return std::make_unique<EmulatedBackend>(); }

} // namespace kestrow::mididrv
