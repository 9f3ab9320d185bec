// Table editing and verification: the entry row, the context menu, clearing
// and shifting time-stamps, and the verification with its lyrics preview.
#include "lyrasilframecode.h"

#include <wx/arrstr.h>
#include <wx/choicdlg.h>
#include <wx/menu.h>
#include <wx/textdlg.h>

#include "notices.h"
#include "rows.h"
#include "stamps.h"
#include "startup.h"
#include "tablecells.h"

void LyrasilFrameCode::OnCellChange(wxGridEvent& event)
{
    if (!VerifyTrackOpened())
        return;
    int row = event.GetRow();
    if (row + 1 >= grid->GetNumberRows() && !insertingRow) {
        insertingRow = true;
        grid->InsertRows(row + 1, 1);
        grid->Refresh();
        insertingRow = false;
    }
    modified = true;
    event.Skip();
}

void LyrasilFrameCode::OnClearTable(wxCommandEvent&)
{
    RestoreTableView();
    StopPlayback();
    if (ShowNotice(ClearTableQuestion()) != wxYES)
        return;
    CommitCellEditor();
    ClearTable();
    modified = true;
}

void LyrasilFrameCode::OnVerifyTable(wxCommandEvent&)
{
    CommitCellEditor();
    RestoreTableView();
    RowsCheck check = VerifyRows(ReadTableRows(grid));
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
    Connect(ID_GRID_INSERT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrameCode::OnGridInsert));
    Connect(ID_GRID_DELETE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrameCode::OnGridDelete));
    Connect(ID_GRID_DELTIMESTAMPS, wxEVT_COMMAND_MENU_SELECTED,
            wxCommandEventHandler(LyrasilFrameCode::OnGridDelTimestamps));
    Connect(ID_GRID_OFFSETTIMESTAMPS, wxEVT_COMMAND_MENU_SELECTED,
            wxCommandEventHandler(LyrasilFrameCode::OnGridOffsetTimestamps));
}

void LyrasilFrameCode::DisconnectTableMenu()
{
    Disconnect(ID_GRID_INSERT, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrameCode::OnGridInsert));
    Disconnect(ID_GRID_DELETE, wxEVT_COMMAND_MENU_SELECTED, wxCommandEventHandler(LyrasilFrameCode::OnGridDelete));
    Disconnect(ID_GRID_DELTIMESTAMPS, wxEVT_COMMAND_MENU_SELECTED,
               wxCommandEventHandler(LyrasilFrameCode::OnGridDelTimestamps));
    Disconnect(ID_GRID_OFFSETTIMESTAMPS, wxEVT_COMMAND_MENU_SELECTED,
               wxCommandEventHandler(LyrasilFrameCode::OnGridOffsetTimestamps));
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
    if (!VerifyTrackOpened())
        return;
    if (contextRow < 0 || contextRow >= grid->GetNumberRows())
        return;
    grid->InsertRows(contextRow, 1);
    grid->Refresh();
    modified = true;
}

void LyrasilFrameCode::OnGridDelete(wxCommandEvent&)
{
    if (!VerifyTrackOpened())
        return;
    if (contextRow >= 0 && contextRow < grid->GetNumberRows() - 1) {
        grid->DeleteRows(contextRow, 1);
        modified = true;
    }
    grid->Refresh();
}

void LyrasilFrameCode::OnGridDelTimestamps(wxCommandEvent&)
{
    if (!VerifyTrackOpened())
        return;
    if (contextRow < 0 || contextRow >= grid->GetNumberRows())
        return;
    ClearStampsFrom(grid, contextRow);
    grid->Refresh();
    modified = true;
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
    grid->BeginBatch();
    for (int i = contextRow; i < grid->GetNumberRows(); ++i) {
        wxString shifted;
        if (ShiftStamp(ReadTableRow(grid, i).stamp, offset, &shifted))
            SetRowStamp(grid, i, shifted);
    }
    grid->EndBatch();
    grid->Refresh();
    modified = true;
}
