#include "rows.h"

#include <cstring>

#include <wx/strconv.h>

#include "stamps.h"

Row ReadRow(const wxString& stampCell, const wxString& textCell)
{
    Row row{stampCell, textCell};
    row.stamp.Trim(true).Trim(false);
    row.text.Trim(true);
    return row;
}

bool IsEmptyRow(const Row& row)
{
    return row.stamp.empty() && row.text.empty();
}

// Text handed to the table: UTF-8 when it is valid UTF-8, otherwise the
// bytes of an old 8-bit writer, read as Windows-1252.
static wxString DecodeBytes(const char* p, size_t n)
{
    if (n == 0)
        return wxString();
    wxString s = wxString::FromUTF8(p, n);
    if (!s.empty())
        return s;
    static wxCSConv cp1252(wxFONTENCODING_CP1252);
    s = wxString(p, cp1252, n);
    if (!s.empty())
        return s;
    // Bytes even Windows-1252 leaves undefined: Latin-1, byte for byte.
    return wxString(p, wxConvISO8859_1, n);
}

Rows RowsFromText(const char* utf8)
{
    Rows rows;
    const char* p = utf8;
    while (true) {
        while (*p >= 1 && *p <= 32)
            ++p;
        if (*p == '\0')
            break;
        const char* eol = std::strchr(p, '\n');
        if (eol == nullptr)
            eol = p + std::strlen(p);
        Row row;
        if (*p == '[') {
            ++p;
            // Only within the line: a stamp never swallows a line end.
            const char* close = static_cast<const char*>(std::memchr(p, ']', static_cast<size_t>(eol - p)));
            if (close != nullptr) {
                row.stamp = DecodeBytes(p, static_cast<size_t>(close - p));
                p = close + 1;
            }
        }
        row.text = DecodeBytes(p, static_cast<size_t>(eol - p));
        rows.push_back(std::move(row));
        p = eol;
    }
    return rows;
}

void MoveBlanksForward(Rows& rows)
{
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        wxString& text = rows[i].text;
        wxString& next = rows[i + 1].text;
        if (text.empty() || text.Last() != ' ' || !next.StartsWith("_"))
            continue;
        text.Trim(true);
        next[0] = ' ';
    }
}

bool SameItems(const Rows& a, const Rows& b)
{
    size_t i = 0, j = 0;
    while (true) {
        while (i < a.size() && IsEmptyRow(ReadRow(a[i].stamp, a[i].text)))
            ++i;
        while (j < b.size() && IsEmptyRow(ReadRow(b[j].stamp, b[j].text)))
            ++j;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        Row x = ReadRow(a[i].stamp, a[i].text), y = ReadRow(b[j].stamp, b[j].text);
        if (x.stamp != y.stamp || x.text != y.text)
            return false;
        ++i, ++j;
    }
}

namespace {

// The join markers of the rows.h table: how a row whose text begins with
// the marker joins the lyrics, and whether the marker is part of the text.
// Any other first character begins a line and is text.
struct JoinMarker {
    wxUniChar marker;
    bool beginsLine;
    bool isText;
};
const JoinMarker kJoinMarkers[] = {
    {' ', false, true},  // a new word of the line
    {'-', false, true},  // the line goes on after a hyphen
    {'_', false, false}, // the word goes on without a blank
    {'#', true, false},  // a line that begins with " ", "-" or "_"
};

JoinMarker MarkerOf(wxUniChar first)
{
    for (const JoinMarker& m : kJoinMarkers)
        if (m.marker == first)
            return m;
    return {first, true, true};
}

} // namespace

JoinedText JoinRow(const wxString& text, JoinReading reading)
{
    JoinedText j{false, text};
    if (text.empty())
        return j;
    JoinMarker m = MarkerOf(text[0]);
    j.beginsLine = m.beginsLine;
    if (!m.isText)
        j.text.erase(0, 1);
    if (reading == JoinReading::Save) {
        if (!j.beginsLine && j.text.length() >= 2 && j.text[0] == ' ' && j.text[1] == ' ')
            j.text.erase(0, 1);
    } else if (m.marker == ' ') {
        size_t blanks = 0;
        while (blanks + 1 < j.text.length() && j.text[blanks + 1] == ' ')
            ++blanks;
        j.text.erase(0, blanks);
    }
    return j;
}

SaveText ComposeSaveText(const Rows& rows)
{
    SaveText out;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (IsEmptyRow(row))
            continue;
        JoinedText j = JoinRow(row.text, JoinReading::Save);
        wxString stamp = (j.beginsLine ? "[" : "<") + row.stamp + (j.beginsLine ? "]" : ">");
        if (row.stamp.empty()) {
            ++out.emptyStamps;
        } else if (!BracketedStampValid(stamp)) {
            out.ok = false;
            out.text.clear();
            out.badStamp = stamp;
            out.badRow = i;
            return out;
        }
        out.text += stamp.utf8_str().data();
        if (j.beginsLine)
            out.text += '\n';
        out.text += j.text.utf8_str().data();
    }
    return out;
}

RowsCheck VerifyRows(const Rows& rows)
{
    RowsCheck check;
    int64_t previous = -1;
    wxString line;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (IsEmptyRow(row))
            continue;
        int32_t ms = 0;
        if (row.text.empty())
            check.fault = RowFault::NoText, check.column = 1;
        else if (row.stamp.empty())
            check.fault = RowFault::NoStamp;
        else if (!StampTime(row.stamp, &ms))
            check.fault = RowFault::BadStamp;
        else if (ms <= previous)
            check.fault = RowFault::Unsorted;
        if (check.fault != RowFault::None) {
            check.row = i;
            check.faulty = row;
            break;
        }
        previous = ms;
        JoinedText j = JoinRow(row.text, JoinReading::Display);
        if (j.beginsLine && !line.empty()) {
            check.preview.push_back(line);
            line.clear();
        }
        line += j.text;
    }
    if (!line.empty())
        check.preview.push_back(line);
    return check;
}
