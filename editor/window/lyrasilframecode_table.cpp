// Table editing and verification: typed cells, the context menu, clearing
// and shifting time-stamps, undo and redo, nudging stamps, and the
// verification with its lyrics preview.  Every edit goes to the document,
// which keeps the entry row and the history; ShowEdit shows the result.
#include "lyrasilframecode.h"

#include <algorithm>

#include <wx/arrstr.h>
#include <wx/choicdlg.h>
#include <wx/menu.h>
#include <wx/textdlg.h>

#include "notices.h"
#include "rows.h"
#include "stamps.h"
#include "startup.h"
#include "tablecells.h"

namespace {

// The nudges of the Edit menu's keys, in milliseconds.
struct NudgeKey {
    int id;
    int64_t ms;
};
const NudgeKey kNudges[] = {
    {ID_STAMPEARLIER, -100},
    {ID_STAMPLATER, 100},
    {ID_STAMPEARLIER_FINE, -10},
    {ID_STAMPLATER_FINE, 10},
};

} // namespace

void LyrasilFrameCode::OnCellChange(wxGridEvent& event)
{
    const int row = event.GetRow();
    const wxString typed = TypedValue(grid, row, event.GetCol());
    // The table shows the document again, then the document's change: the
    // typed value stays only when the document took it.
    ShowRow(grid, doc, row);
    if (!VerifyTrackOpened())
        return;
    ShowEdit(doc.SetCell(static_cast<size_t>(row), event.GetCol(), typed));
    event.Skip();
}

void LyrasilFrameCode::OnClearTable(wxCommandEvent&)
{
    RestoreTableView();
    Apply(transport.Stop(Now()));
    if (ShowNotice(ClearTableQuestion()) != wxYES)
        return;
    CommitCellEditor();
    ShowEdit(doc.Clear());
}

void LyrasilFrameCode::ShowHistoryStep(const Change& change)
{
    ShowEdit(change);
    if (!change.changed)
        return;
    int row = static_cast<int>(std::min(change.at, doc.RowCount() - 1));
    grid->SetGridCursor(row, grid->GetGridCursorCol() < 0 ? 0 : grid->GetGridCursorCol());
    grid->MakeCellVisible(row, 0);
}

void LyrasilFrameCode::OnUndo(wxCommandEvent&)
{
    CommitCellEditor();
    ShowHistoryStep(doc.Undo());
}

void LyrasilFrameCode::OnRedo(wxCommandEvent&)
{
    CommitCellEditor();
    ShowHistoryStep(doc.Redo());
}

void LyrasilFrameCode::OnNudge(wxCommandEvent& event)
{
    CommitCellEditor();
    if (!VerifyTrackOpened())
        return;
    for (const NudgeKey& key : kNudges)
        if (key.id == event.GetId())
            ShowEdit(doc.Nudge(SelectedRows(grid), key.ms));
}

void LyrasilFrameCode::OnVerifyTable(wxCommandEvent&)
{
    CommitCellEditor();
    RestoreTableView();
    RowsCheck check = VerifyRows(doc.ReadRows());
    if (check.fault != RowFault::None) {
        int row = static_cast<int>(check.row);
        grid->SetGridCursor(row, check.column);
        grid->MakeCellVisible(row, 0);
        ShowNotice(VerificationNotice(check));
        return;
    }
    wxArrayString lines;
    for (const wxString& line : check.preview)
        lines.Add(line);
    Notice text = PreviewDialogText();
    wxSingleChoiceDialog preview(this, text.text, text.caption, lines, static_cast<void**>(nullptr),
                                 wxCHOICEDLG_STYLE);
    preview.SetSize(options.previewWidth, options.previewHeight);
    preview.ShowModal();
    // Only what the settings file can give back is kept.
    int width = preview.GetSize().GetWidth(), height = preview.GetSize().GetHeight();
    ClampWindowSize(width, height);
    options.previewWidth = width;
    options.previewHeight = height;
}

