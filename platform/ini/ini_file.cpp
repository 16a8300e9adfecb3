#include "ini_file.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace kestrow {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
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

/// The key of a key line in lower case, or empty for comments and other lines.
std::string keyOf(std::string_view line)
{
    const std::string_view trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return {};
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return {};
    return asciiLower(trim(trimmed.substr(0, equals)));
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
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
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

IniFile IniFile::fromText(std::string_view text)
{
    IniFile file;
    file.m_sections.emplace_back();
    // Editors that save UTF-8 may put a byte order mark in front of the first
    // section; it is kept, but must not hide that section.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) {
        file.m_byteOrderMark = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    std::size_t start = 0;
    while (start < text.size()) {
        // A lone CR ends a line too, as it does for the writer, which keeps
        // values on one line: otherwise a name read with a CR in it would
        // come back from a save changed, and a section behind a CR be lost.
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = text.substr(end).starts_with("\r\n") ? end + 2 : end + 1;

        if (const auto name = headerName(line)) {
            Section section;
            section.header = std::string(line);
            file.addSection(std::move(section), asciiLower(*name));
        } else {
            file.m_sections.back().lines.push_back({ std::string(line), keyOf(line) });
        }
    }
    return file;
}

IniFile IniFile::load(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    const std::string text { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    if (in.bad())
        return {};
    IniFile file = fromText(text);
    file.m_readable = true;
    return file;
}

void IniFile::addSection(Section section, const std::string& nameLower)
{
    if (m_sections.empty())
        m_sections.emplace_back();
    m_sections.push_back(std::move(section));
    // The first of two equally named sections is the one that counts.
    m_index.emplace(nameLower, m_sections.size() - 1);
}

const IniFile::Section* IniFile::findSection(std::string_view section) const
{
    const auto it = m_index.find(asciiLower(trim(section)));
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const Section* s = findSection(section);
    if (!s)
        return std::nullopt;
    const std::string wanted = asciiLower(trim(key));
    for (const Line& line : s->lines) {
        if (!line.keyLower.empty() && line.keyLower == wanted) {
            const std::string_view raw = line.raw;
            return std::string(trim(raw.substr(raw.find('=') + 1)));
        }
    }
    return std::nullopt;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const
{
    auto found = value(section, key);
    return found ? std::move(*found) : std::string(fallback);
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t fallback) const
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

IniFile::Section& IniFile::sectionForWrite(std::string_view section)
{
    const std::string name(trim(section));
    const std::string lower = asciiLower(name);
    if (const auto it = m_index.find(lower); it != m_index.end())
        return m_sections[it->second];
    Section created;
    created.header = "[" + name + "]";
    addSection(std::move(created), lower);
    return m_sections.back();
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string keyText(trim(key));
    if (keyText.empty())
        return;
    Section& s = sectionForWrite(section);
    const std::string wanted = asciiLower(keyText);
    Line line { keyText + "=" + oneLine(value), wanted };
    for (Line& existing : s.lines) {
        if (existing.keyLower == wanted) {
            existing = std::move(line);
            return;
        }
    }
    // A new key follows the last non-blank line, so blank lines that separate
    // this section from the next stay where they are.
    std::size_t at = s.lines.size();
    while (at > 0 && trim(s.lines[at - 1].raw).empty())
        --at;
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
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
    std::string out = m_byteOrderMark ? "\xEF\xBB\xBF" : "";
    for (const Section& s : m_sections) {
        if (!s.header.empty())
            out += s.header + "\r\n";
        for (const Line& line : s.lines)
            out += line.raw + "\r\n";
    }
    return out;
}

} // namespace kestrow
