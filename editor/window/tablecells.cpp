#include "tablecells.h"

Row ReadTableRow(wxGrid* grid, int row)
{
    return ReadRow(grid->GetCellValue(row, 0), grid->GetCellValue(row, 1));
}

Rows ReadTableRows(wxGrid* grid)
{
    Rows rows;
    int n = grid->GetNumberRows();
    rows.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        rows.push_back(ReadTableRow(grid, i));
    return rows;
}

void EmptyTable(wxGrid* grid)
{
    grid->BeginBatch();
    grid->ClearGrid();
    if (grid->GetNumberRows() > 1)
        grid->DeleteRows(0, grid->GetNumberRows() - 1);
    grid->SetCellBackgroundColour(0, 1, grid->GetDefaultCellBackgroundColour());
    grid->EndBatch();
}

void FillTable(wxGrid* grid, const Rows& rows)
{
    grid->BeginBatch();
    EmptyTable(grid);
    if (!rows.empty()) {
        grid->InsertRows(0, static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            grid->SetCellValue(static_cast<int>(i), 0, rows[i].stamp);
            grid->SetCellValue(static_cast<int>(i), 1, rows[i].text);
        }
    }
    grid->EndBatch();
}

void SetRowStamp(wxGrid* grid, int row, const wxString& stamp)
{
    grid->SetCellValue(row, 0, stamp);
}

void PaintRowText(wxGrid* grid, int row, const wxColour& colour)
{
    grid->SetCellBackgroundColour(row, 1, colour);
}

void RefreshRowText(wxGrid* grid, int row)
{
    wxRect rect = grid->CellToRect(row, 1);
    grid->CalcScrolledPosition(rect.x, rect.y, &rect.x, &rect.y);
    grid->GetGridWindow()->RefreshRect(rect);
}

void ClearStampsFrom(wxGrid* grid, int row)
{
    grid->BeginBatch();
    for (int i = row; i < grid->GetNumberRows(); ++i)
        grid->SetCellValue(i, 0, wxEmptyString);
    grid->EndBatch();
}