void LyrasilFrameCode::ConnectTableMenu()
{
    // Connect() adds an entry on every call.  The handlers consume their
    // commands, so a duplicate would not fire twice, but the frame's table
    // of handlers would grow with every click: the old entries go first.
    DisconnectTableMenu();
    BindTableMenu(true);
}

void LyrasilFrameCode::DisconnectTableMenu()
{
    BindTableMenu(false);
}

void LyrasilFrameCode::BindTableMenu(bool connect)
{
    const struct {
        int id;
        wxObjectEventFunction handler;
    } commands[] = {
        {ID_GRID_INSERT, wxCommandEventHandler(LyrasilFrameCode::OnGridInsert)},
        {ID_GRID_DELETE, wxCommandEventHandler(LyrasilFrameCode::OnGridDelete)},
        {ID_GRID_DELTIMESTAMPS, wxCommandEventHandler(LyrasilFrameCode::OnGridDelTimestamps)},
        {ID_GRID_OFFSETTIMESTAMPS, wxCommandEventHandler(LyrasilFrameCode::OnGridOffsetTimestamps)},
    };
    for (const auto& c : commands) {
        if (connect)
            Connect(c.id, wxEVT_COMMAND_MENU_SELECTED, c.handler);
        else
            Disconnect(c.id, wxEVT_COMMAND_MENU_SELECTED, c.handler);
    }
}

void LyrasilFrameCode::OnCellRightClick(wxGridEvent& event)
{
    wxMenu menu;
    menu.Append(ID_GRID_INSERT, "Insert row (above this row)", "Insert a row above this row");
    menu.Append(ID_GRID_DELETE, "Delete row", "Delete this row");
    menu.AppendSeparator();
    menu.Append(ID_GRID_DELTIMESTAMPS, "Clear time-stamps to end of table",
                "Delete all time-stamps starting with this row");
    menu.Append(ID_GRID_OFFSETTIMESTAMPS, "Add an offset to next time-stamps",
                "Add an offset to all time-stamps starting with this row");
    ConnectTableMenu();
    contextRow = event.GetRow();
    if (contextRow >= grid->GetNumberRows() - 1)
        menu.Enable(ID_GRID_DELETE, false); // the entry row stays
    PopupMenu(&menu);
}

// The context-menu commands act on contextRow; a row that is no longer in
// the table (a command without a click before it) changes nothing.
void LyrasilFrameCode::OnGridInsert(wxCommandEvent&)
{
    if (VerifyTrackOpened() && contextRow >= 0)
        ShowEdit(doc.InsertRow(static_cast<size_t>(contextRow)));
}

void LyrasilFrameCode::OnGridDelete(wxCommandEvent&)
{
    if (VerifyTrackOpened() && contextRow >= 0)
        ShowEdit(doc.DeleteRow(static_cast<size_t>(contextRow)));
}

void LyrasilFrameCode::OnGridDelTimestamps(wxCommandEvent&)
{
    if (VerifyTrackOpened() && contextRow >= 0)
        ShowEdit(doc.ClearStampsFrom(static_cast<size_t>(contextRow)));
}

void LyrasilFrameCode::OnGridOffsetTimestamps(wxCommandEvent&)
{
    if (!VerifyTrackOpened())
        return;
    if (contextRow < 0 || contextRow >= grid->GetNumberRows())
        return;
    Notice prompt = OffsetPrompt();
    wxTextEntryDialog entry(this, prompt.text, prompt.caption, wxEmptyString, prompt.style);
    if (entry.ShowModal() != wxID_OK)
        return;
    int64_t offset = 0;
    switch (ParseOffsetEntry(entry.GetValue(), &offset)) {
    case OffsetEntry::Empty:
        return;
    case OffsetEntry::Invalid:
        ShowNotice(InvalidOffsetNotice());
        return;
    case OffsetEntry::Valid:
        break;
    }
    ShowEdit(doc.ShiftStampsFrom(static_cast<size_t>(contextRow), offset));
}
