// The open track's document, without a window: the table's rows as their
// cells hold them, each with the time its stamp gives, the track's path,
// what was last loaded or saved, and the undo history.  The window's table
// only shows the rows; every edit enters here.
//
// Invariants:
//  - There is always at least one row.  The last row is the entry row the
//    user types a new row into: an edit or a stamp in the last row appends
//    an empty row after it, so there is always one to type into.
//  - Times() holds, per row, the milliseconds of its stamp (white space at
//    both ends ignored, read by lrc_timestamp), or kNoStampTime when the
//    stamp is empty or not valid.
//  - Modified() is derived, never stored: the rows differ from those last
//    loaded or saved, cell for cell.
//  - Every change of the rows is one step of the history, undone and redone
//    whole; an edit that changes nothing is no step.  A save keeps the
//    history; opening and closing a track clear it.  The oldest steps go
//    beyond kHistorySteps.
#ifndef LYRASIL_DOCUMENT_H
#define LYRASIL_DOCUMENT_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <wx/string.h>

#include "rows.h"

const long kNoStampTime = -1;
const size_t kHistorySteps = 1000;

// Which rows an edit, an undo or a redo changed: the rows [at, at +
// removed) of the table before it are the rows [at, at + inserted) after
// it; the rows around them are as they were.
struct Change {
    size_t at = 0;
    size_t removed = 0;
    size_t inserted = 0;
    bool changed = false;   // false: the rows are as they were
};

class Document {
public:
    Document();

    // --- Life cycle (no history step; the history is cleared) ---

    // The track at path with its loaded rows (the entry row is added) and
    // the SYLT payload they came from ("" when there is none).
    Change Open(const wxString& path, const Rows& rows, const std::string& payload);
    // No track: only the entry row.
    Change Close();

    const wxString& Path() const { return path; }
    bool HasTrack() const { return !path.empty(); }

    // --- Reading ---

    size_t RowCount() const { return rows.size(); }
    // Row i's cells as they stand.
    const Row& Cells(size_t i) const { return rows[i]; }
    const std::vector<long>& Times() const { return times; }
    // Every row as ReadRow reads it, the entry row included.
    Rows ReadRows() const;
    bool Modified() const;

    // --- Edits, one history step each ---

    // Cell col (0: stamp, 1: text) of row becomes value.
    Change SetCell(size_t row, int col, const wxString& value);
    // The space bar: row's stamp becomes hundredths as "mm:ss.dd"; the
    // cursor goes on to the row after it, which *next receives.
    Change Stamp(size_t row, long long hundredths, size_t* next);
    // An empty row above row (row may be the entry row).
    Change InsertRow(size_t row);
    // Deletes row; the entry row stays.
    Change DeleteRow(size_t row);
    // Empties the stamps from row to the last row; the texts stay.
    Change ClearStampsFrom(size_t row);
    // Moves every valid stamp from row on by offsetMs (ShiftStamp).
    Change ShiftStampsFrom(size_t row, int64_t offsetMs);
    // Moves the valid stamps of the rows named by deltaMs (ShiftStamp: never
    // below 00:00.00); empty and invalid stamps stay, as do rows outside
    // the table.
    Change Nudge(const std::vector<size_t>& rowList, int64_t deltaMs);
    // Only the entry row remains.
    Change Clear();
    // The rows replace the table (an LRC import); the entry row is added.
    Change Replace(const Rows& newRows);

    // --- History ---

    bool CanUndo() const { return done.size() > 0; }
    bool CanRedo() const { return undone.size() > 0; }
    Change Undo();
    Change Redo();

    // --- Saving ---

    // The payload loaded with the track while the rows still hold the same
    // items (SameItems): saving it unchanged keeps whatever its writer put
    // in it that the table does not show.  Null otherwise.
    const std::string* KeptPayload() const;
    // A save succeeded, at path, from the rows as they stand; payloadKept
    // tells whether it stored KeptPayload().
    void Saved(const wxString& savedPath, bool payloadKept);

private:
    // One step: at `at`, the rows `before` became the rows `after`.
    struct Step {
        size_t at;
        Rows before, after;
    };

    // Replaces rows [at, at + count) by with, as one step.
    Change Edit(size_t at, size_t count, Rows with);
    // Replaces the rows without touching the history.
    Change Splice(size_t at, size_t count, const Rows& with);
    // Takes the last step of `from` back (forward: does it again) and
    // moves it to `to`.
    Change Replay(std::deque<Step>& from, std::deque<Step>& to, bool forward);
    // Resets the rows, the saved rows and the history.
    Change Reset(const Rows& newRows);

    wxString path;
    Rows rows;
    std::vector<long> times;
    Rows savedRows;            // as last loaded or saved
    Rows loadedItems;          // the rows the payload gave
    std::string payload;
    std::deque<Step> done;     // the last step at the back
    std::deque<Step> undone;   // the next step to redo at the back
};

#endif
