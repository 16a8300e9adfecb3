#include "platform/ini/ini_file.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

namespace kestrow {

namespace {

    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    constexpr std::string_view kLineEnd = "\r\n";

    bool isBlank(char c) { return c == ' ' || c == '\t'; }

    std::string_view trim(std::string_view text)
    {
        while (!text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isBlank(text.back()))
            text.remove_suffix(1);
        return text;
    }

    char lowerAscii(char c)
    {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }

    /// <0, 0, >0 as a compares to b without regard to ASCII case.
    int compareIgnoringCase(std::string_view a, std::string_view b)
    {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const auto x = static_cast<unsigned char>(lowerAscii(a[i]));
            const auto y = static_cast<unsigned char>(lowerAscii(b[i]));
            if (x != y)
                return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }

    /// Calls visit(content, start, end) for every line of text: content without
    /// its line end, [start, end) the line with it. A lone CR ends a line too, as
    /// it does for the writer, which keeps values on one line: otherwise a name
    /// read with a CR in it would come back from a save changed. visit returns
    /// false to stop.
    template <class Visit> void forEachLine(std::string_view text, Visit visit)
    {
        // The next CR and LF are looked up with find (memchr) and kept until
        // passed: a byte-by-byte loop costs several times more.
        std::size_t cr = text.find('\r');
        std::size_t lf = text.find('\n');
        std::size_t start = 0;
        while (start < text.size()) {
            if (cr < start)
                cr = text.find('\r', start);
            if (lf < start)
                lf = text.find('\n', start);
            const std::size_t end = std::min({ cr, lf, text.size() });
            const std::string_view content = text.substr(start, end - start);
            const std::size_t next = end == text.size() ? end
                : (cr == end && lf == end + 1)          ? end + 2
                                                        : end + 1;
            if (!visit(content, start, next))
                return;
            start = next;
        }
    }

    /// The section name of a header line, or nothing when the line is no header.
    std::optional<std::string_view> headerName(std::string_view line)
    {
        line = trim(line);
        if (line.empty() || line.front() != '[')
            return std::nullopt;
        const std::size_t close = line.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        return trim(line.substr(1, close - 1));
    }

    /// The key of a key line, or empty for comments and other lines.
    std::string_view keyOf(std::string_view line)
    {
        const std::string_view trimmed = trim(line);
        if (trimmed.empty() || trimmed.front() == ';')
            return {};
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string_view::npos)
            return {};
        return trim(trimmed.substr(0, equals));
    }

    bool equalIgnoringCase(std::string_view a, std::string_view b)
    {
        return a.size() == b.size() && compareIgnoringCase(a, b) == 0;
    }

    /// Notes where the section's name sits in its header line.
    void placeName(std::string_view header, std::size_t& start, std::size_t& size)
    {
        const std::string_view name = headerName(header).value_or(std::string_view {});
        start = name.empty() ? 0 : static_cast<std::size_t>(name.data() - header.data());
        size = name.size();
    }

    /// The value of a key line (the text after its first '=', without blanks).
    std::string valueOf(std::string_view line)
    {
        return std::string(trim(line.substr(line.find('=') + 1)));
    }

    std::string oneLine(std::string_view value)
    {
        std::string out(value);
        for (char& c : out) {
            if (c == '\r' || c == '\n')
                c = ' ';
        }
        return out;
    }

} // namespace

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

std::optional<std::int32_t> parseIniInteger(std::string_view text)
{
    text = trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc {} || ptr != end)
        return std::nullopt;
    return value;
}

IniFile IniFile::fromText(std::string_view text) { return adoptText(std::string(text)); }

