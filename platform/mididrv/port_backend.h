#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

/// What the driver needs from a source of MIDI ports (RtMidi over ALSA or
/// JACK, the emulated device). Port names are a backend's own stable names;
/// the driver turns them into the 32-byte device descriptions.
namespace kestrow::mididrv {

/// Receives complete messages from an open input. Called on the backend's
/// thread, which may be a real-time one: copy and return.
class InputSink {
public:
    virtual ~InputSink() = default;
    virtual void received(std::span<const std::uint8_t> message) = 0;
};

class OutputConnection {
public:
    virtual ~OutputConnection() = default;
    /// One complete message (a whole SysEx F0..F7 or a short message); false
    /// when the MIDI system did not take it.
    [[nodiscard]] virtual bool send(std::span<const std::uint8_t> message) = 0;
};

class InputConnection {
public:
    virtual ~InputConnection() = default;
};

/// One port as a backend lists it.
struct PortInfo {
    std::string name; ///< shown to the user; several ports may share it
    /// What opens exactly this port while it stays (ALSA "client:port", a
    /// JACK port's full name); the name when the backend needs no more.
    std::string address;
    /// Orders ports of one name the same way in every run and process (an
    /// ALSA card's USB path), so that "#2" keeps naming the same device
    /// however the devices were plugged in. Empty: the system's order.
    std::string order;
};

class PortBackend {
public:
    virtual ~PortBackend() = default;
    virtual std::vector<PortInfo> outputs() = 0;
    virtual std::vector<PortInfo> inputs() = 0;
    /// Null when the port is gone or cannot be opened.
    virtual std::unique_ptr<OutputConnection> openOutput(const PortInfo& port) = 0;
    /// The sink outlives the connection.
    virtual std::unique_ptr<InputConnection> openInput(const PortInfo& port, InputSink& sink) = 0;
    /// One line on the MIDI system behind this backend: its name, whether it
    /// can be used, and when not, why and what to do.
    virtual std::string status() = 0;
};

std::unique_ptr<PortBackend> makeAlsaBackend();
std::unique_ptr<PortBackend> makeJackBackend();
std::unique_ptr<PortBackend> makeEmulatedBackend();
/// An input on a JACK client of our own, connected from the port `source`
/// (none when empty); null when it cannot be opened or connected.
std::unique_ptr<InputConnection> openJackInput(
    const std::string& clientName, const std::string& source, InputSink& sink);
/// An output on a JACK client of our own, connected to the port
/// `destination` (none when empty); null when it cannot be opened or connected.
std::unique_ptr<OutputConnection> openJackOutput(
    const std::string& clientName, const std::string& destination);

/// Shown for the emulated device in both lists.
inline constexpr const char* kEmulatorName = "zembra Emulator";

} // namespace kestrow::mididrv
