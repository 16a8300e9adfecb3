#include "storage/recovery_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

namespace kestrow {

namespace fs = std::filesystem;

// The journal is text with length-prefixed strings, so that any byte of a
// name or description (line breaks included) goes through unchanged:
//
//   Kestrow Editor recovery journal
//   format 1
//   saved <seconds since 1970 UTC>
//   variant <0..2>
//   selected <preset index 0..127>
//   then for n = 1..128:
//     preset <n>
//     name <length> <bytes>
//     knob <k> <length> <bytes>          k = 1..16
//     channel|event|fixed|init <16 numbers separated by blanks>
//     description <length> <bytes>
//   checksum <CRC-32 of every byte above, 8 lowercase hex digits>

namespace {

    constexpr std::string_view kMagic = "Kestrow Editor recovery journal\n";
    constexpr std::string_view kFormat = "format 1\n";
    constexpr std::string_view kChecksumWord = "checksum ";
    constexpr std::size_t kChecksumLine = 9 + 8 + 1; // word, hex digits, line break

    constexpr std::array<std::uint32_t, 256> crcTable()
    {
        std::array<std::uint32_t, 256> table {};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return table;
    }

    std::uint32_t crc32(std::string_view bytes)
    {
        static constexpr auto kTable = crcTable();
        std::uint32_t c = 0xFFFFFFFFu;
        for (char ch : bytes)
            c = kTable[(c ^ static_cast<unsigned char>(ch)) & 0xFFu] ^ (c >> 8);
        return c ^ 0xFFFFFFFFu;
    }

    std::string hex8(std::uint32_t value)
    {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", value);
        return text;
    }

    struct Column {
        std::string_view word;
        std::array<std::int32_t, kKnobCount> Preset::*values;
        std::int32_t low;
        std::int32_t high;
    };

    constexpr std::array<Column, 4> kColumns { {
        { "channel", &Preset::channel, 0, 16 },
        { "event", &Preset::eventType, 0, 127 },
        { "fixed", &Preset::fixedParameter, 0, 127 },
        { "init", &Preset::initValue, 0, 127 },
    } };

    void appendText(std::string& out, std::string_view word, std::string_view text)
    {
        out += word;
        out += ' ';
        out += std::to_string(text.size());
        out += ' ';
        out += text;
        out += '\n';
    }

    /// Reads the body strictly; any deviation stops it, and the caller takes nothing.
    class Parser {
    public:
        explicit Parser(std::string_view bytes, std::size_t offset)
            : m_bytes(bytes)
            , m_pos(offset)
        {
        }

        std::size_t position() const { return m_pos; }
        bool atEnd() const { return m_pos == m_bytes.size(); }

        bool literal(std::string_view text)
        {
            if (m_bytes.substr(m_pos, text.size()) != text)
                return false;
            m_pos += text.size();
            return true;
        }

        std::optional<std::int64_t> number(std::int64_t low, std::int64_t high)
        {
            std::int64_t value = 0;
            const char* first = m_bytes.data() + m_pos;
            const char* last = m_bytes.data() + m_bytes.size();
            const auto [end, error] = std::from_chars(first, last, value);
            if (error != std::errc() || value < low || value > high)
                return std::nullopt;
            m_pos += static_cast<std::size_t>(end - first);
            return value;
        }

        /// "<word> <length> <bytes>\n"
        std::optional<std::string> text(std::string_view word)
        {
            if (!literal(word) || !literal(" "))
                return std::nullopt;
            const auto length = number(
                0, static_cast<std::int64_t>(m_bytes.size() - std::min(m_pos, m_bytes.size())));
            if (!length || !literal(" ")
                || m_bytes.size() - m_pos < static_cast<std::size_t>(*length))
                return std::nullopt;
            std::string value(m_bytes.substr(m_pos, static_cast<std::size_t>(*length)));
            m_pos += value.size();
            if (!literal("\n"))
                return std::nullopt;
            return value;
        }

