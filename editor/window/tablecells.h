// The only code that reads or writes the table's cells: rows in, rows
// out, and the background of a row's text cell.  Column 0 holds the stamp,
// column 1 the text; the last row is the empty entry row, which every
// operation here keeps.
#ifndef LYRASIL_TABLECELLS_H
#define LYRASIL_TABLECELLS_H

#include <wx/colour.h>
#include <wx/grid.h>

#include "rows.h"

// Every row of the table, the entry row included, as ReadRow reads it.
Rows ReadTableRows(wxGrid* grid);

// One row as ReadRow reads it.
Row ReadTableRow(wxGrid* grid, int row);

// Replaces the whole table by rows and an empty entry row, in one batch:
// the cost grows linearly with the rows and the table repaints once.
void FillTable(wxGrid* grid, const Rows& rows);

// Empties the table down to its entry row, in one batch.
void EmptyTable(wxGrid* grid);

// Writes a stamp into column 0 of row.
void SetRowStamp(wxGrid* grid, int row, const wxString& stamp);

// Sets the background of row's text cell (column 1).
void PaintRowText(wxGrid* grid, int row, const wxColour& colour);

// Repaints row's text cell only (a whole-table refresh on every timer tick
// would cost the playing track its smoothness).
void RefreshRowText(wxGrid* grid, int row);
// Empties column 0 from row to the last row, in one batch; the texts stay.
void ClearStampsFrom(wxGrid* grid, int row);

#endif
