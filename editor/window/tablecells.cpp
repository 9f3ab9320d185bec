#include "tablecells.h"

#include <set>

void ShowChange(wxGrid* grid, const Document& doc, const Change& change)
{
    if (!change.changed)
        return;
    const int at = static_cast<int>(change.at);
    const int removed = static_cast<int>(change.removed);
    const int inserted = static_cast<int>(change.inserted);
    grid->BeginBatch();
    if (inserted > removed)
        grid->InsertRows(at + removed, inserted - removed);
    else if (removed > inserted)
        grid->DeleteRows(at + inserted, removed - inserted);
    for (int i = at; i < at + inserted; ++i)
        ShowRow(grid, doc, i);
    grid->EndBatch();
}

void ShowRow(wxGrid* grid, const Document& doc, int row)
{
    const Row& cells = doc.Cells(static_cast<size_t>(row));
    grid->SetCellValue(row, 0, cells.stamp);
    grid->SetCellValue(row, 1, cells.text);
}

wxString TypedValue(wxGrid* grid, int row, int col)
{
    return grid->GetCellValue(row, col);
}

std::vector<size_t> SelectedRows(wxGrid* grid)
{
    std::set<size_t> rows;
    for (const wxGridBlockCoords& block : grid->GetSelectedBlocks())
        for (int r = block.GetTopRow(); r <= block.GetBottomRow(); ++r)
            if (r >= 0)
                rows.insert(static_cast<size_t>(r));
    if (rows.empty() && grid->GetGridCursorRow() >= 0)
        rows.insert(static_cast<size_t>(grid->GetGridCursorRow()));
    return std::vector<size_t>(rows.begin(), rows.end());
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
