#pragma once

#include "Cases.h"
#include "platform/ui/DataGrid.h"

namespace bench {

// The longest the benchmark waits for rows to be read or counted.
inline constexpr double MostWaitSeconds = 60;

constexpr int ScreenRows = 50;

// What the table chooser's "Next >" does: an editing connection on the
// client side and the table's rows with optimistic locking, bound to the grid.
void BindTable(ui::DataGrid& grid, const Options& options);
// Asks for rows until a screen is there. Painting it is left out, as the
// baseline paints nothing either.
void FillScreen(ui::DataGrid& grid);
void ShowGrid(ui::DataGrid& grid);
// Processes events until every row on screen is read and shows its values,
// as painting asks for them; throws after a minute. Painting them is left
// out, as in FillScreen.
void WaitForScreen(ui::DataGrid& grid);
// Throws unless the keys of the rows on screen (the first column) rise,
// where the rows come in the table's order.
void CheckScreenInOrder(const ui::DataGrid& grid);

}  // namespace bench
