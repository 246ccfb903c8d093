#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Options {
  std::string dataSource;  // the orders table's data source
  std::string table = "orders";
  std::string key = "id";  // the table's primary key, its rows' order
  int edits = 200;
  int expectedTables = 0;  // for the table list: how many names must come out
};

// Named figures of one measurement: seconds, MiB or counts.
using Metrics = std::vector<std::pair<std::string, double>>;

// The plain-ODBC baseline.
Metrics RawFirstScreen(const Options& options);
// The last screen of rows: the table read backwards in its key's order.
Metrics RawLastRows(const Options& options);
// A screen of rows from the middle of the table's order, where the key
// tells the place: the rows from the key there on, by the key's index.
Metrics RawMiddleRows(const Options& options);
// Every row read, from the connection on.
Metrics RawReadThrough(const Options& options);
Metrics RawTableList(const Options& options);
// With `readOpen`, a read of the table goes on between the edits and the
// edits go to rows it has read, as in the program with its cursor open.
Metrics RawEdits(const Options& options, bool readOpen);

// 1,000 rows pasted over (4 columns) and deleted, as one; single rows added.
Metrics RawPaste(const Options& options);
Metrics RawDeleteRows(const Options& options);
Metrics RawAddRow(const Options& options);
Metrics AppPaste(const Options& options);
Metrics AppDeleteRows(const Options& options);
Metrics AppAddRow(const Options& options);

// The program's own recordset, grid model and grid.
Metrics AppFirstScreen(const Options& options);
// The table chooser's "Next >" until the editor has painted the rows of its
// first screen: how long, the grid's paints before, and how much the grid
// grew after it (the count's arrival included).
Metrics AppOpenFromChooser(const Options& options);
Metrics AppReadThrough(const Options& options);
// From the first screen: Ctrl+End, the scroll bar set to its middle, and
// the scroll bar stepped through its range.
Metrics AppCtrlEnd(const Options& options);
Metrics AppMiddle(const Options& options);
Metrics AppSweep(const Options& options);
// Ctrl+End on a view of the orders, stopped by Esc after half a second:
// the longest stall, and how long the read took to end after Esc.
Metrics AppCancelledEnd(const Options& options);
Metrics AppTableList(const Options& options);
Metrics AppEdits(const Options& options, bool allRowsLoaded);

// A screen of the rows that hold a text (one order in a thousand), and of
// the rows sorted by an unindexed column; the program's from its table
// already open.
Metrics RawFind(const Options& options);
Metrics RawSort(const Options& options, const std::string& order);
Metrics AppFind(const Options& options);
Metrics AppSort(const Options& options);
// The same by the primary key, descending.
Metrics AppSortKeyDescending(const Options& options);

// F2 on a cell of a 5 MB text (the table "long_text", made anew) until the
// larger editor holds all of it; with `pressEnd`, End in that editor.
Metrics AppLongTextEdit(const Options& options, bool pressEnd);
// The table list of a SQLite file another connection holds locked, until
// it reports the lock.
Metrics AppLockedTableList(const Options& options);
// The whole table written to a CSV file: by the grid's "Export..." (every
// row shown), and by a plain read of the same rows written the same way.
// Rows per second; the file must hold a line per row and the headings.
Metrics RawExport(const Options& options);
Metrics AppExport(const Options& options);

// QSqlQueryModel over Qt's ODBC driver.
Metrics QtFirstScreen(const Options& options);

// Median and 95th percentile of a list of seconds.
Metrics Distribution(const std::string& prefix, std::vector<double> seconds);

}  // namespace bench
