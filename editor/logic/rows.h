// The table form of a SYLT frame, without the table: one Row per sync
// item, the time-stamp text without brackets (empty: no time) and the text
// with its leading join marker.  The entry row the window keeps at the end
// of its table is not part of a Rows list.
//
// Join markers, decided by a text's first character:
//   nothing (empty)  no text; continues the line
//   " "              continues the line as a new word (the blank is text)
//   "-"              continues the line (the hyphen is text)
//   "_"              continues the word without a blank (not text)
//   "#"              begins a line (not text; lets a line begin with " ",
//                    "-" or "_")
//   anything else    begins a line
// The rules are written once here, with the two readings that differ in
// details: the save (what goes into the SYLT frame) and the display (the
// verification preview and the lyrics view).
#ifndef LYRASIL_ROWS_H
#define LYRASIL_ROWS_H

#include <string>
#include <vector>

#include <wx/string.h>

struct Row {
    wxString stamp;
    wxString text;
};

using Rows = std::vector<Row>;

// A row as every reader of the table takes it: the stamp without white
// space at both ends, the text without trailing white space (its leading
// blanks mean something).
Row ReadRow(const wxString& stampCell, const wxString& textCell);

// A row that is no item: both parts empty once read.
bool IsEmptyRow(const Row& row);

// The rows of row-form text (the core's lrc_fromsylt without word stamps,
// or lrc_read with word stamps), one per line: blanks and control bytes
// before a line are skipped; "[stamp]" at its start gives the stamp (a "["
// without "]" on its line gives no stamp and the text after the "["); the
// rest of the line, markers and leading blanks included, is the text.  A
// line that is not valid UTF-8 is decoded as Windows-1252, so no text is
// ever lost.
Rows RowsFromText(const char* utf8);

// Other writers (the LRC files' own convention among them) end a word with
// its blank ("Hello ", "world") where the table begins the next word with
// it ("Hello", " world"): such a trailing blank moves to the row that
// continues the word, so that the rows read as the same lyrics and a save
// keeps the blank.
void MoveBlanksForward(Rows& rows);

// Whether two tables hold the same items: their rows compared as ReadRow
// reads them, empty rows left out.
bool SameItems(const Rows& a, const Rows& b);

enum class JoinReading {
    Save,     // the save: "_" dropped, then a double leading blank loses one
    Display,  // preview and lyrics view: a run of leading blanks shows as one
};

struct JoinedText {
    bool beginsLine;
    wxString text;   // the text without its marker, as the reading shows it
};

// How a (read) row's text joins the lyrics.
JoinedText JoinRow(const wxString& text, JoinReading reading);

// The inline-form LRC text that a save stores for the rows, in UTF-8:
// "[stamp]\ntext" for a row that begins a line, "<stamp>text" for one that
// continues it, empty rows skipped.  An empty stamp is stored as "[]" or
// "<>" and counted; the first stamp that is not valid ends the composition.
struct SaveText {
    bool ok = true;
    std::string text;          // the composed text when ok
    int emptyStamps = 0;       // rows with an empty stamp
    wxString badStamp;         // when not ok: the bracketed stamp, e.g. "[00:61]"
    size_t badRow = 0;         // and its index in the rows
};
SaveText ComposeSaveText(const Rows& rows);

// --- Verification ---

// The checks of a table before it is trusted, row by row, the first
// failure ending them.  Rows that are empty once read (the entry row, rows
// left empty) are skipped wherever they stand.  Within a row: a stamp
// without text, a text without stamp (unlike a save, the verification
// refuses an untimed item), a stamp lrc_timestamp refuses, a time not
// above the previous row's (times must rise strictly).
enum class RowFault { None, NoText, NoStamp, BadStamp, Unsorted };

struct RowsCheck {
    RowFault fault = RowFault::None;
    size_t row = 0;     // the faulty row's index in the rows
    int column = 0;     // its faulty cell: 0 the stamp, 1 the text
    Row faulty;         // that row, as read
    // The lyrics as they will read, one entry per line (JoinRow's display
    // reading), for the rows checked; complete when fault is None.
    std::vector<wxString> preview;
};

// rows as ReadRow reads them (ReadTableRows gives them so).
RowsCheck VerifyRows(const Rows& rows);

#endif
