#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrow {

/// An INI text file in the Windows private-profile style, held in memory so
/// that many key writes cost one file write.
///
/// Sections and keys are found without regard to (ASCII) case; values are read
/// without surrounding blanks. Writing a key replaces only that key's line in
/// place, a new key goes after the last line of its section and a new section
/// at the end; comments and lines the format does not know are kept as they
/// stand. Files are read with CRLF, LF or CR line ends and written with CRLF.
/// Text is handled as 8-bit bytes (the files are Windows-1252).
///
/// The text is kept once, as read; a section is a range of it until a key is
/// written into it. Memory is the text plus a few words per section, whatever
/// the number of lines; a lookup reads the lines of its section.
class IniFile {
public:
    IniFile() = default;

    /// Parses file text; every line is kept.
    static IniFile fromText(std::string_view text);
    /// The same, taking the text over instead of copying it.
    static IniFile adoptText(std::string text);
    /// Reads a whole file; a missing or unreadable file gives an empty
    /// document (readable() tells which). Callers that take files from
    /// elsewhere check the size first.
    static IniFile load(const std::filesystem::path& path);

    /// Whether the file given to load() existed and could be read.
    bool readable() const { return m_readable; }

    bool hasSection(std::string_view section) const;
    /// The value of the first matching key of the first matching section.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    /// value() for each key, in the order given, reading the section's lines
    /// once: a preset's names are 17 keys of one section.
    std::vector<std::optional<std::string>> values(
        std::string_view section, std::span<const std::string_view> keys) const;
    std::string readString(
        std::string_view section, std::string_view key, std::string_view fallback) const;
    /// An integer in decimal (optional sign, blanks around it); anything else,
    /// or a number outside 32 bits, reads as the fallback.
    std::int32_t readInteger(
        std::string_view section, std::string_view key, std::int32_t fallback) const;
    /// True for any integer other than 0; a missing or malformed value reads
    /// as the fallback.
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    /// Line breaks in the value become blanks: a value is one line.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    /// Key and value pairs written as writeString() one after the other would
    /// write them, reading the section's lines once.
    void writeStrings(std::string_view section,
        std::span<const std::pair<std::string_view, std::string_view>> entries);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    /// Writes "1" or "0".
    void writeBool(std::string_view section, std::string_view key, bool value);

    /// The whole document with CRLF line ends.
    std::string text() const;

private:
    /// A section as read: views into m_text. Once written to, its header and
    /// lines live in m_edited[edited] instead.
    struct Section {
        std::string_view
            header; ///< raw "[name]" line; empty for the lines before the first section
        std::string_view body; ///< its lines with their line ends, as read
        int edited = -1;
        /// Where its name sits in the header, so that lookups need not parse
        /// the header again.
        std::size_t nameStart = 0;
        std::size_t nameSize = 0;
    };
    struct EditedSection {
        std::string header;
        std::string body; ///< lines, each ended by CRLF
    };

    std::string_view headerOf(const Section& s) const;
    std::string_view nameOf(std::size_t index) const;
    std::string_view bodyOf(const Section& s) const;
    std::optional<std::size_t> findSection(std::string_view section) const;
    std::string& editableBody(std::size_t index);
    std::size_t sectionForWrite(std::string_view section);

    /// The text as read; shared by copies, never changed.
    std::shared_ptr<const std::string> m_text;
    std::vector<Section> m_sections; ///< m_sections[0] holds the lines before the first header
    std::vector<EditedSection> m_edited;
    /// Indices of the named sections, sorted by lower-case name, equal names in file order.
    std::vector<std::uint32_t> m_byName;
    bool m_readable = false;
    bool m_byteOrderMark = false;
};

/// Parses a whole decimal integer as the INI reader does (blanks around it
/// allowed); nothing for anything else.
std::optional<std::int32_t> parseIniInteger(std::string_view text);

/// ASCII lower case, the comparison the file functions use.
std::string asciiLower(std::string_view text);

} // namespace kestrow