IniFile IniFile::adoptText(std::string text)
{
    IniFile file;
    // Editors that save UTF-8 may put a byte order mark in front of the first
    // section; it is kept, but must not hide that section.
    if (std::string_view(text).starts_with(kByteOrderMark)) {
        file.m_byteOrderMark = true;
        text.erase(0, kByteOrderMark.size());
    }
    file.m_text = std::make_shared<const std::string>(std::move(text));
    const std::string_view all = *file.m_text;
    file.m_sections.emplace_back();
    std::size_t bodyStart = 0;
    forEachLine(all, [&](std::string_view line, std::size_t start, std::size_t next) {
        if (headerName(line)) {
            file.m_sections.back().body = all.substr(bodyStart, start - bodyStart);
            Section section { line, {}, -1 };
            placeName(line, section.nameStart, section.nameSize);
            file.m_sections.push_back(section);
            bodyStart = next;
        }
        return true;
    });
    file.m_sections.back().body = all.substr(bodyStart);

    std::vector<std::string_view> names(file.m_sections.size());
    file.m_byName.reserve(file.m_sections.size() - 1);
    for (std::size_t i = 1; i < file.m_sections.size(); ++i) {
        names[i] = file.nameOf(i);
        file.m_byName.push_back(static_cast<std::uint32_t>(i));
    }
    // Stable: of two equally named sections the first is the one that counts.
    std::stable_sort(
        file.m_byName.begin(), file.m_byName.end(), [&names](std::uint32_t a, std::uint32_t b) {
            return compareIgnoringCase(names[a], names[b]) < 0;
        });
    return file;
}

IniFile IniFile::load(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string text { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    if (in.bad())
        return {};
    IniFile file = adoptText(std::move(text));
    file.m_readable = true;
    return file;
}

std::string_view IniFile::headerOf(const Section& s) const
{
    return s.edited < 0 ? s.header
                        : std::string_view(m_edited[static_cast<std::size_t>(s.edited)].header);
}

std::string_view IniFile::nameOf(std::size_t index) const
{
    const Section& s = m_sections[index];
    return headerOf(s).substr(s.nameStart, s.nameSize);
}

std::string_view IniFile::bodyOf(const Section& s) const
{
    return s.edited < 0 ? s.body
                        : std::string_view(m_edited[static_cast<std::size_t>(s.edited)].body);
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const
{
    const std::string_view wanted = trim(section);
    const auto it = std::lower_bound(m_byName.begin(), m_byName.end(), wanted,
        [this](std::uint32_t index, std::string_view name) {
            return compareIgnoringCase(nameOf(index), name) < 0;
        });
    if (it == m_byName.end() || compareIgnoringCase(nameOf(*it), wanted) != 0)
        return std::nullopt;
    return *it;
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section).has_value();
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    return std::move(values(section, std::span(&key, 1)).front());
}

std::vector<std::optional<std::string>> IniFile::values(
    std::string_view section, std::span<const std::string_view> keys) const
{
    std::vector<std::optional<std::string>> found(keys.size());
    const auto index = findSection(section);
    if (!index)
        return found;
    std::vector<std::string_view> wanted;
    wanted.reserve(keys.size());
    std::size_t missing = 0;
    for (std::string_view key : keys) {
        wanted.push_back(trim(key));
        missing += wanted.back().empty() ? 0 : 1;
    }
    forEachLine(bodyOf(m_sections[*index]), [&](std::string_view line, std::size_t, std::size_t) {
        const std::string_view key = keyOf(line);
        if (key.empty())
            return true;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (!found[i] && !wanted[i].empty() && equalIgnoringCase(key, wanted[i])) {
                found[i] = valueOf(line);
                --missing;
            }
        }
        return missing > 0;
    });
    return found;
}

std::string IniFile::readString(
    std::string_view section, std::string_view key, std::string_view fallback) const
{
    auto found = value(section, key);
    return found ? std::move(*found) : std::string(fallback);
}

std::int32_t IniFile::readInteger(
    std::string_view section, std::string_view key, std::int32_t fallback) const
{
    const auto found = value(section, key);
    if (!found)
        return fallback;
    return parseIniInteger(*found).value_or(fallback);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool fallback) const
{
    const auto found = value(section, key);
    if (!found)
        return fallback;
    const auto number = parseIniInteger(*found);
    return number ? *number != 0 : fallback;
}

std::string& IniFile::editableBody(std::size_t index)
{
    Section& s = m_sections[index];
    if (s.edited < 0) {
        EditedSection edited { std::string(s.header), {} };
        edited.body.reserve(s.body.size());
        forEachLine(s.body, [&edited](std::string_view line, std::size_t, std::size_t) {
            edited.body.append(line).append(kLineEnd);
            return true;
        });
        m_edited.push_back(std::move(edited));
        s.edited = static_cast<int>(m_edited.size() - 1);
    }
    return m_edited[static_cast<std::size_t>(s.edited)].body;
}

