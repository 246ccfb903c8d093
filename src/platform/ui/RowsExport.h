#pragma once

#include <QString>

#include "DelimitedRows.h"

namespace ui {

class DataGrid;

struct RowsExportRequest {
  QString path;
  DelimitedFormat format = DelimitedFormat::Csv;
  // The selected cells (their rows and columns) instead of every row shown.
  bool selectionOnly = false;
};

// Writes the rows the grid shows (every row of the table under its find,
// filters and sort, not only those read) or its selected cells to a file,
// with a line of headings first. The rows are read a block at a time and
// let go again, so that a table of any size takes no more memory than a
// look at it; values held cut are read whole. A progress dialog shows how
// far it got and cancels. The file appears only complete: cancelled or
// failed, nothing is written and a file of that name stays as it was.
// False when nothing was written; a failure is announced through the grid's
// writeFailed.
bool ExportRows(DataGrid& grid, const RowsExportRequest& request);

}  // namespace ui
