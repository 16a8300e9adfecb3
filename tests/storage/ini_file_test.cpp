#include "platform/ini/ini_file.h"
#include "storage/file_replace.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using namespace kestrow;

namespace {

TEST(IniFile, LookupIgnoresCaseAndBlanksAndTakesTheFirstOfDuplicates)
{
    // A byte order mark must not hide the first section; LF and CRLF read alike.
    const IniFile file
        = IniFile::fromText("\xEF\xBB\xBF[Settings]\r\nAuto Send=0\r\n  [ 1 ]  \n"
                            "  N =  Big Pad \t\n1=\n[a]\nk=first\nk=second\n[A]\nk=third");
    EXPECT_EQ(file.value("SETTINGS", "auto send"), "0");
    EXPECT_EQ(file.value("1", "N"), "Big Pad");
    EXPECT_EQ(file.readString("1", "1", "Knob 1"), ""); // present but empty: not the fallback
    EXPECT_EQ(file.readString("1", "3", "Knob 3"), "Knob 3");
    EXPECT_FALSE(file.value("Settings", "N").has_value());
    EXPECT_EQ(file.value("A", "K"), "first");
    EXPECT_FALSE(file.hasSection("missing"));
}

TEST(IniFile, WritingReplacesOneLineInPlaceAndKeepsEverythingElse)
{
    IniFile file = IniFile::fromText(
        "\xEF\xBB\xBF[Settings]\n; made by hand\nDelay = 300\n"
        "odd line without equals\ndelay=dup\n\n[Other]\n;comment=kept\nDelay=5");
    file.writeInteger("settings", "DELAY", 150);
    file.writeString("Settings", "Name", "two\r\nlines"); // a value stays one line
    file.writeBool("3", "Flag", true);
    const std::string expected = "\xEF\xBB\xBF[Settings]\r\n; made by hand\r\nDELAY=150\r\n"
                                 "odd line without equals\r\ndelay=dup\r\nName=two  lines\r\n\r\n"
                                 "[Other]\r\n;comment=kept\r\nDelay=5\r\n[3]\r\nFlag=1\r\n";
    EXPECT_EQ(file.text(), expected);
    EXPECT_FALSE(file.value("Other", ";comment").has_value());
    EXPECT_EQ(IniFile::fromText(expected).text(), expected);
}

TEST(IniFile, KeysTogetherReadAndWriteAsOneByOne)
{
    const std::string text
        = "[1]\n; N=comment\n 2 = two\nn=name\nN=second\n\n\n[2]\nx=1\n[1]\n3=late";
    const std::string_view keys[] = { "N", "3", " 2 ", "", "missing", "n" };
    const IniFile file = IniFile::fromText(text);
    const auto together = file.values("1", keys);
    for (std::size_t i = 0; i < std::size(keys); ++i)
        EXPECT_EQ(together[i], file.value("1", keys[i])) << keys[i];

    // Repeated keys (in any case), an empty key, new and existing keys, a new section.
    const std::pair<std::string_view, std::string_view> entries[] = { { "new", "a" }, { "2", "b" },
        { "", "c" }, { "NEW", "d" }, { "n", "e" }, { "later", "f" } };
    for (const char* section : { "1", "2", "3" }) {
        IniFile batched = IniFile::fromText(text);
        IniFile single = batched;
        batched.writeStrings(section, entries);
        for (const auto& [key, value] : entries)
            single.writeString(section, key, value);
        EXPECT_EQ(batched.text(), single.text()) << section;
    }
}

TEST(IniFile, IntegersAndBooleansFallBackWhenMalformed)
{
    const IniFile file = IniFile::fromText(
        "[s]\na= 42 \nb=-7\nc=12abc\nd=\ne=99999999999\nf=+3\nt=2\nz=0\nx=yes\n");
    const std::pair<const char*, int> integers[] = { { "a", 42 }, { "b", -7 }, { "c", 1 },
        { "d", 1 }, { "e", 1 }, { "f", 3 }, { "missing", 1 } };
    for (const auto& [key, value] : integers)
        EXPECT_EQ(file.readInteger("s", key, 1), value) << key;
    EXPECT_TRUE(file.readBool("s", "t", false));
    EXPECT_FALSE(file.readBool("s", "z", true));
    EXPECT_TRUE(file.readBool("s", "x", true));
    EXPECT_FALSE(file.readBool("s", "x", false));
}

TEST(IniFile, EveryByteValueRoundTripsThroughAFile)
{
    test::TempDir dir;
    const IniFile missing = IniFile::load(dir.file("nothing.CFG"));
    EXPECT_FALSE(missing.readable());
    EXPECT_EQ(missing.text(), "");
    std::string value = "<"; // blanks at the ends would be trimmed
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            value += static_cast<char>(b);
    }
    value += ">";
    IniFile file;
    file.writeString("1", "N", value);
    ASSERT_TRUE(writeFileAtomically(dir.file("names.CFG"), file.text(), false));
    const IniFile reread = IniFile::load(dir.file("names.CFG"));
    EXPECT_TRUE(reread.readable());
    EXPECT_EQ(reread.value("1", "N"), value);
}

} // namespace