        /// "<word> <value>\n" with the value in [low, high].
        std::optional<std::int64_t> line(std::string_view word, std::int64_t low, std::int64_t high)
        {
            if (!literal(word) || !literal(" "))
                return std::nullopt;
            const auto value = number(low, high);
            if (!value || !literal("\n"))
                return std::nullopt;
            return value;
        }

        bool column(const Column& column, Preset& preset)
        {
            if (!literal(column.word))
                return false;
            for (std::int32_t& value : preset.*column.values) {
                const auto read = literal(" ") ? number(column.low, column.high) : std::nullopt;
                if (!read)
                    return false;
                value = static_cast<std::int32_t>(*read);
            }
            return literal("\n");
        }

        bool preset(int presetNumber, Preset& preset)
        {
            if (!line("preset", presetNumber, presetNumber))
                return false;
            auto name = text("name");
            if (!name)
                return false;
            preset.name = std::move(*name);
            for (int k = 0; k < kKnobCount; ++k) {
                if (!literal("knob ") || !number(k + 1, k + 1))
                    return false;
                auto knobName = text("");
                if (!knobName)
                    return false;
                preset.knobName[static_cast<std::size_t>(k)] = std::move(*knobName);
            }
            for (const Column& c : kColumns) {
                if (!column(c, preset))
                    return false;
            }
            auto description = text("description");
            if (!description)
                return false;
            preset.description = std::move(*description);
            return true;
        }

    private:
        std::string_view m_bytes;
        std::size_t m_pos;
    };

    RecoveryRead damaged(std::string reason)
    {
        RecoveryRead read;
        read.status = RecoveryRead::Status::damaged;
        read.reason = std::move(reason);
        return read;
    }

    std::string errnoText(const std::error_code& error) { return error.message(); }

    /// Moves the journal to another name, replacing what is there; nothing to move is fine.
    FileResult moveJournal(const fs::path& from, const fs::path& to)
    {
        std::error_code error;
        fs::rename(from, to, error);
        if (error && error != std::errc::no_such_file_or_directory)
            return FileResult::failure(
                from, "cannot rename it to " + to.filename().string() + ": " + errnoText(error));
        return FileResult::success();
    }

