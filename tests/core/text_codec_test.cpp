#include "core/text_codec.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrow;

namespace {

TEST(TextCodec, EveryByteValueSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(TextCodec, Conversions)
{
    // Code page characters and the five bytes it leaves open (their own C1 control).
    const std::pair<const char*, const char*> toUtf8[] = { { "\x80", "\u20AC" },
        { "\x9F", "\u0178" }, { "Caf\xE9", "Caf\u00E9" }, { "\x93Pad\x94", "\u201CPad\u201D" },
        { "\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D" } };
    for (const auto& [cp1252, utf8] : toUtf8)
        EXPECT_EQ(cp1252ToUtf8(cp1252), utf8) << utf8;
    // What the code page cannot hold, and malformed UTF-8, become question marks
    // without swallowing the text around them.
    const std::pair<const char*, const char*> toCp1252[]
        = { { "\u20AC \u2122 \u00FF", "\x80 \x99 \xFF" }, { "Synth \u266B", "Synth ?" },
              { "\U0001F3B9 Keys", "? Keys" }, { "a\xC3", "a?" }, { "\xC3(b", "?(b" },
              { "\xC0\xAF", "??" }, { "\xED\xA0\x80x", "???x" }, { "\xFFok", "?ok" } };
    for (const auto& [utf8, cp1252] : toCp1252)
        EXPECT_EQ(utf8ToCp1252(utf8), cp1252) << utf8;
}

} // namespace
