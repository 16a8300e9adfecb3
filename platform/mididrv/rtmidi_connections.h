#pragma once

#include "platform/mididrv/port_backend.h"

#include <RtMidi.h>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// What the RtMidi backend does with an RtMidiIn or RtMidiOut once it has
/// one, written over the port type so that a test can hand in a stand-in
/// that records the calls (no MIDI system needed).
namespace kestrow::mididrv::rtmidi {

/// Says what went wrong when KESTROW_MIDIDRV_DEBUG is set; otherwise quiet,
/// since missing servers and devices only make the lists shorter.
inline void debugLog(const std::string& text)
{
    if (std::getenv("KESTROW_MIDIDRV_DEBUG"))
        std::cerr << "mididrv: RtMidi: " << text << '\n';
}

/// Once an error callback is set, RtMidi reports through it instead of
/// throwing; this keeps what it reported so that an open or a send fails
/// visibly. May be called on RtMidi's own thread.
class ErrorTrap {
public:
    static void callback(RtMidiError::Type type, const std::string& text, void* trap)
    {
        debugLog(text);
        // Debug warnings tell nothing about the operation at hand.
        if (type != RtMidiError::DEBUG_WARNING)
            static_cast<ErrorTrap*>(trap)->keep(text);
    }
    /// What was reported since the last call, and forgets it.
    std::optional<std::string> take()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_error, std::nullopt);
    }

private:
    void keep(const std::string& text)
    {
        std::lock_guard lock(m_mutex);
        m_error = text;
    }

    std::mutex m_mutex;
    std::optional<std::string> m_error;
};

template <class Out> class Output : public OutputConnection {
public:
    /// The trap must be the port's error callback target.
    Output(std::unique_ptr<Out> out, std::unique_ptr<ErrorTrap> trap)
        : m_trap(std::move(trap))
        , m_out(std::move(out))
    {
    }
    ~Output() override
    {
        try {
            m_out->closePort();
        } catch (const RtMidiError&) {
        }
    }
    bool send(std::span<const std::uint8_t> message) override
    {
        m_trap->take();
        try {
            m_out->sendMessage(message.data(), message.size());
        } catch (const RtMidiError& error) {
            debugLog(error.getMessage());
            return false;
        }
        return !m_trap->take();
    }

private:
    std::unique_ptr<ErrorTrap> m_trap; ///< outlives the port, which may report as it goes
    std::unique_ptr<Out> m_out;
};

template <class In> class Input : public InputConnection {
public:
    Input(std::unique_ptr<In> in, std::unique_ptr<ErrorTrap> trap)
        : m_trap(std::move(trap))
        , m_in(std::move(in))
    {
    }
    ~Input() override
    {
        // Closing first stops RtMidi's ALSA input thread; cancelling the
        // callback while that thread runs lets it call a cleared callback.
        try {
            m_in->closePort();
        } catch (const RtMidiError&) {
        }
    }

private:
    std::unique_ptr<ErrorTrap> m_trap; ///< outlives the port, which may report as it goes
    std::unique_ptr<In> m_in;
};

inline void deliverInput(double, std::vector<unsigned char>* message, void* sink)
{
    if (message && !message->empty())
        static_cast<InputSink*>(sink)->received(
            std::span<const std::uint8_t>(message->data(), message->size()));
}

/// Runs `open`; false when it says so, throws or RtMidi reports a failure.
template <class Port>
bool opened(Port& port, const std::function<bool(Port&)>& open, ErrorTrap& trap)
{
    try {
        return open(port) && !trap.take();
    } catch (const RtMidiError& error) {
        debugLog(error.getMessage());
        return false;
    }
}

/// Opens `out` on its port with `open` (which says whether the port opened)
/// and wraps it; null when it did not open or RtMidi reported a failure.
template <class Out>
std::unique_ptr<OutputConnection> openOutput(
    std::unique_ptr<Out> out, const std::function<bool(Out&)>& open)
{
    if (!out)
        return nullptr;
    auto trap = std::make_unique<ErrorTrap>();
    out->setErrorCallback(&ErrorTrap::callback, trap.get());
    if (!opened(*out, open, *trap)) {
        out.reset(); // while the trap is still there
        return nullptr;
    }
    return std::make_unique<Output<Out>>(std::move(out), std::move(trap));
}

/// The same for an input, which delivers to `sink`. Every message type comes
/// through: SysEx carries the device's replies; timing and active sensing go
/// to whoever listens (the toolkit drops active sensing itself).
template <class In>
std::unique_ptr<InputConnection> openInput(
    std::unique_ptr<In> in, const std::function<bool(In&)>& open, InputSink& sink)
{
    if (!in)
        return nullptr;
    auto trap = std::make_unique<ErrorTrap>();
    in->setErrorCallback(&ErrorTrap::callback, trap.get());
    in->ignoreTypes(false, false, false);
    in->setCallback(&deliverInput, &sink);
    if (!opened(*in, open, *trap)) {
        in.reset(); // while the trap is still there
        return nullptr;
    }
    return std::make_unique<Input<In>>(std::move(in), std::move(trap));
}

} // namespace kestrow::mididrv::rtmidi
