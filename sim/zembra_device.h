#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// A software zembra device: what the hardware keeps and how it answers.
/// Written from the device's side on purpose; it shares no message code with
/// the editor's protocol layer, so a fault on either side shows against the
/// other. Not thread-safe: one owner feeds it.
namespace kestrow::sim {

enum class Variant : std::uint8_t {
    control = 0, ///< 16 knobs, no init values
    fader = 1, ///< 16 faders, no init values
    dial = 2, ///< 16 endless dials, keeps an init value per dial
};

/// "control", "fader" or "dial".
std::string_view variantName(Variant variant);
/// Inverse of variantName; nullopt for anything else.
std::optional<Variant> parseVariant(std::string_view text);

/// One stored program of the device. Every value is 0..127.
struct DevicePreset {
    std::array<std::uint8_t, 16> channel {};
    std::array<std::uint8_t, 16> eventType {};
    std::array<std::uint8_t, 16> fixedParameter {};
    std::array<std::uint8_t, 16> initValue {};

    bool operator==(const DevicePreset&) const = default;
};

/// Firmware version as the version reply carries it (two 7-bit numbers).
struct DeviceVersion {
    std::uint8_t major = 1;
    std::uint8_t minor = 0;

    bool operator==(const DeviceVersion&) const = default;
};

/// What the device has taken in since it was made (for logs and tests).
struct DeviceCounters {
    std::uint32_t presetDataStored = 0;
    std::uint32_t initValuesStored = 0;
    std::uint32_t trailersTaken = 0;
    std::uint32_t ignored = 0; ///< malformed, foreign or unknown messages
};

class ZembraDevice {
public:
    static constexpr int kProgramCount = 128;

    explicit ZembraDevice(Variant variant = Variant::control, DeviceVersion version = {});

    /// Feeds one complete incoming message (a SysEx F0..F7, or a channel or
    /// realtime message); returns the replies, each one complete message.
    /// Malformed and foreign messages change nothing and get no answer; with
    /// the matching thru flag set they are passed on unchanged instead.
    std::vector<std::vector<std::uint8_t>> receive(std::span<const std::uint8_t> message);

    Variant variant() const { return m_variant; }
    DeviceVersion version() const { return m_version; }
    void setVersion(DeviceVersion version);

    /// Program index 0..127; out of range gives program 0.
    const DevicePreset& preset(int program) const;
    void setPreset(int program, const DevicePreset& preset);

    /// Bit 0 channel, bit 1 SysEx, bit 2 realtime events thru.
    std::uint8_t thruFlags() const { return m_thruFlags; }
    /// 1..16.
    int masterChannel() const { return m_masterChannel; }
    /// The program last chosen with a Program Change on the master channel, 0..127.
    int currentProgram() const { return m_currentProgram; }
    const DeviceCounters& counters() const { return m_counters; }

    /// Back to power-on state: every program on channels 1..16, no event, zeros;
    /// all thru on, master channel 1, program 0.
    void resetMemory();

    /// Writes programs and configuration as text; writes a temporary file
    /// first so an interrupted save never damages the previous state.
    [[nodiscard]] bool saveState(const std::filesystem::path& path) const;
    /// Reads what saveState wrote. All or nothing: a missing, damaged, short or
    /// foreign file leaves the device as it was and returns false.
    [[nodiscard]] bool loadState(const std::filesystem::path& path);

private:
    std::vector<std::vector<std::uint8_t>> takeSysEx(std::span<const std::uint8_t> message);
    std::vector<std::uint8_t> presetDataReply(int program) const;
    std::vector<std::uint8_t> initValuesReply(int program) const;
    std::vector<std::uint8_t> frame(std::uint8_t code, std::uint8_t first, std::uint8_t second,
        std::span<const std::uint8_t> body = {}) const;

    Variant m_variant;
    DeviceVersion m_version;
    std::array<DevicePreset, kProgramCount> m_programs {};
    std::uint8_t m_thruFlags = 0x07;
    int m_masterChannel = 1;
    int m_currentProgram = 0;
    DeviceCounters m_counters;
};

} // namespace kestrow::sim
