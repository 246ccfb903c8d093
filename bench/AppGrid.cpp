#include "AppGrid.h"

#include <QApplication>
#include <QThread>
#include <stdexcept>
#include <string>
#include <utility>

#include "Measure.h"
#include "pages/Form2.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

// The first and last rows the viewport shows (first -1: none).
std::pair<int, int> RowsOnScreen(const ui::DataGrid& grid) {
  const int rows = grid.recordsetModel()->rowCount();
  const int first = grid.rowAt(0);
  const int last = grid.rowAt(grid.viewport()->height() - 1);
  return {first, last < 0 ? rows - 1 : last};
}

bool ScreenRead(const ui::DataGrid& grid) {
  const auto [first, last] = RowsOnScreen(grid);
  if (first < 0) return grid.recordsetModel()->rowCount() == 0;
  for (int row = first; row <= last; ++row) {
    // Only rows held are asked for their values: asking for others would
    // read them, which is painting's part. Rows of the page are the table's
    // from its base on.
    if (!grid.dataSource()->rowHeld(grid.recordsetModel()->pageBase() + static_cast<std::size_t>(row))) return false;
    if (grid.recordsetModel()->index(row, 0).data().toString().isEmpty()) return false;
  }
  return true;
}

}  // namespace

void BindTable(ui::DataGrid& grid, const Options& options) {
  auto connection = ado::CreateConnection();
  connection->setProvider("MSDASQL");
  connection->Open("Data Source=" + options.dataSource);
  connection->setCursorLocation(ado::adUseClient);
  auto recordset = std::make_shared<ado::Recordset>();
  recordset->setTable(options.table);
  recordset->Open(pages::TableQueryText(options.table, connection->IdentifierQuote()), connection, ado::adOpenDynamic,
                  ado::adLockOptimistic);
  grid.setDataSource(recordset);
  grid.setFocus();
}

void FillScreen(ui::DataGrid& grid) {
  ui::RecordsetModel* model = grid.recordsetModel();
  while (model->rowCount() < ScreenRows && model->canFetchMore({})) model->fetchMore({});
  if (model->rowCount() < ScreenRows) throw std::runtime_error("the grid has fewer than 50 rows");
}

void ShowGrid(ui::DataGrid& grid) {
  grid.resize(1000, 700);
  grid.show();
  QCoreApplication::processEvents();
}

void WaitForScreen(ui::DataGrid& grid) {
  const double deadline = Now() + MostWaitSeconds;
  while (!ScreenRead(grid)) {
    if (Now() > deadline) throw std::runtime_error("the rows on screen were not read within a minute");
    QThread::usleep(200);
    QCoreApplication::processEvents();
  }
}

void CheckScreenInOrder(const ui::DataGrid& grid) {
  // Rows that can only be read from the start (a view) come in the
  // database's order, which for a view without ORDER BY nothing keeps: on
  // PostgreSQL an updated row lands wherever its table has room.
  if (!grid.dataSource()->CanReadAnywhere()) return;
  const auto [first, last] = RowsOnScreen(grid);
  long long previous = 0;
  for (int row = first; row <= last; ++row) {
    const long long key = grid.recordsetModel()->index(row, 0).data().toLongLong();
    if (row > first && key <= previous)
      throw std::runtime_error("row " + std::to_string(row) + " shows key " + std::to_string(key) + " after " +
                               std::to_string(previous));
    previous = key;
  }
}

}  // namespace bench
