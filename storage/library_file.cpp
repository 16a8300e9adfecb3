#include "storage/library_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>

namespace kestrow {

namespace {

    constexpr std::string_view kMagic = "KestrowLibrary\n";
    constexpr std::uint32_t kFormat = 1;
    /// Larger files are not read: 10,000 sets take about 180 MB.
    constexpr std::uintmax_t kMaxIndexSize = 1u << 30;

    class Writer {
    public:
        std::string bytes;

        template <class T> void number(T value)
        {
            char out[sizeof(T)];
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(out, &value, sizeof(T)); // the file's order: one copy
            } else {
                for (std::size_t i = 0; i < sizeof(T); ++i)
                    out[i]
                        = static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
            }
            bytes.append(out, sizeof(T));
        }
        void text(const std::string& t)
        {
            number(static_cast<std::uint32_t>(t.size()));
            bytes += t;
        }
        template <std::size_t N> void raw(const std::array<std::uint8_t, N>& values)
        {
            bytes.append(reinterpret_cast<const char*>(values.data()), N);
        }
    };

    class Reader {
    public:
        explicit Reader(std::string_view bytes)
            : m_bytes(bytes)
        {
        }
        bool ok() const { return m_ok; }
        bool atEnd() const { return m_at == m_bytes.size(); }

        template <class T> T number()
        {
            if (!take(sizeof(T)))
                return 0;
            const char* at = m_bytes.data() + m_at - sizeof(T);
            if constexpr (std::endian::native == std::endian::little) {
                T value;
                std::memcpy(&value, at, sizeof(T));
                return value;
            } else {
                std::uint64_t value = 0;
                for (std::size_t i = 0; i < sizeof(T); ++i)
                    value |= std::uint64_t { static_cast<unsigned char>(at[i]) } << (8 * i);
                return static_cast<T>(value);
            }
        }
        std::string text()
        {
            const auto size = number<std::uint32_t>();
            if (!take(size))
                return {};
            return std::string(m_bytes.substr(m_at - size, size));
        }
        template <std::size_t N> void raw(std::array<std::uint8_t, N>& values)
        {
            if (take(N))
                std::memcpy(values.data(), m_bytes.data() + m_at - N, N);
        }
        /// Whether `count` items of at least `least` bytes each can still be there.
        bool room(std::uint64_t count, std::uint64_t least)
        {
            m_ok = m_ok && count <= (m_bytes.size() - m_at) / least;
            return m_ok;
        }

    private:
        bool take(std::size_t n)
        {
            m_ok = m_ok && n <= m_bytes.size() - m_at;
            if (m_ok)
                m_at += n;
            return m_ok;
        }

        std::string_view m_bytes;
        std::size_t m_at = 0;
        bool m_ok = true;
    };

    constexpr std::uint64_t kPresetRecordSize = 4 * (2 + kKnobCount) + 4 * kKnobCount;

} // namespace

std::string encodeLibraryIndex(const LibraryIndex& index)
{
    Writer out;
    out.bytes.reserve(index.sets().size() * (kPresetCount * kPresetRecordSize + 256));
    out.bytes += kMagic;
    out.number(kFormat);
    out.number(static_cast<std::uint32_t>(index.strings().size()));
    for (const std::string& s : index.strings())
        out.text(s);
    out.number(static_cast<std::uint32_t>(index.sets().size()));
    for (const LibrarySet& set : index.sets()) {
        out.text(set.path);
        out.number(set.stamp.modified);
        out.number(set.stamp.size);
        out.text(set.damage);
        out.number(static_cast<std::uint8_t>(set.initValues ? 1 : 0));
        out.raw(set.held);
        out.number(static_cast<std::uint8_t>(set.readable() ? 1 : 0));
        if (!set.readable())
            continue;
        for (const LibraryPreset& p : set.presets) {
            out.number(p.name);
            out.number(p.description);
            for (std::uint32_t id : p.knobName)
                out.number(id);
            out.raw(p.channel);
            out.raw(p.eventType);
            out.raw(p.fixedParameter);
            out.raw(p.initValue);
        }
    }
    return out.bytes;
}

std::optional<LibraryIndex> decodeLibraryIndex(std::string_view bytes)
{
    if (!bytes.starts_with(kMagic))
        return std::nullopt;
    Reader in(bytes.substr(kMagic.size()));
    if (in.number<std::uint32_t>() != kFormat)
        return std::nullopt;
    const auto stringCount = in.number<std::uint32_t>();
    if (!in.room(stringCount, 4))
        return std::nullopt;
    std::vector<std::string> strings(stringCount);
    for (std::string& s : strings)
        s = in.text();
    const auto setCount = in.number<std::uint32_t>();
    if (!in.room(setCount, 4 + 8 + 8 + 4 + 1 + kPresetCount + 1))
        return std::nullopt;
    std::vector<LibrarySet> sets(setCount);
    for (LibrarySet& set : sets) {
        set.path = in.text();
        set.stamp.modified = in.number<std::int64_t>();
        set.stamp.size = in.number<std::uint64_t>();
        set.damage = in.text();
        set.initValues = in.number<std::uint8_t>() != 0;
        in.raw(set.held);
        set.presetCount = static_cast<int>(std::count(set.held.begin(), set.held.end(), 1));
        if (in.number<std::uint8_t>() == 0 || !in.room(kPresetCount, kPresetRecordSize))
            continue;
        set.presets.resize(kPresetCount);
        for (LibraryPreset& p : set.presets) {
            p.name = in.number<std::uint32_t>();
            p.description = in.number<std::uint32_t>();
            for (std::uint32_t& id : p.knobName)
                id = in.number<std::uint32_t>();
            in.raw(p.channel);
            in.raw(p.eventType);
            in.raw(p.fixedParameter);
            in.raw(p.initValue);
        }
    }
    if (!in.ok() || !in.atEnd())
        return std::nullopt;
    return LibraryIndex::fromParts(std::move(strings), std::move(sets));
}

LibraryIndex readLibraryIndex(const std::filesystem::path& file)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxIndexSize)
        return {};
    // In one read of the known size: the index runs to megabytes.
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::ifstream in(file, std::ios::binary);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) || in.peek() != EOF)
        return {};
    std::optional<LibraryIndex> index = decodeLibraryIndex(bytes);
    return index ? std::move(*index) : LibraryIndex();
}

FileResult writeLibraryIndex(const std::filesystem::path& file, const LibraryIndex& index)
{
    LibraryIndex compacted = index;
    compacted.compact();
    return writeFileAtomically(file, encodeLibraryIndex(compacted), false);
}

} // namespace kestrow