std::size_t IniFile::sectionForWrite(std::string_view section)
{
    const std::string_view name = trim(section);
    if (const auto found = findSection(name))
        return *found;
    if (m_sections.empty())
        m_sections.emplace_back();
    m_edited.push_back({ "[" + std::string(name) + "]", {} });
    Section added { {}, {}, static_cast<int>(m_edited.size() - 1) };
    placeName(m_edited.back().header, added.nameStart, added.nameSize);
    m_sections.push_back(added);
    const std::size_t index = m_sections.size() - 1;
    // Placed by the name its header reads back as, so the order stays sound.
    const std::string_view readBack = nameOf(index);
    const auto at = std::upper_bound(m_byName.begin(), m_byName.end(), readBack,
        [this](std::string_view wanted, std::uint32_t other) {
            return compareIgnoringCase(wanted, nameOf(other)) < 0;
        });
    m_byName.insert(at, static_cast<std::uint32_t>(index));
    return index;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::pair<std::string_view, std::string_view> entry { key, value };
    writeStrings(section, std::span(&entry, 1));
}

void IniFile::writeStrings(std::string_view section,
    std::span<const std::pair<std::string_view, std::string_view>> entries)
{
    struct Pending {
        std::string_view key;
        std::string line;
        std::optional<std::pair<std::size_t, std::size_t>> existing; ///< start and size
    };
    std::vector<Pending> pending;
    pending.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        const std::string_view keyText = trim(key);
        if (keyText.empty())
            continue;
        std::string line = std::string(keyText) + "=" + oneLine(value);
        // Written later, the same key would replace the earlier one's line.
        const auto same = std::find_if(pending.begin(), pending.end(),
            [keyText](const Pending& p) { return equalIgnoringCase(p.key, keyText); });
        if (same != pending.end())
            same->line = std::move(line);
        else
            pending.push_back({ keyText, std::move(line), std::nullopt });
    }
    if (pending.empty())
        return;

    std::string& body = editableBody(sectionForWrite(section));
    // A new key follows the last non-blank line, so blank lines that separate
    // this section from the next stay where they are.
    std::size_t insertAt = 0;
    std::size_t missing = pending.size();
    forEachLine(body, [&](std::string_view content, std::size_t start, std::size_t next) {
        const std::string_view key = keyOf(content);
        if (!key.empty()) {
            for (Pending& p : pending) {
                if (!p.existing && equalIgnoringCase(key, p.key)) {
                    p.existing = { start, content.size() };
                    --missing;
                    break;
                }
            }
        }
        if (!trim(content).empty())
            insertAt = next;
        return missing > 0;
    });
    std::string added;
    for (const Pending& p : pending) {
        if (!p.existing)
            added.append(p.line).append(kLineEnd);
    }
    // Every replaced line is non-blank, so it lies before insertAt; edited
    // from the back, no edit moves a place still to be edited.
    body.insert(insertAt, added);
    std::vector<const Pending*> replaced;
    for (const Pending& p : pending) {
        if (p.existing)
            replaced.push_back(&p);
    }
    std::sort(replaced.begin(), replaced.end(),
        [](const Pending* a, const Pending* b) { return a->existing->first > b->existing->first; });
    for (const Pending* p : replaced)
        body.replace(p->existing->first, p->existing->second, p->line);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

std::string IniFile::text() const
{
    std::string out = m_byteOrderMark ? std::string(kByteOrderMark) : std::string();
    if (m_text)
        out.reserve(m_text->size() + m_text->size() / 16 + 64);
    for (const Section& s : m_sections) {
        const std::string_view header = headerOf(s);
        if (!header.empty())
            out.append(header).append(kLineEnd);
        if (s.edited >= 0) {
            out += m_edited[static_cast<std::size_t>(s.edited)].body;
            continue;
        }
        forEachLine(s.body, [&out](std::string_view line, std::size_t, std::size_t) {
            out.append(line).append(kLineEnd);
            return true;
        });
    }
    return out;
}

} // namespace kestrow
