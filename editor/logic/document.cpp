#include "document.h"

#include <algorithm>
#include <utility>

#include "stamps.h"

namespace {

bool SameCells(const Row& a, const Row& b)
{
    return a.stamp == b.stamp && a.text == b.text;
}

long TimeOf(const Row& row)
{
    int32_t ms = 0;
    return StampTime(row.stamp.Strip(wxString::both), &ms) ? ms : kNoStampTime;
}

Rows WithEntryRow(Rows rows)
{
    rows.push_back(Row());
    return rows;
}

} // namespace

Document::Document()
{
    Reset(WithEntryRow(Rows()));
}

Change Document::Reset(const Rows& newRows)
{
    Change c = Splice(0, rows.size(), newRows);
    savedRows = rows;
    done.clear();
    undone.clear();
    return c;
}

Change Document::Open(const wxString& trackPath, const Rows& loaded, const std::string& loadedPayload)
{
    path = trackPath;
    loadedItems = loaded;
    payload = loadedPayload;
    return Reset(WithEntryRow(loaded));
}

Change Document::Close()
{
    path.clear();
    loadedItems.clear();
    payload.clear();
    return Reset(WithEntryRow(Rows()));
}

Rows Document::ReadRows() const
{
    Rows read;
    read.reserve(rows.size());
    for (const Row& r : rows)
        read.push_back(ReadRow(r.stamp, r.text));
    return read;
}

bool Document::Modified() const
{
    return rows.size() != savedRows.size() || !std::equal(rows.begin(), rows.end(), savedRows.begin(), SameCells);
}

// --- Edits --------------------------------------------------------------------

Change Document::Splice(size_t at, size_t count, const Rows& with)
{
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(at), rows.begin() + static_cast<std::ptrdiff_t>(at + count));
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), with.begin(), with.end());
    times.erase(times.begin() + static_cast<std::ptrdiff_t>(at),
                times.begin() + static_cast<std::ptrdiff_t>(at + count));
    std::vector<long> added;
    added.reserve(with.size());
    for (const Row& r : with)
        added.push_back(TimeOf(r));
    times.insert(times.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    Change c;
    c.at = at;
    c.removed = count;
    c.inserted = with.size();
    c.changed = true;
    return c;
}

Change Document::Edit(size_t at, size_t count, Rows with)
{
    // Only the rows that differ make the step: a step stays as small as the
    // edit, whatever the size of the table.
    size_t head = 0;
    while (head < count && head < with.size() && SameCells(rows[at + head], with[head]))
        ++head;
    size_t tail = 0;
    while (tail < count - head && tail < with.size() - head &&
           SameCells(rows[at + count - 1 - tail], with[with.size() - 1 - tail]))
        ++tail;
    if (head + tail == count && head + tail == with.size())
        return Change();

    Step step;
    step.at = at + head;
    step.before.assign(rows.begin() + static_cast<std::ptrdiff_t>(at + head),
                       rows.begin() + static_cast<std::ptrdiff_t>(at + count - tail));
    step.after.assign(with.begin() + static_cast<std::ptrdiff_t>(head),
                      with.end() - static_cast<std::ptrdiff_t>(tail));
    Change c = Splice(step.at, step.before.size(), step.after);
    done.push_back(std::move(step));
    if (done.size() > kHistorySteps)
        done.pop_front();
    undone.clear();
    return c;
}

Change Document::SetCell(size_t row, int col, const wxString& value)
{
    if (row >= rows.size())
        return Change();
    Row edited = rows[row];
    (col == 0 ? edited.stamp : edited.text) = value;
    if (SameCells(edited, rows[row]))
        return Change();
    Rows with{edited};
    if (row + 1 == rows.size())
        with.push_back(Row());
    return Edit(row, 1, with);
}

Change Document::Stamp(size_t row, long long hundredths, size_t* next)
{
    row = std::min(row, rows.size() - 1);
    Row stamped = rows[row];
    stamped.stamp = FormatStamp(hundredths);
    Rows with{stamped};
    if (row + 1 == rows.size())
        with.push_back(Row());
    *next = row + 1;
    return Edit(row, 1, with);
}

Change Document::InsertRow(size_t row)
{
    if (row >= rows.size())
        return Change();
    return Edit(row, 0, Rows(1));
}

Change Document::DeleteRow(size_t row)
{
    if (row + 1 >= rows.size())
        return Change();
    return Edit(row, 1, Rows());
}

Change Document::ClearStampsFrom(size_t row)
{
    if (row >= rows.size())
        return Change();
    Rows with(rows.begin() + static_cast<std::ptrdiff_t>(row), rows.end());
    for (Row& r : with)
        r.stamp.clear();
    return Edit(row, with.size(), with);
}

Change Document::ShiftStampsFrom(size_t row, int64_t offsetMs)
{
    if (row >= rows.size())
        return Change();
    Rows with(rows.begin() + static_cast<std::ptrdiff_t>(row), rows.end());
    for (Row& r : with)
        ShiftStamp(r.stamp, offsetMs, &r.stamp);
    return Edit(row, with.size(), with);
}

Change Document::Nudge(const std::vector<size_t>& rowList, int64_t deltaMs)
{
    size_t first = rows.size(), last = 0;
    for (size_t r : rowList) {
        if (r < rows.size()) {
            first = std::min(first, r);
            last = std::max(last, r);
        }
    }
    if (first == rows.size())
        return Change();
    Rows with(rows.begin() + static_cast<std::ptrdiff_t>(first), rows.begin() + static_cast<std::ptrdiff_t>(last + 1));
    for (size_t r : rowList)
        if (r < rows.size())
            ShiftStamp(rows[r].stamp, deltaMs, &with[r - first].stamp);
    return Edit(first, with.size(), with);
}

Change Document::Clear()
{
    return Edit(0, rows.size(), WithEntryRow(Rows()));
}

Change Document::Replace(const Rows& newRows)
{
    return Edit(0, rows.size(), WithEntryRow(newRows));
}

// --- History ------------------------------------------------------------------

Change Document::Undo()
{
    return Replay(done, undone, false);
}

Change Document::Redo()
{
    return Replay(undone, done, true);
}

Change Document::Replay(std::deque<Step>& from, std::deque<Step>& to, bool forward)
{
    if (from.empty())
        return Change();
    Step step = std::move(from.back());
    from.pop_back();
    const Rows& was = forward ? step.before : step.after;
    const Rows& becomes = forward ? step.after : step.before;
    Change c = Splice(step.at, was.size(), becomes);
    to.push_back(std::move(step));
    return c;
}

// --- Saving -------------------------------------------------------------------

const std::string* Document::KeptPayload() const
{
    if (payload.empty() || !SameItems(rows, loadedItems))
        return nullptr;
    return &payload;
}

void Document::Saved(const wxString& savedPath, bool payloadKept)
{
    path = savedPath;
    savedRows = rows;
    if (!payloadKept) {
        // The track now holds the frame made from the rows.
        loadedItems.clear();
        payload.clear();
    }
}
