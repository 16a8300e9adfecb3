#include "storage/device_memory_file.h"

#include "storage/file_replace.h"

#include <charconv>
#include <optional>
#include <sstream>

namespace kestrow {

namespace {

    constexpr std::string_view kHeader = "Kestrow device memory 1";
    /// More than any real file: the header and 128 lines of 136 characters.
    constexpr std::size_t kMaxFileSize = 64 * 1024;

    template <std::size_t N>
    std::string hex(const std::optional<std::array<std::uint8_t, N>>& bytes)
    {
        if (!bytes)
            return "-";
        static constexpr char kDigits[] = "0123456789ABCDEF";
        std::string out;
        for (std::uint8_t b : *bytes) {
            out += kDigits[b >> 4];
            out += kDigits[b & 0x0F];
        }
        return out;
    }

    /// nullopt for "-"; false in `ok` for anything but N 7-bit bytes in hex.
    template <std::size_t N>
    std::optional<std::array<std::uint8_t, N>> unhex(std::string_view text, bool& ok)
    {
        if (text == "-")
            return std::nullopt;
        std::array<std::uint8_t, N> out {};
        ok = ok && text.size() == 2 * N;
        for (std::size_t i = 0; ok && i < N; ++i) {
            unsigned value = 0;
            const char* first = text.data() + 2 * i;
            const auto [end, error] = std::from_chars(first, first + 2, value, 16);
            ok = error == std::errc() && end == first + 2 && value <= 0x7F;
            out[i] = static_cast<std::uint8_t>(value);
        }
        return out;
    }

} // namespace

std::string encodeDeviceMemory(const DeviceMemory& memory)
{
    std::string text(kHeader);
    text += '\n';
    for (int p = 0; p < kPresetCount; ++p) {
        const HeldPreset& held = memory.held(p);
        if (held.data || held.initValues)
            text
                += std::to_string(p + 1) + ' ' + hex(held.data) + ' ' + hex(held.initValues) + '\n';
    }
    return text;
}

DeviceMemory decodeDeviceMemory(std::string_view text)
{
    DeviceMemory memory;
    std::istringstream in { std::string(text) };
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return memory;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int number = 0;
        std::string data;
        std::string init;
        std::string extra;
        if (!(fields >> number >> data >> init) || (fields >> extra) || number < 1
            || number > kPresetCount)
            continue;
        bool ok = true;
        HeldPreset held;
        held.data = unhex<dump::kPresetDataPayload>(data, ok);
        held.initValues = unhex<dump::kInitValuesPayload>(init, ok);
        if (ok)
            memory.setHeld(number - 1, held);
    }
    return memory;
}

std::string deviceMemoryFileProblem(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return error ? "it cannot be read: " + error.message() : std::string();
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        return "it cannot be read: " + error.message();
    if (size > kMaxFileSize)
        return "it is " + std::to_string(size) + " bytes long, larger than any such file";
    const std::optional<std::string> text = readWholeFile(path);
    if (!text)
        return "it cannot be read";
    if (!text->starts_with(std::string(kHeader) + "\n"))
        return "it is not a device memory file";
    return {};
}

DeviceMemory readDeviceMemoryFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileSize)
        return {};
    const std::optional<std::string> text = readWholeFile(path);
    return text ? decodeDeviceMemory(*text) : DeviceMemory {};
}

} // namespace kestrow
