#include "ini_file.h"

#include "file_replace.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kestrow {
namespace {

TEST(IniFile, SectionsAndKeysAreFoundWithoutRegardToCase)
{
    const IniFile file = IniFile::fromText("[Settings]\r\nAuto Send=0\r\n[abc]\r\nKey=1\r\n");
    EXPECT_EQ(file.value("settings", "auto send"), "0");
    EXPECT_EQ(file.value("SETTINGS", "AUTO SEND"), "0");
    EXPECT_EQ(file.value("ABC", "key"), "1");
    EXPECT_FALSE(file.value("Settings", "Key").has_value());
    EXPECT_FALSE(file.hasSection("missing"));
}

TEST(IniFile, ValuesAreReadWithoutSurroundingBlanks)
{
    const IniFile file = IniFile::fromText("  [ 1 ]  \n  N =  Big Pad \t\n1=\n2 = Knob two\n");
    EXPECT_EQ(file.value("1", "N"), "Big Pad");
    EXPECT_EQ(file.value("1", "1"), ""); // present but empty: not the fallback
    EXPECT_EQ(file.readString("1", "1", "Knob 1"), "");
    EXPECT_EQ(file.readString("1", "3", "Knob 3"), "Knob 3");
    EXPECT_EQ(file.value("1", "2"), "Knob two");
}

TEST(IniFile, CrlfAndLfFilesReadAlikeAndAreWrittenWithCrlf)
{
    const IniFile lf = IniFile::fromText("[a]\nx=1\ny=2");
    const IniFile crlf = IniFile::fromText("[a]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(lf.value("a", "y"), "2");
    EXPECT_EQ(crlf.value("a", "y"), "2");
    EXPECT_EQ(lf.text(), "[a]\r\nx=1\r\ny=2\r\n");
    EXPECT_EQ(crlf.text(), lf.text());
}

TEST(IniFile, ByteOrderMarkDoesNotHideTheFirstSection)
{
    IniFile file = IniFile::fromText("\xEF\xBB\xBF[1]\r\nN=Pad\r\n");
    EXPECT_EQ(file.value("1", "N"), "Pad");
    file.writeString("1", "N", "Lead");
    EXPECT_EQ(file.text(), "\xEF\xBB\xBF[1]\r\nN=Lead\r\n");
}

TEST(IniFile, WritingAKeyReplacesOnlyItsLineInPlace)
{
    IniFile file = IniFile::fromText("; made by hand\r\n[Settings]\r\nDelay = 300\r\n"
                                     "odd line without equals\r\nAuto Send=1\r\n\r\n"
                                     "[Other]\r\n;comment=kept\r\nDelay=5\r\n");
    file.writeInteger("settings", "delay", 150);
    EXPECT_EQ(file.text(), "; made by hand\r\n[Settings]\r\ndelay=150\r\n"
                           "odd line without equals\r\nAuto Send=1\r\n\r\n"
                           "[Other]\r\n;comment=kept\r\nDelay=5\r\n");
    EXPECT_EQ(file.value("Other", "Delay"), "5");
    EXPECT_FALSE(file.value("Other", ";comment").has_value());
}

TEST(IniFile, NewKeysEndTheirSectionAndNewSectionsEndTheFile)
{
    IniFile file = IniFile::fromText("[1]\r\nN=One\r\n\r\n[2]\r\nN=Two\r\n");
    file.writeString("1", "16", "Last knob");
    file.writeString("3", "N", "Three");
    file.writeBool("2", "Flag", true);
    EXPECT_EQ(file.text(), "[1]\r\nN=One\r\n16=Last knob\r\n\r\n[2]\r\nN=Two\r\nFlag=1\r\n"
                           "[3]\r\nN=Three\r\n");
}

TEST(IniFile, FirstOfDuplicateSectionsAndKeysCounts)
{
    IniFile file = IniFile::fromText("[a]\nk=first\nk=second\n[A]\nk=third\n");
    EXPECT_EQ(file.value("a", "k"), "first");
    file.writeString("a", "K", "new");
    EXPECT_EQ(file.text(), "[a]\r\nK=new\r\nk=second\r\n[A]\r\nk=third\r\n");
}

TEST(IniFile, ValuesStayOneLine)
{
    IniFile file;
    file.writeString("1", "N", "two\r\nlines");
    const IniFile reread = IniFile::fromText(file.text());
    EXPECT_EQ(reread.value("1", "N"), "two  lines");
    EXPECT_EQ(reread.text(), file.text());
}

TEST(IniFile, IntegersAndBooleansFallBackWhenMalformed)
{
    const IniFile file = IniFile::fromText("[s]\na= 42 \nb=-7\nc=12abc\nd=\ne=99999999999\nf=+3\n"
                                           "t=2\nz=0\nx=yes\n");
    EXPECT_EQ(file.readInteger("s", "a", 1), 42);
    EXPECT_EQ(file.readInteger("s", "b", 1), -7);
    EXPECT_EQ(file.readInteger("s", "c", 1), 1);
    EXPECT_EQ(file.readInteger("s", "d", 1), 1);
    EXPECT_EQ(file.readInteger("s", "e", 1), 1);
    EXPECT_EQ(file.readInteger("s", "f", 1), 3);
    EXPECT_EQ(file.readInteger("s", "missing", 9), 9);
    EXPECT_TRUE(file.readBool("s", "t", false));
    EXPECT_FALSE(file.readBool("s", "z", true));
    EXPECT_TRUE(file.readBool("s", "x", true));
    EXPECT_FALSE(file.readBool("s", "x", false));
}

TEST(IniFile, EveryByteValueRoundTripsThroughAFile)
{
    test::TempDir dir;
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            all += static_cast<char>(b);
    }
    // Blanks at the ends would be trimmed; keep them inside.
    const std::string value = "<" + all + std::string(1, '\0') + ">";
    IniFile file;
    file.writeString("1", "N", value);
    ASSERT_TRUE(writeFileAtomically(dir.file("names.CFG"), file.text(), false));
    const IniFile reread = IniFile::load(dir.file("names.CFG"));
    EXPECT_TRUE(reread.readable());
    EXPECT_EQ(reread.value("1", "N"), value);
}

TEST(IniFile, MissingFileIsAnEmptyUnreadableDocument)
{
    test::TempDir dir;
    const IniFile file = IniFile::load(dir.file("nothing.CFG"));
    EXPECT_FALSE(file.readable());
    EXPECT_EQ(file.text(), "");
}

TEST(IniFile, ManyKeyWritesStayCheap)
{
    // 128 sections of 17 keys, the size of a full knob-name file, written
    // twice over (the second pass replaces every line in place).
    const auto started = std::chrono::steady_clock::now();
    IniFile file;
    for (int pass = 0; pass < 2; ++pass) {
        for (int s = 1; s <= 128; ++s) {
            file.writeString(std::to_string(s), "N", "Preset " + std::to_string(s + pass));
            for (int k = 1; k <= 16; ++k)
                file.writeString(std::to_string(s), std::to_string(k), "Knob " + std::to_string(k));
        }
    }
    const auto elapsed = std::chrono::steady_clock::now() - started;
    const IniFile reread = IniFile::fromText(file.text());
    EXPECT_EQ(reread.value("128", "N"), "Preset 129");
    EXPECT_EQ(reread.value("77", "16"), "Knob 16");
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 500);
}

} // namespace
} // namespace kestrow
