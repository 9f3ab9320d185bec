// The Keyvale wrapper: wide strings through UTF-8 files and back.
#include <gtest/gtest.h>

#include <string>

#include "scratchdir.h"
#include "wxkeyvale.h"

namespace {

class KeyvaleTest : public ::testing::Test {
protected:
    ScratchDir scratch{"keyvale_test"};
    // A non-ASCII file name reaches the file system as UTF-8.
    const std::string dir = scratch.path(), path = dir + "/r\xC3\xA9glages.ini";
};

TEST_F(KeyvaleTest, NonAsciiTextRoundTripsThroughAFile)
{
    Keyvale ini(wxString::FromUTF8(path.c_str()));
    // Non-ASCII characters at the very start and end of names and values.
    const wxString section = wxString::FromUTF8("\xC3\x9C" "bersicht \xE2\x99\xAA");
    const wxString key = wxString::FromUTF8("\xC3\xA9t\xC3\xA9");
    const wxString value = wxString::FromUTF8("\xC3\xA4 Lyrics; \"quoted\" \xE6\x97\xA5\xE6\x9C\xAC");
    ASSERT_TRUE(ini.put(section, key, value));
    EXPECT_EQ(ini.gets(section, key, "default"), value);
    EXPECT_EQ(ReadFile(path), "[\xC3\x9C" "bersicht \xE2\x99\xAA]\n"
                      "\xC3\xA9t\xC3\xA9=\"\xC3\xA4 Lyrics; \\\"quoted\\\" \xE6\x97\xA5\xE6\x9C\xAC\"\n");
}

TEST_F(KeyvaleTest, NumbersAndBooleans)
{
    Keyvale ini(wxString::FromUTF8(path.c_str()));
    ASSERT_TRUE(ini.put("Options", "toolbar", true));
    ASSERT_TRUE(ini.put("Options", "tip", false));
    ASSERT_TRUE(ini.put("Options", "width", -640));
    ASSERT_TRUE(ini.put("Options", "big", 2147483648L));
    EXPECT_EQ(ini.getl("Options", "toolbar", 7), 1);
    EXPECT_TRUE(ini.getbool("Options", "toolbar", false));
    EXPECT_FALSE(ini.getbool("Options", "tip", true));
    EXPECT_TRUE(ini.getbool("Options", "missing", true));
    EXPECT_EQ(ini.getl("Options", "width", 0), -640);
    EXPECT_EQ(ini.getl("Options", "big", 0), 2147483648L);
    EXPECT_EQ(ini.getl("Options", "missing", 42), 42);
}

TEST_F(KeyvaleTest, StringLiteralsAreStoredAsText)
{
    Keyvale ini(wxString::FromUTF8(path.c_str()));
    ASSERT_TRUE(ini.put("S", "narrow", "text"));
    ASSERT_TRUE(ini.put("S", "wide", L"w\u00FCde"));
    ASSERT_TRUE(ini.put("S", "utf8", "\xE2\x99\xAA"));
    EXPECT_EQ(ReadFile(path), "[S]\nnarrow=text\nwide=w\xC3\xBC" "de\nutf8=\xE2\x99\xAA\n");
}

TEST_F(KeyvaleTest, MissingAndEmptyValues)
{
    Keyvale ini(wxString::FromUTF8(path.c_str()));
    const wxString def = wxString::FromUTF8("d\xC3\xA9" "faut ");
    EXPECT_EQ(ini.gets("S", "k", def), def);   // no file yet
    ASSERT_TRUE(ini.put("S", "k", wxString()));
    EXPECT_EQ(ini.gets("S", "k", def), "");
    EXPECT_EQ(ini.gets("S", "other", def), def);
}

TEST_F(KeyvaleTest, OverlongValuesAreCutAtACharacterBoundary)
{
    Keyvale ini(wxString::FromUTF8(path.c_str()));
    // 255 two-byte characters: the reader takes the line in 511-byte pieces,
    // so the value's first piece ends inside the last character.
    std::string line = "k=";
    for (int i = 0; i < 255; i++)
        line += "\xC3\xA9";
    WriteFile(path, line + "\n");
    wxString value = ini.gets("", "k", "default");
    EXPECT_EQ(value.length(), 254u);
    EXPECT_EQ(value[253], wxUniChar(0xE9));

    // Bytes that are not UTF-8 at all are taken as Latin-1, not dropped.
    WriteFile(path, "k=caf\xE9\n");
    EXPECT_EQ(ini.gets("", "k", "default"), wxString(L"caf\u00E9"));
}

TEST_F(KeyvaleTest, UnwritableFileReportsFalse)
{
    Keyvale ini(wxString::FromUTF8((dir + "/missing/dir.ini").c_str()));
    EXPECT_FALSE(ini.put("S", "k", 1));
    EXPECT_FALSE(ini.put("S", "k", wxString("v")));
    EXPECT_EQ(ini.gets("S", "k", "d"), "d");
}

} // namespace
