// Table editing and verification: the entry row, the context menu, clearing
// and shifting time-stamps, and the verification with its lyrics preview.
#include "lyrasilframecode.h"

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

void LyrasilFrameCode::OnClearTable(wxCommandEvent&) {}
void LyrasilFrameCode::OnVerifyTable(wxCommandEvent&) {}

void LyrasilFrameCode::OnCellRightClick(wxGridEvent& event)
{
    event.Skip();
}

void LyrasilFrameCode::OnGridInsert(wxCommandEvent&) {}
void LyrasilFrameCode::OnGridDelete(wxCommandEvent&) {}
void LyrasilFrameCode::OnGridDelTimestamps(wxCommandEvent&) {}
void LyrasilFrameCode::OnGridOffsetTimestamps(wxCommandEvent&) {}
