#include "ini_file.h"

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
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = start;
            while (end < text.size() && text[end] != '\r' && text[end] != '\n')
                ++end;
            const std::string_view content = text.substr(start, end - start);
            const std::size_t next = text.substr(end).starts_with(kLineEnd) ? end + 2
                : end < text.size()                                         ? end + 1
                                                                            : end;
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

    bool isKeyLine(std::string_view line, std::string_view wanted)
    {
        // Most lines differ in their first character: check it before anything else.
        std::size_t first = 0;
        while (first < line.size() && isBlank(line[first]))
            ++first;
        if (wanted.empty() || first == line.size()
            || lowerAscii(line[first]) != lowerAscii(wanted[0]))
            return false;
        const std::string_view key = keyOf(line);
        return !key.empty() && compareIgnoringCase(key, wanted) == 0;
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
            file.m_sections.push_back({ line, {}, -1 });
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
    return headerName(headerOf(m_sections[index])).value_or(std::string_view {});
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
    const auto index = findSection(section);
    if (!index)
        return std::nullopt;
    const Section& s = m_sections[*index];
    const std::string_view body = s.edited < 0
        ? s.body
        : std::string_view(m_edited[static_cast<std::size_t>(s.edited)].body);
    const std::string_view wanted = trim(key);
    std::optional<std::string> found;
    forEachLine(body, [&](std::string_view line, std::size_t, std::size_t) {
        if (!isKeyLine(line, wanted))
            return true;
        found = std::string(trim(line.substr(line.find('=') + 1)));
        return false;
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
    m_sections.push_back({ {}, {}, static_cast<int>(m_edited.size() - 1) });
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
    const std::string_view keyText = trim(key);
    if (keyText.empty())
        return;
    std::string& body = editableBody(sectionForWrite(section));
    const std::string line = std::string(keyText) + "=" + oneLine(value);
    std::optional<std::pair<std::size_t, std::size_t>> existing;
    // A new key follows the last non-blank line, so blank lines that separate
    // this section from the next stay where they are.
    std::size_t insertAt = 0;
    forEachLine(body, [&](std::string_view content, std::size_t start, std::size_t next) {
        if (isKeyLine(content, keyText)) {
            existing = { start, content.size() };
            return false;
        }
        if (!trim(content).empty())
            insertAt = next;
        return true;
    });
    if (existing)
        body.replace(existing->first, existing->second, line);
    else
        body.insert(insertAt, line + std::string(kLineEnd));
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
