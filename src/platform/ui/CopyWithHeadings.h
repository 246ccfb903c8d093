#pragma once

namespace ui {

class DataGrid;

// Copies the selected cells as Copy does, tab-separated, under a line of
// the headings of their columns.
void CopyWithHeadings(DataGrid& grid);

}  // namespace ui
