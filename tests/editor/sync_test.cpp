// The rules of playback without playing: which row is highlighted at each
// tick, how the highlight fades, the lyrics view's text and spans, and
// where the view scrolls.
#include <gtest/gtest.h>

#include <map>

#include "stamps.h"
#include "sync.h"

// gtest prints the colours of a failed comparison.
void PrintTo(const Rgb& c, std::ostream* os)
{
    *os << "(" << int(c.red) << ", " << int(c.green) << ", " << int(c.blue) << ")";
}

namespace {

// A table's stamp column, and ticks of 100 ms driven through it.
struct Ticks {
    std::vector<wxString> stamps;
    MatchState s;
    int highlight;
    bool tableMode = true;

    RowTimes Times() const
    {
        RowTimes times;
        for (const wxString& stamp : stamps) {
            int32_t ms = 0;
            times.push_back(StampTime(stamp, &ms) ? ms : -1);
        }
        return times;
    }
    void Start(long ms) { StartMatch(s, Times(), ms); }
    TickActions Tick(long now) { return MatchTick(s, now, highlight, tableMode, Times()); }
};

TEST(MatchTickTest, RowsAreHighlightedOnceTheirTimeHasCome)
{
    Ticks t{{"00:00.00", "00:00.50", "00:01.02", "00:01.05", "", "junk", "00:02.00", ""}, {}, 8};
    t.Start(0);
    std::map<long, int> matched;
    for (long now = 0; now <= 3000; now += 100) {
        TickActions a = t.Tick(now);
        if (a.matchRow >= 0)
            matched[now] = a.matchRow;
    }
    // Row 3 shares row 2's tick and is skipped; empty and invalid stamps
    // are passed over.
    EXPECT_EQ((std::map<long, int>{{0, 0}, {500, 1}, {1100, 2}, {2000, 6}}), matched);
}

TEST(MatchTickTest, RowsBeforeTheStartAreNeverHighlighted)
{
    Ticks t{{"00:00.20", "00:00.90", "00:01.50", "00:00.80"}, {}, 8};
    t.Start(1000);
    EXPECT_EQ(2, t.s.nextStampRow);
    std::vector<int> rows;
    for (long now = 1000; now <= 3000; now += 100)
        if (t.Tick(now).matchRow >= 0)
            rows.push_back(t.s.highlightRow);
    EXPECT_EQ(std::vector<int>{2}, rows) << "row 3 is out of order, before the time, and skipped";

    Ticks none{{"", "abc"}, {}, 8};
    none.Start(0);
    EXPECT_EQ(0, none.s.nextStampRow);
    EXPECT_EQ(ID3_NOTIME, none.s.nextStampTime);
    EXPECT_LT(none.Tick(10000).matchRow, 0);
}

TEST(MatchTickTest, TheHighlightFadesOverItsLastThreeTicksAndTheCursorFollows)
{
    Ticks t{{"00:00.00", "00:05.00"}, {}, 8};
    t.Start(0);
    EXPECT_EQ(0, t.Tick(0).matchRow);
    std::vector<std::pair<int, Rgb>> fades;
    int cursor = -1;
    for (long now = 100; now <= 1000; now += 100) {
        TickActions a = t.Tick(now);
        if (a.fadeRow >= 0)
            fades.emplace_back(static_cast<int>(now / 100), a.fadeColour);
        if (a.cursorRow >= 0)
            cursor = a.cursorRow;
    }
    // Full colour for ticks 1 to 4, then 208, 224, 240 and white.
    std::vector<std::pair<int, Rgb>> want = {
        {5, {208, 208, 255}}, {6, {224, 224, 255}}, {7, {240, 240, 255}}, {8, {255, 255, 255}}};
    EXPECT_EQ(want, fades);
    EXPECT_EQ(1, cursor);
    EXPECT_EQ(-1, t.s.highlightRow);

    // In the lyrics view the cursor stays where it is.
    Ticks v{{"00:00.00"}, {}, 2, false};
    v.Start(0);
    v.Tick(0);
    v.Tick(100);
    TickActions last = v.Tick(200);
    EXPECT_EQ(0, last.fadeRow);
    EXPECT_EQ(-1, last.cursorRow);
}

TEST(MatchTickTest, WithoutDurationAHighlightLastsUntilTheNextRow)
{
    for (int highlight : {0, -3}) {
        Ticks t{{"00:00.00", "00:02.00"}, {}, highlight};
        t.Start(0);
        t.Tick(0);
        for (long now = 100; now < 2000; now += 100) {
            TickActions a = t.Tick(now);
            EXPECT_LT(a.fadeRow, 0);
            EXPECT_EQ(0, t.s.highlightRow);
        }
        TickActions next = t.Tick(2000);
        EXPECT_EQ(0, next.clearRow);
        EXPECT_EQ(1, next.matchRow);
    }
}

TEST(LyricsLayoutTest, MarkersJoinRowsIntoLinesWithEachRowsSpan)
{
    Rows rows = {{"", "Hello"}, {"", " world"}, {"", "Sing"}, {"", "-ing"}, {"", "Hel"}, {"", "_lo"},
                 {"", "#   Hi"},  {"", "Go"},     {"", "   on"}, {"", ""},     {"", "#-dash"}, {"", ""}};
    LyricsLayout l = BuildLyricsLayout(rows);
    EXPECT_EQ(wxString("Hello world\nSing-ing\nHello\n   Hi\nGo on\n-dash"), l.text);
    ASSERT_EQ(rows.size(), l.spans.size());
    auto text = [&](size_t i) { return l.text.Mid(l.spans[i].first, l.spans[i].second - l.spans[i].first); };
    EXPECT_EQ(std::make_pair(0L, 5L), l.spans[0]) << "row 0 gets no line break before it";
    EXPECT_EQ(wxString(" world"), text(1));
    EXPECT_EQ(wxString("-ing"), text(3));
    EXPECT_EQ(wxString("lo"), text(5));
    EXPECT_EQ(wxString("   Hi"), text(6));
    EXPECT_EQ(wxString(" on"), text(8));
    EXPECT_EQ(std::make_pair(0L, 0L), l.spans[9]) << "a row without text adds nothing";
    EXPECT_EQ(wxString("-dash"), text(10));

    // A first row without text: the next line still gets its break.
    LyricsLayout later = BuildLyricsLayout({{"", ""}, {"", "One"}});
    EXPECT_EQ(wxString("\nOne"), later.text);
    EXPECT_EQ(std::make_pair(1L, 4L), later.spans[1]);
}

TEST(LyricsLayoutTest, SpansKeepWholePositionsBeyondSixteenBits)
{
    Rows rows;
    for (int i = 0; i < 10000; ++i)
        rows.push_back({"", "Line number ten"});
    LyricsLayout l = BuildLyricsLayout(rows);
    EXPECT_EQ(static_cast<long>(l.text.length()), l.spans.back().second);
    EXPECT_GT(l.spans.back().first, 65535L);
    EXPECT_EQ(wxString("Line number ten"), l.text.Mid(l.spans.back().first, 15));
}

TEST(ScrollTargetTest, ShowsTwoLinesAboveTheCurrentOne)
{
    const wxString text = "one\ntwo\nthree\nfour\nfive";
    EXPECT_EQ(0, ScrollTarget(text, 0));
    EXPECT_EQ(0, ScrollTarget(text, 5));   // line 1
    EXPECT_EQ(0, ScrollTarget(text, 9));   // line 2
    EXPECT_EQ(4, ScrollTarget(text, 15));  // line 3: from line 1
    EXPECT_EQ(8, ScrollTarget(text, 21));  // line 4: from line 2
}

TEST(MatchTickTest, AnEditDuringPlaybackIsHighlightedAtItsNewTime)
{
    Ticks t{{"00:01.00", "00:03.00", "00:05.00"}, {}, 8};
    t.Start(0);
    t.Tick(1000);
    EXPECT_EQ(1, t.s.nextStampRow);
    // Row 1 moved later than row 2; row 0 moved into the future again.
    t.stamps = {"00:02.00", "00:06.00", "00:05.00"};
    FollowEdit(t.s, t.Times(), 1500);
    EXPECT_EQ(0, t.s.nextStampRow);
    EXPECT_EQ(2000, t.s.nextStampTime);
    EXPECT_EQ(0, t.s.highlightRow) << "the highlight shown stays";
}

TEST(ReplayStartTest, TwoSecondsBeforeTheRowOrTheNearestStampedRowAbove)
{
    const RowTimes times = {1000, 5000, -1, -1, 9000};
    const struct {
        int row;
        long start;
    } cases[] = {{0, 0}, {1, 3000}, {2, 3000}, {3, 3000}, {4, 7000}, {9, 7000}, {-1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c.start, ReplayStart(times, c.row)) << "row " << c.row;
    EXPECT_EQ(0, ReplayStart({-1, -1}, 1));
}

TEST(StampTextTest, TheCurrentTimeIsTruncatedToHundredths)
{
    EXPECT_EQ(wxString("01:23.45"), FormatStamp(83456 / 10));
    EXPECT_EQ(wxString("100:00.00"), FormatStamp(600000));
}

} // namespace
