#pragma once

class QKeySequence;
class QMenu;

namespace ui {

class DataGrid;

// The grid's ways of taking rows out to other programs: "Copy with
// headings" (Ctrl+Shift+C) and "Export..." (Ctrl+E).
void AddRowsOutEntries(QMenu& menu, DataGrid& grid);
// Does what the key asks for; false for any other key.
bool RunRowsOutKey(DataGrid& grid, const QKeySequence& pressed);

}  // namespace ui
