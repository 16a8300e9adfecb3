#include "core/text_codec.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace kestrow {

namespace {

    // Code points of bytes 80..9F; the five bytes the code page leaves undefined
    // keep their own value so that every byte survives a round trip.
    constexpr std::array<char32_t, 32> kHighControls {
        0x20AC,
        0x0081,
        0x201A,
        0x0192,
        0x201E,
        0x2026,
        0x2020,
        0x2021,
        0x02C6,
        0x2030,
        0x0160,
        0x2039,
        0x0152,
        0x008D,
        0x017D,
        0x008F,
        0x0090,
        0x2018,
        0x2019,
        0x201C,
        0x201D,
        0x2022,
        0x2013,
        0x2014,
        0x02DC,
        0x2122,
        0x0161,
        0x203A,
        0x0153,
        0x009D,
        0x017E,
        0x0178,
    };

    /// The UTF-8 form of one byte of the code page above 7F (two or three bytes).
    struct Utf8Form {
        std::array<char, 3> bytes {};
        std::uint8_t length = 0;
    };

    constexpr Utf8Form utf8FormOf(char32_t c)
    {
        Utf8Form form;
        if (c < 0x800) {
            form.bytes
                = { static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0 };
            form.length = 2;
        } else {
            form.bytes = { static_cast<char>(0xE0 | (c >> 12)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F)) };
            form.length = 3;
        }
        return form;
    }

    /// Bytes 80..FF, worked out once.
    constexpr std::array<Utf8Form, 128> kHighForms = [] {
        std::array<Utf8Form, 128> forms {};
        for (std::size_t i = 0; i < forms.size(); ++i)
            forms[i] = utf8FormOf(i < 0x20 ? kHighControls[i] : static_cast<char32_t>(0x80 + i));
        return forms;
    }();

    char byteOf(char32_t c)
    {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            return static_cast<char>(c);
        for (std::size_t i = 0; i < kHighControls.size(); ++i) {
            if (kHighControls[i] == c)
                return static_cast<char>(0x80 + i);
        }
        return '?';
    }

} // namespace

std::string cp1252ToUtf8(std::string_view bytes)
{
    const auto isHigh = [](char b) { return static_cast<unsigned char>(b) >= 0x80; };
    std::string out;
    out.reserve(bytes.size()
        + 2 * static_cast<std::size_t>(std::count_if(bytes.begin(), bytes.end(), isHigh)));
    auto from = bytes.begin();
    while (from != bytes.end()) {
        // Plain ASCII goes over a run at a time.
        const auto high = std::find_if(from, bytes.end(), isHigh);
        out.append(from, high);
        if (high == bytes.end())
            break;
        const Utf8Form& form = kHighForms[static_cast<unsigned char>(*high) - 0x80];
        out.append(form.bytes.data(), form.length);
        from = high + 1;
    }
    return out;
}

std::string utf8ToCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int length = 0;
        char32_t c = 0;
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07;
        }
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are malformed, not characters.
        if (valid) {
            static constexpr char32_t kMinimum[] = { 0, 0, 0x80, 0x800, 0x10000 };
            if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
                valid = false;
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += byteOf(c);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string lowerCase1252(std::string_view bytes)
{
    std::string out(bytes);
    for (char& b : out) {
        const auto c = static_cast<unsigned char>(b);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            b = static_cast<char>(c + 0x20);
        else if (c == 0x8A || c == 0x8C || c == 0x8E)
            b = static_cast<char>(c + 0x10);
        else if (c == 0x9F)
            b = static_cast<char>(0xFF);
    }
    return out;
}

} // namespace kestrow
