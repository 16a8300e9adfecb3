#include "storage/save_marker.h"

#include <string>

namespace kestrow {

namespace fs = std::filesystem;

std::uint64_t contentHash(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The marker, a text file:
//
//   kestrow set save 1
//   <number of files>
//   w|r 0|1 <size> <hash> <length>:<target><length>:<temporary><length>:<old>
//   ... (one such line per file)
//   end <hash of everything above>
//
// Names are file names in the set's folder; a length prefix keeps any byte a
// name may hold. "r" retires the target (no temporary); 1 when the save
// creates the target's ".BAK".

namespace {

    constexpr std::string_view kMarkerMagic = "kestrow set save 1";

    void appendField(std::string& out, const fs::path& file)
    {
        const std::string name = file.empty() ? std::string() : file.filename().string();
        out += std::to_string(name.size()) + ":" + name;
    }

    /// Reads the marker's fields; every read is checked against the end.
    class MarkerReader {
    public:
        explicit MarkerReader(std::string_view text)
            : m_text(text)
        {
        }
        bool literal(std::string_view expected)
        {
            if (!m_text.substr(m_pos).starts_with(expected))
                return false;
            m_pos += expected.size();
            return true;
        }
        std::optional<std::uint64_t> number()
        {
            std::uint64_t value = 0;
            const std::size_t start = m_pos;
            while (m_pos < m_text.size() && m_pos - start < 20 && m_text[m_pos] >= '0'
                && m_text[m_pos] <= '9')
                value = value * 10 + static_cast<std::uint64_t>(m_text[m_pos++] - '0');
            return m_pos == start ? std::nullopt : std::optional(value);
        }
        /// A name of the folder: no slash, not "." or "..".
        std::optional<std::string> name()
        {
            const auto length = number();
            if (!length || !literal(":") || *length > m_text.size() - m_pos)
                return std::nullopt;
            std::string out(m_text.substr(m_pos, static_cast<std::size_t>(*length)));
            m_pos += static_cast<std::size_t>(*length);
            if (out.find('/') != std::string::npos || out.find('\0') != std::string::npos
                || out == "." || out == "..")
                return std::nullopt;
            return out;
        }
        std::size_t position() const { return m_pos; }
        bool atEnd() const { return m_pos == m_text.size(); }

    private:
        std::string_view m_text;
        std::size_t m_pos = 0;
    };
} // namespace

std::string encodeSaveMarker(const std::vector<SetEntry>& entries)
{
    std::string out = std::string(kMarkerMagic) + "\n" + std::to_string(entries.size()) + "\n";
    for (const SetEntry& e : entries) {
        out += e.temp.empty() ? "r " : "w ";
        out += e.makesBackup ? "1 " : "0 ";
        out += std::to_string(e.size) + " " + std::to_string(e.hash) + " ";
        appendField(out, e.target);
        appendField(out, e.temp);
        appendField(out, e.old);
        out += "\n";
    }
    out += "end " + std::to_string(contentHash(out)) + "\n";
    return out;
}

std::optional<std::vector<SetEntry>> decodeSaveMarker(std::string_view text, const fs::path& folder)
{
    MarkerReader in(text);
    if (!in.literal(kMarkerMagic) || !in.literal("\n"))
        return std::nullopt;
    // A missing count reads as too large.
    const std::uint64_t count = in.number().value_or(UINT64_MAX);
    if (count > 16 || !in.literal("\n"))
        return std::nullopt;
    std::vector<SetEntry> entries;
    for (std::uint64_t i = 0; i < count; ++i) {
        const bool write = in.literal("w ");
        if (!write && !in.literal("r "))
            return std::nullopt;
        const bool makesBackup = in.literal("1 ");
        if (!makesBackup && !in.literal("0 "))
            return std::nullopt;
        const auto size = in.number();
        const auto hash = size && in.literal(" ") ? in.number() : std::nullopt;
        const auto target = hash && in.literal(" ") ? in.name() : std::nullopt;
        const auto temp = target ? in.name() : std::nullopt;
        const auto old = temp ? in.name() : std::nullopt;
        if (!old || !in.literal("\n") || target->empty() || write == temp->empty())
            return std::nullopt;
        const auto inFolder
            = [&folder](const std::string& n) { return n.empty() ? fs::path() : folder / n; };
        entries.push_back(
            { folder / *target, inFolder(*temp), inFolder(*old), *size, *hash, makesBackup });
    }
    const std::size_t checked = in.position();
    const auto hash = in.literal("end ") ? in.number() : std::nullopt;
    if (!hash || !in.literal("\n") || !in.atEnd() || *hash != contentHash(text.substr(0, checked)))
        return std::nullopt;
    return entries;
}

} // namespace kestrow
