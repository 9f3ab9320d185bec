// The only code that reads or writes the table's cells.  The table shows
// the document (logic/document.h) row for row: column 0 the stamp, column
// 1 the text; its last row is the document's entry row.  Besides, the
// background of a row's text cell, for the highlight.
#ifndef LYRASIL_TABLECELLS_H
#define LYRASIL_TABLECELLS_H

#include <cstddef>
#include <vector>

#include <wx/colour.h>
#include <wx/grid.h>

#include "document.h"

// Shows the rows a change of the document touched, in one batch: the
// table gains or loses rows where the document did, and the changed rows'
// cells are written.  Costs grow with the change, not with the table.
void ShowChange(wxGrid* grid, const Document& doc, const Change& change);

// Writes row's cells as the document holds them (a typed value that did
// not reach the document is taken back).
void ShowRow(wxGrid* grid, const Document& doc, int row);

// What the user typed into a cell.
wxString TypedValue(wxGrid* grid, int row, int col);

// The rows of the selected cells, in order; without a selection the
// cursor's row.
std::vector<size_t> SelectedRows(wxGrid* grid);

// Sets the background of row's text cell (column 1).
void PaintRowText(wxGrid* grid, int row, const wxColour& colour);

// Repaints row's text cell only (a whole-table refresh on every timer tick
// would cost the playing track its smoothness).
void RefreshRowText(wxGrid* grid, int row);

#endif