    FileResult removeFile(const fs::path& file)
    {
        std::error_code error;
        fs::remove(file, error);
        if (error)
            return FileResult::failure(file, "cannot remove it: " + errnoText(error));
        return FileResult::success();
    }

} // namespace

std::string encodeRecovery(const RecoveryContents& contents)
{
    std::string out;
    out.reserve(64 * 1024);
    out += kMagic;
    out += kFormat;
    out += "saved " + std::to_string(contents.savedAt) + "\n";
    out += "variant " + std::to_string(static_cast<std::int32_t>(contents.variant)) + "\n";
    out += "selected " + std::to_string(contents.selectedPreset) + "\n";
    for (int p = 0; p < kPresetCount; ++p) {
        const Preset& preset = contents.presets[static_cast<std::size_t>(p)];
        out += "preset " + std::to_string(p + 1) + "\n";
        appendText(out, "name", preset.name);
        for (int k = 0; k < kKnobCount; ++k)
            appendText(
                out, "knob " + std::to_string(k + 1), preset.knobName[static_cast<std::size_t>(k)]);
        for (const Column& column : kColumns) {
            out += column.word;
            for (std::int32_t value : preset.*column.values)
                out += " " + std::to_string(value);
            out += '\n';
        }
        appendText(out, "description", preset.description);
    }
    out += std::string(kChecksumWord) + hex8(crc32(out)) + "\n";
    return out;
}

RecoveryRead decodeRecovery(std::string_view bytes)
{
    if (!bytes.starts_with(kMagic))
        return damaged("it is not a recovery file");
    if (!bytes.substr(kMagic.size()).starts_with(kFormat))
        return damaged("it was written in a format this version does not know");
    if (bytes.size() < kMagic.size() + kFormat.size() + kChecksumLine)
        return damaged("it is incomplete");
    const std::size_t bodyEnd = bytes.size() - kChecksumLine;
    const std::string_view tail = bytes.substr(bodyEnd);
    if (bytes[bodyEnd - 1] != '\n' || !tail.starts_with(kChecksumWord) || !tail.ends_with('\n'))
        return damaged("it is incomplete");
    if (tail.substr(kChecksumWord.size(), 8) != hex8(crc32(bytes.substr(0, bodyEnd))))
        return damaged("its contents do not match its checksum");

    RecoveryRead read;
    RecoveryContents& c = read.contents;
    Parser parser(bytes.substr(0, bodyEnd), kMagic.size() + kFormat.size());
    const auto saved = parser.line("saved", std::numeric_limits<std::int64_t>::min(),
        std::numeric_limits<std::int64_t>::max());
    const auto variant = saved ? parser.line("variant", 0, 2) : std::nullopt;
    const auto selected = variant ? parser.line("selected", 0, kPresetCount - 1) : std::nullopt;
    bool ok = selected.has_value();
    for (int p = 0; ok && p < kPresetCount; ++p)
        ok = parser.preset(p + 1, c.presets[static_cast<std::size_t>(p)]);
    if (!ok || !parser.atEnd())
        return damaged("it holds an unreadable entry at byte " + std::to_string(parser.position()));
    c.savedAt = *saved;
    c.variant = static_cast<DeviceVariant>(*variant);
    c.selectedPreset = static_cast<std::int32_t>(*selected);
    read.status = RecoveryRead::Status::loaded;
    return read;
}

RecoveryFile::RecoveryFile(fs::path folder)
    : m_folder(std::move(folder))
{
}

RecoveryFile::~RecoveryFile()
{
    if (m_lock >= 0)
        ::close(m_lock);
}

bool RecoveryFile::claim()
{
    if (m_lock >= 0)
        return true;
    const fs::path folder = m_folder.empty() ? fs::path(".") : m_folder;
    // The lock sits on the folder itself, so no lock file is left behind; the
    // system drops it when the process ends, however it ends.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true; // no folder to share; writing will report the problem
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lock = fd;
    return true;
}

FileResult RecoveryFile::write(const RecoveryContents& contents) const
{
    return writeFileAtomically(path(), encodeRecovery(contents), false);
}

RecoveryRead RecoveryFile::read() const
{
    std::error_code error;
    const fs::path file = path();
    if (!fs::exists(file, error) && !error)
        return {};
    const std::uintmax_t size = fs::file_size(file, error);
    if (error)
        return damaged("it cannot be read: " + errnoText(error));
    if (size > kMaximumSize)
        return damaged(
            "it is " + std::to_string(size) + " bytes long, larger than any recovery file");
    const auto bytes = readWholeFile(file);
    if (!bytes)
        return damaged(std::string("it cannot be read: ") + std::strerror(errno));
    return decodeRecovery(*bytes);
}

FileResult RecoveryFile::remove() const { return removeFile(path()); }

FileResult RecoveryFile::discard() const { return moveJournal(path(), oldPath()); }

FileResult RecoveryFile::keepDamaged() const { return moveJournal(path(), damagedPath()); }

FileResult RecoveryFile::removeOld() const { return removeFile(oldPath()); }

void RecoveryFile::removeTemporaries() const
{
    // PendingFile's names: "." + the journal's name + "." + six characters.
    const std::string prefix = "." + path().filename().string() + ".";
    std::error_code error;
    for (fs::directory_iterator it(m_folder.empty() ? fs::path(".") : m_folder, error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            std::error_code ignored; // one left behind is tried again next time
            fs::remove(it->path(), ignored);
        }
    }
}

} // namespace kestrow
