// The table form without a table: rows from row-form text, the join
// markers, the text a save stores, and time-stamp texts.
#include <gtest/gtest.h>

#include "rows.h"
#include "stamps.h"

namespace {

TEST(RowsFromTextTest, OneRowPerLineWithStampAndMarkersKept)
{
    struct {
        const char* text;
        std::vector<std::pair<std::string, std::string>> rows;
    } cases[] = {
        {"\n[00:01.00]Hello\n[00:01.50] world\n[00:03.00]Next",
         {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"00:03.00", "Next"}}},
        {"[00:01.00]Hel\n[00:01.20]_lo\n[00:02.00]# Hi\n[00:03.00]", {{"00:01.00", "Hel"}, {"00:01.20", "_lo"},
                                                                      {"00:02.00", "# Hi"}, {"00:03.00", ""}}},
        {"  \r\n\t[]Untimed\nNo stamp at all\n", {{"", "Untimed"}, {"", "No stamp at all"}}},
        {"[00:01.00 never closed\n[00:02.00]next", {{"", "00:01.00 never closed"}, {"00:02.00", "next"}}},
        {"[1:5]x\r\n", {{"1:5", "x\r"}}}, // a CR stays: readers drop trailing white space
        {"[00:01.00]Gr\xC3\xBC\xC3\x9F" "e\n[00:02.00]caf\xE9 \x80" "5\n",
         {{"00:01.00", "Grüße"}, {"00:02.00", "café €5"}}}, // an 8-bit line reads as Windows-1252
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Rows rows = RowsFromText(c.text);
        ASSERT_EQ(c.rows.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(c.rows[i].first, rows[i].stamp.utf8_string());
            EXPECT_EQ(c.rows[i].second, rows[i].text.utf8_string());
        }
    }
}

TEST(ReadRowTest, StampTrimmedTextKeepsItsLeadingBlanks)
{
    Row r = ReadRow("  00:01.00 \t", "  two blanks \r");
    EXPECT_EQ("00:01.00", r.stamp.utf8_string());
    EXPECT_EQ("  two blanks", r.text.utf8_string());
    EXPECT_TRUE(IsEmptyRow(ReadRow(" ", "\t ")));
    EXPECT_FALSE(IsEmptyRow(ReadRow("", "x")));
}

TEST(JoinRowTest, MarkersReadTheSameForSaveAndDisplayExceptInBlanks)
{
    struct {
        const char* text;
        bool beginsLine;
        const char* save;
        const char* display;
    } cases[] = {
        {"Hello", true, "Hello", "Hello"},
        {" world", false, " world", " world"},
        {"  on", false, " on", " on"},
        {"   on", false, "  on", " on"},
        {"-ing", false, "-ing", "-ing"},
        {"_lo", false, "lo", "lo"},
        {"_  lo", false, " lo", "  lo"},
        {"# Hi", true, " Hi", " Hi"},
        {"#   Hi", true, "   Hi", "   Hi"},
        {"#Hi", true, "Hi", "Hi"},
        {"", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        JoinedText save = JoinRow(c.text, JoinReading::Save);
        EXPECT_EQ(c.beginsLine, save.beginsLine);
        EXPECT_EQ(c.save, save.text.utf8_string());
        if (*c.text == '\0')
            continue; // the display readings skip rows without text
        JoinedText display = JoinRow(c.text, JoinReading::Display);
        EXPECT_EQ(c.beginsLine, display.beginsLine);
        EXPECT_EQ(c.display, display.text.utf8_string());
    }
}

TEST(MoveBlanksForwardTest, AWordsTrailingBlankBeginsTheNextWord)
{
    Rows rows = {{"1", "Morning "}, {"2", "_light  "}, {"3", "_shine"}, {"4", "end "}, {"5", "Next"}, {"6", "x "},
                 {"7", " y"}};
    MoveBlanksForward(rows);
    const char* want[] = {"Morning", " light", " shine", "end ", "Next", "x ", " y"};
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(want[i], rows[i].text.utf8_string()) << i;
}

TEST(SameItemsTest, ComparesRowsAsReadWithoutEmptyOnes)
{
    Rows a = {{"00:01.00", "Hello"}, {"", ""}, {" 00:02.00", " world  "}};
    Rows b = {{"00:01.00", "Hello "}, {"00:02.00", " world"}, {"", ""}};
    EXPECT_TRUE(SameItems(a, b));
    b[1].text = "world";
    EXPECT_FALSE(SameItems(a, b));
    EXPECT_FALSE(SameItems(a, Rows()));
    EXPECT_TRUE(SameItems(Rows{{"", " "}}, Rows()));
}

TEST(ComposeSaveTextTest, RowsBecomeInlineLrcText)
{
    auto rows = [](std::initializer_list<std::pair<const char*, const char*>> list) {
        Rows out;
        for (const auto& r : list)
            out.push_back(ReadRow(wxString::FromUTF8(r.first), wxString::FromUTF8(r.second)));
        return out;
    };
    SaveText t = ComposeSaveText(rows({{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"", ""}, {"00:03.00", "Next"}}));
    EXPECT_TRUE(t.ok);
    EXPECT_EQ("[00:01.00]\nHello<00:01.50> world[00:03.00]\nNext", t.text);
    EXPECT_EQ(0, t.emptyStamps);

    t = ComposeSaveText(rows({{"", "Hello"}, {"", "_x"}, {"1:05", "Grüße"}}));
    EXPECT_TRUE(t.ok);
    EXPECT_EQ("[]\nHello<>x[1:05]\nGr\xC3\xBC\xC3\x9F" "e", t.text);
    EXPECT_EQ(2, t.emptyStamps);

    t = ComposeSaveText(rows({{"00:01.00", "Hi"}, {"00:61", " there"}, {"00:99", "Later"}}));
    EXPECT_FALSE(t.ok);
    EXPECT_EQ("<00:61>", t.badStamp.utf8_string());
    EXPECT_EQ(1u, t.badRow);
    EXPECT_TRUE(t.text.empty());

    t = ComposeSaveText(Rows());
    EXPECT_TRUE(t.ok);
    EXPECT_TRUE(t.text.empty());
}

TEST(StampTest, FormatsHundredthsAndReadsCellsThroughTheCore)
{
    EXPECT_EQ("01:23.45", FormatStamp(8345).utf8_string());
    EXPECT_EQ("100:00.00", FormatStamp(600000).utf8_string());
    EXPECT_EQ("00:00.00", FormatStamp(0).utf8_string());
    EXPECT_EQ("00:00.00", FormatStamp(-5).utf8_string());
    EXPECT_EQ("357913:56.47", FormatStamp(2147483647LL).utf8_string());

    int32_t ms = -1;
    EXPECT_TRUE(StampTime("1:05", &ms));
    EXPECT_EQ(65000, ms);
    EXPECT_TRUE(StampTime("00:75.00", &ms));
    EXPECT_EQ(75000, ms);
    EXPECT_FALSE(StampTime("00:61", &ms));
    EXPECT_FALSE(StampTime("", &ms));
    EXPECT_FALSE(StampTime("abc", nullptr));
    EXPECT_EQ(75000, ms);
}

} // namespace
