#include "sim/link_limits.h"

#include <cmath>

namespace kestrow::sim {

namespace {

    constexpr int kLongestMessageTimeMs = 60000;
    /// Each direction draws from its own sequence, so the losses one way do
    /// not change when the other way's setting does.
    constexpr std::uint32_t kOutSeedMix = 0x9E3779B9u;

    std::optional<std::uint64_t> parseDigits(std::string_view text, std::uint64_t limit)
    {
        if (text.empty() || text.size() > 10)
            return std::nullopt;
        std::uint64_t value = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return value <= limit ? std::optional(value) : std::nullopt;
    }

} // namespace

std::optional<int> parseMessageTime(std::string_view text)
{
    const auto value = parseDigits(text, kLongestMessageTimeMs);
    return value ? std::optional(static_cast<int>(*value)) : std::nullopt;
}

std::optional<double> parsePercent(std::string_view text)
{
    const auto dot = text.find('.');
    const auto whole = parseDigits(text.substr(0, dot), 100);
    if (!whole)
        return std::nullopt;
    if (dot == std::string_view::npos)
        return static_cast<double>(*whole);
    const std::string_view fraction = text.substr(dot + 1);
    const auto tenths = fraction.size() == 1 ? parseDigits(fraction, 9) : std::nullopt;
    if (!tenths || (*whole == 100 && *tenths > 0))
        return std::nullopt;
    return static_cast<double>(*whole) + static_cast<double>(*tenths) / 10.0;
}

std::optional<std::uint32_t> parseSeed(std::string_view text)
{
    const auto value = parseDigits(text, 0xFFFFFFFFu);
    return value ? std::optional(static_cast<std::uint32_t>(*value)) : std::nullopt;
}

std::optional<LinkLimits> parseLinkLimits(std::string_view text, std::string& error)
{
    LinkLimits limits;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view {} : text.substr(comma + 1);
        const auto equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value
            = equals == std::string_view::npos ? std::string_view {} : item.substr(equals + 1);
        bool good = false;
        std::string allowed;
        if (key == "message-time") {
            const auto ms = parseMessageTime(value);
            good = ms.has_value();
            limits.messageTimeMs = ms.value_or(0);
            allowed = "milliseconds 0..60000";
        } else if (key == "loss-in" || key == "loss-out") {
            const auto percent = parsePercent(value);
            good = percent.has_value();
            (key == "loss-in" ? limits.lossInPercent : limits.lossOutPercent) = percent.value_or(0);
            allowed = "a percentage 0..100";
        } else if (key == "seed") {
            const auto seed = parseSeed(value);
            good = seed.has_value();
            limits.seed = seed.value_or(1);
            allowed = "a number 0..4294967295";
        } else {
            error = "unknown limit '" + std::string(item)
                + "'; use message-time=MS, loss-in=PERCENT, loss-out=PERCENT, seed=N";
            return std::nullopt;
        }
        if (!good) {
            error = std::string(key) + " must be " + allowed + ", not '" + std::string(value) + "'";
            return std::nullopt;
        }
    }
    return limits;
}

LimitedDevice::LimitedDevice(ZembraDevice& device, const LinkLimits& limits)
    : m_device(device)
    , m_limits(limits)
    , m_randomIn(limits.seed)
    , m_randomOut(limits.seed ^ kOutSeedMix)
{
}

bool LimitedDevice::lose(std::mt19937& random, double percent)
{
    if (percent <= 0)
        return false;
    if (percent >= 100)
        return true;
    // The engine's output is fixed by the standard, so a seed gives the same
    // losses with every library.
    const auto threshold = static_cast<std::uint64_t>(std::llround(percent / 100.0 * 4294967296.0));
    return random() < threshold;
}

std::vector<std::vector<std::uint8_t>> LimitedDevice::receive(
    std::span<const std::uint8_t> message, std::int64_t arrivalMs)
{
    if (lose(m_randomIn, m_limits.lossInPercent)) {
        ++m_drops.lostIn;
        return {};
    }
    if (m_lastTaken && arrivalMs - *m_lastTaken < m_limits.messageTimeMs) {
        ++m_drops.busy;
        return {};
    }
    m_lastTaken = arrivalMs;
    std::vector<std::vector<std::uint8_t>> replies;
    for (auto& reply : m_device.receive(message)) {
        if (lose(m_randomOut, m_limits.lossOutPercent))
            ++m_drops.lostOut;
        else
            replies.push_back(std::move(reply));
    }
    return replies;
}

} // namespace kestrow::sim
