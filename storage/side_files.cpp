#include "storage/side_files.h"

#include "storage/file_replace.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrow {

namespace {

    constexpr std::string_view kNotesHeader = "zembraC Editor";
    constexpr std::int32_t kNotesFormat = 1;

    void appendInt32(std::string& out, std::int32_t value)
    {
        const auto u = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            out += static_cast<char>((u >> shift) & 0xFF);
    }

    /// Reads little-endian 32-bit integers and byte runs from a file held in
    /// memory; every read is checked against the end.
    class ByteReader {
    public:
        explicit ByteReader(std::string_view bytes)
            : m_bytes(bytes)
        {
        }
        std::optional<std::int32_t> int32()
        {
            if (m_bytes.size() - m_pos < 4)
                return std::nullopt;
            std::uint32_t u = 0;
            for (std::size_t i = 0; i < 4; ++i)
                u |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[m_pos + i]))
                    << (8 * i);
            m_pos += 4;
            return static_cast<std::int32_t>(u);
        }
        std::optional<std::string_view> bytes(std::int32_t length)
        {
            if (length < 0 || static_cast<std::size_t>(length) > m_bytes.size() - m_pos)
                return std::nullopt;
            const std::string_view out = m_bytes.substr(m_pos, static_cast<std::size_t>(length));
            m_pos += static_cast<std::size_t>(length);
            return out;
        }

    private:
        std::string_view m_bytes;
        std::size_t m_pos = 0;
    };

} // namespace

SideFileRead readSideFile(
    const std::filesystem::path& path, std::uintmax_t limit, std::string_view what)
{
    SideFileRead out;
    const auto refuse = [&out](std::string why) {
        out.status = SideFileRead::Status::refused;
        out.reason = std::move(why);
        out.bytes.clear();
        return out;
    };
    const auto tooLarge = [&](std::uintmax_t size) {
        return refuse(std::to_string(size) + " bytes, more than a " + std::string(what)
            + " holds (at most " + std::to_string(limit) + ")");
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return out;
        return refuse(std::string("cannot read the file: ") + std::strerror(errno));
    }
    struct ::stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse("not a file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        ::close(fd);
        return tooLarge(static_cast<std::uintmax_t>(info.st_size));
    }
    // Room for the size found and one byte more, to notice a file that grew
    // since; such a file is read on, up to one byte past the limit, and then
    // refused. (Room for the limit itself would be megabytes for every file.)
    out.bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == out.bytes.size()) {
            if (done > limit)
                break;
            out.bytes.resize(static_cast<std::size_t>(
                std::min<std::uintmax_t>(limit + 1, std::uintmax_t { done } * 2)));
        }
        const ssize_t n = ::read(fd, out.bytes.data() + done, out.bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return refuse(std::string("cannot read the file: ") + std::strerror(error));
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done > limit)
        return tooLarge(done);
    out.bytes.resize(done);
    out.status = SideFileRead::Status::read;
    return out;
}

std::filesystem::path sideFile(const std::string& path)
{
    std::string wanted = path;
    const std::size_t dot = wanted.rfind('.');
    if (dot != std::string::npos && wanted.find('/', dot) == std::string::npos) {
        for (std::size_t i = dot; i < wanted.size(); ++i)
            wanted[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(wanted[i])));
    }
    return findIgnoringCase(wanted).value_or(std::filesystem::path(wanted));
}

DescriptionRecords decodeDescriptions(std::string_view bytes, int n)
{
    DescriptionRecords out;
    ByteReader in(bytes);
    const auto format = in.int32();
    const auto headerLength = format ? in.int32() : std::nullopt;
    const auto header = headerLength ? in.bytes(*headerLength) : std::nullopt;
    if (!header || *header != kNotesHeader)
        return out; // not ours: clear
    out.outcome = DescriptionRecords::Outcome::keep;
    const auto records = in.int32();
    // Every record takes at least its 4-byte length: a count beyond that is damage.
    if (!records || *records < n || static_cast<std::size_t>(*records) > bytes.size() / 4)
        return out;
    // Every record is checked, only the first n are kept.
    std::vector<std::string_view> texts;
    texts.reserve(static_cast<std::size_t>(n));
    for (std::int32_t r = 0; r < *records; ++r) {
        const auto length = in.int32();
        const auto text = length ? in.bytes(*length) : std::nullopt;
        if (!text)
            return out;
        if (r < n)
            texts.push_back(*text);
    }
    out.outcome = DescriptionRecords::Outcome::texts;
    out.texts.assign(texts.begin(), texts.end());
    return out;
}

std::string encodeDescriptions(const std::vector<const std::string*>& texts)
{
    std::string bytes;
    appendInt32(bytes, kNotesFormat);
    appendInt32(bytes, static_cast<std::int32_t>(kNotesHeader.size()));
    bytes += kNotesHeader;
    appendInt32(bytes, static_cast<std::int32_t>(texts.size()));
    for (const std::string* text : texts) {
        appendInt32(bytes, static_cast<std::int32_t>(text->size()));
        bytes += *text;
    }
    return bytes;
}

} // namespace kestrow
