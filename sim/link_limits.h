#pragma once

#include "sim/zembra_device.h"

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// A real device's limits in front of the emulator: it is busy for a time
/// after each message it takes (what arrives meanwhile is lost), and the link
/// loses messages at random each way. Times are given by the caller, so a
/// run is exact and repeatable.
namespace kestrow::sim {

struct LinkLimits {
    int messageTimeMs = 0; ///< busy after each message taken; 0: never busy
    double lossInPercent = 0; ///< 0..100, messages to the device
    double lossOutPercent = 0; ///< 0..100, replies from the device
    std::uint32_t seed = 1; ///< the same seed and arrivals give the same losses

    bool any() const { return messageTimeMs > 0 || lossInPercent > 0 || lossOutPercent > 0; }
    bool operator==(const LinkLimits&) const = default;
};

/// What the limits took away (for logs and tests).
struct LinkDrops {
    std::uint32_t busy = 0; ///< arrived while the device was busy
    std::uint32_t lostIn = 0; ///< lost on the way to the device
    std::uint32_t lostOut = 0; ///< replies lost on the way back

    bool operator==(const LinkDrops&) const = default;
};

/// Milliseconds 0..60000, digits only.
std::optional<int> parseMessageTime(std::string_view text);
/// A percentage 0..100, digits with at most one decimal point ("5", "2.5").
std::optional<double> parsePercent(std::string_view text);
/// 0..4294967295, digits only.
std::optional<std::uint32_t> parseSeed(std::string_view text);
/// "message-time=15,loss-in=5,loss-out=5,seed=1", any of the keys, in any
/// order; empty text means no limits. On a bad key or value: nullopt and
/// `error` says which and what is allowed.
std::optional<LinkLimits> parseLinkLimits(std::string_view text, std::string& error);

/// A device behind the limits. Not thread-safe, like the device.
class LimitedDevice {
public:
    /// `device` must outlive this.
    LimitedDevice(ZembraDevice& device, const LinkLimits& limits);

    /// One incoming message that arrived at `arrivalMs` (any steady clock, not
    /// going back): the replies that get through, or none when the message
    /// was lost or came while the device was busy.
    std::vector<std::vector<std::uint8_t>> receive(
        std::span<const std::uint8_t> message, std::int64_t arrivalMs);

    const LinkLimits& limits() const { return m_limits; }
    const LinkDrops& drops() const { return m_drops; }

private:
    static bool lose(std::mt19937& random, double percent);

    ZembraDevice& m_device;
    LinkLimits m_limits;
    LinkDrops m_drops;
    std::mt19937 m_randomIn;
    std::mt19937 m_randomOut;
    std::optional<std::int64_t> m_lastTaken;
};

} // namespace kestrow::sim
