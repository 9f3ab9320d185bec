// The rules of playback that need no window: which row to highlight next
// at a time t, the highlight's countdown and fading colours, the lyrics
// view's text with the span each row occupies in it, and where to scroll
// it.  The timer hands in the time as a plain number, so the tests drive
// many ticks without playing anything.
//
// Units: times in milliseconds, countdowns in timer ticks of 100 ms (the
// highlight duration's tenths of a second are ticks).
#ifndef LYRASIL_SYNC_H
#define LYRASIL_SYNC_H

#include <utility>
#include <vector>

#include <wx/string.h>

#include "rows.h"
#include "sylt.h"

struct Rgb {
    unsigned char red, green, blue;
    bool operator==(const Rgb& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

// The highlight, and the fading of its last three ticks to white.
const Rgb kHighlightColour = {192, 192, 255};
const Rgb kClearColour = {255, 255, 255};
// The colour for a countdown that has just reached ticksLeft (3, 2, 1, 0);
// false above 3, where the highlight keeps its full colour.
bool FadeColour(int ticksLeft, Rgb* colour);

// The rows' stamp times as the document holds them (Document::Times()):
// milliseconds, or a negative value for a row without a valid stamp.  The
// table changes while it plays (the space bar writes stamps), so each call
// takes them as they stand.
using RowTimes = std::vector<long>;

// Where the highlighting stands: the next row to highlight and its time,
// and the row highlighted now with the ticks it has left.
struct MatchState {
    long nextStampTime = ID3_NOTIME;
    int nextStampRow = -1;
    int highlightRow = -1;
    int highlightCountdown = 0;
};

// Looks for the next row to highlight: the first row after nextStampRow
// whose stamp is valid and not before ms (rows out of order and rows
// before ms are passed over).  Without one, nextStampTime becomes
// ID3_NOTIME and nextStampRow stays.
void FindNextStamp(MatchState& s, const RowTimes& times, long ms);

// The start of a run from ms: nothing highlighted, the search from the
// first row; nextStampRow is at least 0 afterwards.
void StartMatch(MatchState& s, const RowTimes& times, long ms);

// After an edit during playback: the next row to highlight is looked for
// afresh among all rows, from after ms on, so that a moved stamp is
// highlighted at its new time; the highlight shown now stays.
void FollowEdit(MatchState& s, const RowTimes& times, long ms);

// Where Playback > "Play from current row" starts: kReplayLeadMs before
// the time of row, or of the nearest row above it with a valid stamp when
// row has none (the cursor waits on the next row to stamp); 0 at the
// least, and 0 when no row up to row has a time.
const long kReplayLeadMs = 2000;
long ReplayStart(const RowTimes& times, int row);

// What one timer tick asks the window to do, in this order.
struct TickActions {
    int fadeRow = -1;            // paint this row's text with fadeColour
    Rgb fadeColour{};
    int cursorRow = -1;          // table mode: the highlight ended; move the cursor here
    int clearRow = -1;           // paint this row white: a new highlight replaces it
    int matchRow = -1;           // highlight this row: its time has come
};

// One tick at time now: the highlight counts down and fades, and at most
// one row is matched (the search then goes on from now, so a second row
// within the same tick is skipped).  With a highlight duration of 0 or
// less the countdown never runs and a highlight lasts until the next.
TickActions MatchTick(MatchState& s, long now, int highlightTicks, bool tableMode, const RowTimes& times);

// The lyrics view: its whole text, and for every row the span [start,
// end) of its text in it, whole positions, (0, 0) for a row that adds no
// text.  A row starts a new line by the display reading of the join
// markers; a line break goes before such a row unless it is row 0.
struct LyricsLayout {
    wxString text;
    std::vector<std::pair<long, long>> spans;
};
LyricsLayout BuildLyricsLayout(const Rows& rows);

// The position to show so that the line holding position p has up to two
// lines above it: the start of that line less two (or of the first line).
long ScrollTarget(const wxString& text, long p);

#endif
