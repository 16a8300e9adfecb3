#include "text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrow {
namespace {

TEST(TextCodec, EveryByteValueSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);
}

TEST(TextCodec, CodePageCharactersMapToTheirUnicodeForms)
{
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(cp1252ToUtf8("\x9F"), "\u0178");
    EXPECT_EQ(cp1252ToUtf8("Caf\xE9"), "Caf\u00E9");
    EXPECT_EQ(cp1252ToUtf8("\x93Pad\x94"), "\u201CPad\u201D");
    // The five bytes the code page leaves open stay their own C1 control.
    EXPECT_EQ(cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(utf8ToCp1252("\u20AC \u2122 \u00FF"), "\x80 \x99 \xFF");
}

TEST(TextCodec, CharactersTheCodePageCannotHoldBecomeQuestionMarks)
{
    EXPECT_EQ(utf8ToCp1252("Synth \u266B"), "Synth ?");
    EXPECT_EQ(utf8ToCp1252("\U0001F3B9 Keys"), "? Keys");
    EXPECT_EQ(utf8ToCp1252("\u0100"), "?");
}

TEST(TextCodec, MalformedUtf8BecomesQuestionMarksWithoutSwallowingText)
{
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");          // cut short at the end
    EXPECT_EQ(utf8ToCp1252("\xC3(b"), "?(b");        // continuation missing
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??");       // overlong slash
    EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80x"), "???x"); // surrogate
    EXPECT_EQ(utf8ToCp1252("\xFFok"), "?ok");
}

} // namespace
} // namespace kestrow
