#include "sync.h"

#include <algorithm>



bool FadeColour(int ticksLeft, Rgb* colour)
{
    static const Rgb steps[4] = {kClearColour, {240, 240, 255}, {224, 224, 255}, {208, 208, 255}};
    if (ticksLeft < 0 || ticksLeft > 3)
        return false;
    *colour = steps[ticksLeft];
    return true;
}

void FindNextStamp(MatchState& s, const RowTimes& times, long ms)
{
    s.nextStampTime = ID3_NOTIME;
    for (size_t i = static_cast<size_t>(s.nextStampRow + 1); i < times.size(); ++i) {
        if (times[i] >= 0 && times[i] >= ms) {
            s.nextStampTime = times[i];
            s.nextStampRow = static_cast<int>(i);
            return;
        }
    }
}

void StartMatch(MatchState& s, const RowTimes& times, long ms)
{
    s.nextStampRow = -1;
    s.highlightRow = -1;
    s.highlightCountdown = 0;
    FindNextStamp(s, times, ms);
    if (s.nextStampRow < 0)
        s.nextStampRow = 0;
}

void FollowEdit(MatchState& s, const RowTimes& times, long ms)
{
    s.nextStampRow = -1;
    FindNextStamp(s, times, ms + 1);
    if (s.nextStampRow < 0)
        s.nextStampRow = 0;
}

long ReplayStart(const RowTimes& times, int row)
{
    for (long i = std::min<long>(row, static_cast<long>(times.size()) - 1); i >= 0; --i) {
        long t = times[static_cast<size_t>(i)];
        if (t >= 0)
            return t > kReplayLeadMs ? t - kReplayLeadMs : 0;
    }
    return 0;
}

TickActions MatchTick(MatchState& s, long now, int highlightTicks, bool tableMode, const RowTimes& times)
{
    TickActions a;
    if (s.highlightCountdown > 0) {
        --s.highlightCountdown;
        if (s.highlightRow >= 0 && FadeColour(s.highlightCountdown, &a.fadeColour)) {
            a.fadeRow = s.highlightRow;
            if (s.highlightCountdown == 0) {
                if (tableMode)
                    a.cursorRow = s.highlightRow + 1;
                s.highlightRow = -1;
            }
        }
    }
    if (now >= s.nextStampTime) {
        if (s.highlightRow >= 0)
            a.clearRow = s.highlightRow;
        s.highlightRow = s.nextStampRow;
        s.highlightCountdown = highlightTicks > 0 ? highlightTicks : 0;
        a.matchRow = s.highlightRow;
        FindNextStamp(s, times, now);
    }
    return a;
}

LyricsLayout BuildLyricsLayout(const Rows& rows)
{
    LyricsLayout layout;
    layout.spans.assign(rows.size(), std::make_pair(0L, 0L));
    long length = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].text.empty())
            continue;
        JoinedText j = JoinRow(rows[i].text, JoinReading::Display);
        if (j.beginsLine && i != 0) {
            layout.text += '\n';
            ++length;
        }
        long start = length;
        layout.text += j.text;
        length += static_cast<long>(j.text.length());
        layout.spans[i] = std::make_pair(start, length);
    }
    return layout;
}

long ScrollTarget(const wxString& text, long p)
{
    // The starts of the line holding p and of the two lines before it.
    long starts[3] = {0, 0, 0};
    long n = 0;
    long limit = p < static_cast<long>(text.length()) ? p : static_cast<long>(text.length());
    for (long i = 0; i < limit; ++i) {
        if (text[static_cast<size_t>(i)] == '\n') {
            starts[0] = starts[1];
            starts[1] = starts[2];
            starts[2] = i + 1;
            ++n;
        }
    }
    return n >= 2 ? starts[0] : 0;
}
