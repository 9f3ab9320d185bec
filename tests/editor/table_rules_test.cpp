// The rules behind the table's commands, without a window: the
// verification with its messages and lyrics preview, the offset entry, a
// shifted stamp, and the preview dialog's size as the settings keep it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <wx/defs.h>

#include "notices.h"
#include "rows.h"
#include "stamps.h"
#include "startup.h"

namespace {

Rows MakeRows(const std::vector<std::pair<const char*, const char*>>& cells)
{
    Rows rows;
    for (const auto& c : cells)
        rows.push_back(ReadRow(wxString::FromUTF8(c.first), wxString::FromUTF8(c.second)));
    return rows;
}

const char kUnsorted[] = "The time-stamps are not in sorted order.\n";

TEST(VerifyRowsTest, FirstFaultyCellAndItsMessageOrThePreviewLines)
{
    const struct {
        const char* what;
        std::vector<std::pair<const char*, const char*>> rows;
        RowFault fault;
        size_t row;
        int column;
        const char* message; // for a fault
        std::vector<std::string> preview;
    } cases[] = {
        {"words join a line",
         {{"00:01.00", "Hello"}, {"00:01.50", " world"}, {"00:03.00", "Next"}, {"", ""}},
         RowFault::None, 0, 0, "", {"Hello world", "Next"}},
        {"markers",
         {{"00:01.00", "Hel"}, {"00:01.20", "_lo"}, {"00:02.00", "Sing"}, {"00:02.40", "-ing"},
          {"00:03.00", "#   Hi"}, {"00:04.00", "Go"}, {"00:04.50", "   on"}, {"", ""}},
         RowFault::None, 0, 0, "", {"Hello", "Sing-ing", "   Hi", "Go on"}},
        {"empty rows anywhere, blanks around a stamp, a first stamp at zero",
         {{"", ""}, {"00:00.00", "A"}, {" \t", "  "}, {" 00:02.00 ", "B"}, {"", ""}, {"", ""}},
         RowFault::None, 0, 0, "", {"A", "B"}},
        {"nothing at all", {{"", ""}}, RowFault::None, 0, 0, "", {}},
        {"equal stamps", {{"00:01.00", "A"}, {"00:01.00", "B"}, {"", ""}},
         RowFault::Unsorted, 1, 0, kUnsorted, {"A"}},
        {"falling stamps, the first fault only",
         {{"00:02.00", "A"}, {"00:01.00", "B"}, {"", "C"}}, RowFault::Unsorted, 1, 0, kUnsorted, {"A"}},
        {"stamp without text", {{"00:01.00", "A"}, {"00:05.00", "  "}},
         RowFault::NoText, 1, 1, "No text/lyrics for time-stamp [00:05.00].\n. Remove row or enter text.", {"A"}},
        {"text without stamp", {{"", "la la"}, {"00:01.00", ""}},
         RowFault::NoStamp, 0, 0,
         "No time-stamp for the row with lyrics \"la la\"\n. Remove row or enter a time-stamp.", {}},
        {"malformed stamp", {{"5", "x"}},
         RowFault::BadStamp, 0, 0,
         "The time-stamp [5] is invalid.\nPlease use the format mm:ss.dd where \"mm\" is the number of minutes, "
         "\"ss\" the number of seconds and \"dd\" the hundreths of a second.",
         {}},
        {"seconds beyond 59 without a fraction", {{"00:01.00", "A"}, {"00:61", " b"}},
         RowFault::BadStamp, 1, 0,
         "The time-stamp [00:61] is invalid.\nPlease use the format mm:ss.dd where \"mm\" is the number of minutes, "
         "\"ss\" the number of seconds and \"dd\" the hundreths of a second.",
         {"A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RowsCheck check = VerifyRows(MakeRows(c.rows));
        EXPECT_EQ(c.fault, check.fault);
        std::vector<std::string> preview;
        for (const wxString& line : check.preview)
            preview.push_back(line.utf8_string());
        if (c.fault == RowFault::None) {
            EXPECT_EQ(c.preview, preview);
            continue;
        }
        EXPECT_EQ(c.preview, preview) << "the lines before the fault";
        EXPECT_EQ(c.row, check.row);
        EXPECT_EQ(c.column, check.column);
        Notice n = VerificationNotice(check);
        EXPECT_EQ("Error", n.caption.utf8_string());
        EXPECT_EQ(c.message, n.text.utf8_string());
        EXPECT_EQ(wxOK | wxICON_ERROR, n.style);
    }
}

const int64_t kTop = ID3_MAXTIME;

TEST(ParseOffsetEntryTest, SecondsOrAStampSignedByALeadingMinus)
{
    const struct {
        const char* entry;
        OffsetEntry kind;
        int64_t ms;
    } cases[] = {
        {"1.5", OffsetEntry::Valid, 1500},
        {"-0.25", OffsetEntry::Valid, -250},
        {"0.0015", OffsetEntry::Valid, 1},
        {"-0.0015", OffsetEntry::Valid, -1},
        {"1.001", OffsetEntry::Valid, 1001}, // exact: no binary fraction loses the last millisecond
        {"-1:30", OffsetEntry::Valid, -90000},
        {"01:30.50", OffsetEntry::Valid, 90500},
        {"0", OffsetEntry::Valid, 0},
        {"  - 2 ", OffsetEntry::Valid, -2000},
        {"+3", OffsetEntry::Valid, 3000},
        {".5", OffsetEntry::Valid, 500},
        {"5.", OffsetEntry::Valid, 5000},
        {"2e-3", OffsetEntry::Valid, 2},
        {"1E3", OffsetEntry::Valid, 1000000},
        {"1e-400", OffsetEntry::Valid, 0},
        {"0000000000000000000012", OffsetEntry::Valid, 12000},
        {"2147483.646", OffsetEntry::Valid, kTop},
        {"2147483.6469", OffsetEntry::Valid, kTop},
        {"-2147483.646", OffsetEntry::Valid, -kTop},
        {"", OffsetEntry::Empty, 0},
        {" \t ", OffsetEntry::Empty, 0},
        {"abc", OffsetEntry::Invalid, 0},
        {"-", OffsetEntry::Invalid, 0},
        {"1,5", OffsetEntry::Invalid, 0}, // the decimal point is a point, in every locale
        {"2147483.647", OffsetEntry::Invalid, 0},
        {"1e300", OffsetEntry::Invalid, 0},
        {"1e999999999999", OffsetEntry::Invalid, 0},
        {"inf", OffsetEntry::Invalid, 0},
        {"-infinity", OffsetEntry::Invalid, 0},
        {"nan", OffsetEntry::Invalid, 0},
        {"--5", OffsetEntry::Invalid, 0},
        {"0x10", OffsetEntry::Invalid, 0},
        {"1e", OffsetEntry::Invalid, 0},
        {".", OffsetEntry::Invalid, 0},
        {"1 .5", OffsetEntry::Invalid, 0},
        {"00:61", OffsetEntry::Invalid, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        int64_t ms = 777;
        EXPECT_EQ(c.kind, ParseOffsetEntry(c.entry, &ms));
        EXPECT_EQ(c.kind == OffsetEntry::Valid ? c.ms : 777, ms);
    }
}

TEST(ParseOffsetEntryTest, APointIsTheDecimalPointUnderADecimalCommaLocale)
{
    std::string old = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
    // The locale is in force: the C library now reads a comma.
    EXPECT_EQ(1.5, std::strtod("1,5", nullptr));
    EXPECT_FALSE(wxString("1.5").ToDouble(nullptr));
    int64_t ms = 0;
    EXPECT_EQ(OffsetEntry::Valid, ParseOffsetEntry("1.5", &ms));
    EXPECT_EQ(1500, ms);
    EXPECT_EQ(OffsetEntry::Valid, ParseOffsetEntry("-0.25", &ms));
    EXPECT_EQ(-250, ms);
    EXPECT_EQ(OffsetEntry::Invalid, ParseOffsetEntry("1,5", &ms));
    wxString shifted;
    EXPECT_TRUE(ShiftStamp("00:01.00", 1500, &shifted));
    EXPECT_EQ("00:02.50", shifted.utf8_string());
    std::setlocale(LC_ALL, old.c_str());
}

TEST(ShiftStampTest, ClampedRoundedAndWrittenAsMinutesSecondsHundredths)
{
    const int64_t kHuge = std::numeric_limits<int64_t>::max();
    const struct {
        const char* cell;
        int64_t offset;
        const char* shifted; // null: no valid stamp, left alone
    } cases[] = {
        {"00:01.00", 1500, "00:02.50"},
        {"00:01.00", -250, "00:00.75"},
        {"00:01.005", 1, "00:01.01"},
        {"02:00.00", -90000, "00:30.00"},
        {"1:5", 0, "01:05.00"},
        {"00:75.00", 0, "01:15.00"},
        {" 00:01.00 ", 0, "00:01.00"},
        {"00:01.00", -2000, "00:00.00"},
        {"00:59.99", 10, "01:00.00"},
        {"00:01.00", 4, "00:01.00"},
        {"00:01.00", 5, "00:01.01"},
        {"99:59.99", 10, "100:00.00"},
        // Kept within the largest time a stamp can hold, in 64 bits.
        {"35791:23.646", 0, "35791:23.64"}, // rounding up would pass the top
        {"35791:23.646", 1000, "35791:23.64"},
        {"00:00.00", kTop, "35791:23.64"},
        {"00:00.00", kHuge, "35791:23.64"},
        {"35791:23.646", -kHuge - 1, "00:00.00"},
        {"35791:23.647", 0, nullptr}, // the time of an item without a time
        {"", 1000, nullptr},
        {"abc", 1000, nullptr},
        {"00:61", 1000, nullptr},
        {"5", 1000, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cell) + " + " + std::to_string(c.offset));
        wxString shifted = "untouched";
        EXPECT_EQ(c.shifted != nullptr, ShiftStamp(c.cell, c.offset, &shifted));
        EXPECT_EQ(c.shifted ? c.shifted : "untouched", shifted.utf8_string());
        if (c.shifted) {
            EXPECT_TRUE(StampTime(shifted, nullptr)) << "a shifted stamp is a valid stamp";
        }
    }
}

TEST(ClampWindowSizeTest, SizesTheSettingsFileCanRestore)
{
    const struct {
        int width, height, clampedWidth, clampedHeight;
    } cases[] = {
        {320, 240, 320, 240}, {0, -5, 1, 1}, {40000, 500, 32767, 500}, {1, 32767, 1, 32767},
    };
    for (const auto& c : cases) {
        int w = c.width, h = c.height;
        ClampWindowSize(w, h);
        EXPECT_EQ(c.clampedWidth, w);
        EXPECT_EQ(c.clampedHeight, h);
        int readW = -1, readH = -1;
        ParseSizeText(FormatSizeText(w, h), readW, readH);
        EXPECT_EQ(w, readW);
        EXPECT_EQ(h, readH);
    }
}

} // namespace
