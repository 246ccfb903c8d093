#include <QApplication>
#include <QListWidget>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "Random.h"
#include "StallWatch.h"
#include "db/DataSource.h"
#include "db/Sybase.h"
#include "pages/Form2.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {

Metrics AppFirstScreen(const Options& options) {
  ui::DataGrid grid;
  ShowGrid(grid);
  Span span;
  BindTable(grid, options);
  FillScreen(grid);
  return {{"seconds", span.seconds()}};
}

Metrics AppTableList(const Options& options) {
  db::SetDataSourceNameReader([&] { return options.dataSource; });
  // Set up as the table chooser's list is.
  QListWidget list;
  list.setSelectionMode(QAbstractItemView::SingleSelection);
  list.setSortingEnabled(false);
  list.setUniformItemSizes(true);
  list.setLayoutMode(QListView::Batched);
  list.resize(377, 94);
  // On the page the window's texts were drawn before the list fills, so the
  // fonts are loaded; an item drawn here does the same (the fill clears it).
  list.addItem("the previous list");
  list.show();
  QCoreApplication::processEvents();
  StallWatch stalls;
  Span span;
  db::AddTablesToSybaseListbox(list);
  const double seconds = span.seconds();
  const double stallMs = stalls.longestMs();
  if (options.expectedTables && list.count() != options.expectedTables)
    throw std::runtime_error("listed " + std::to_string(list.count()) + " tables");
  return {{"seconds", seconds}, {"stall_ms", stallMs}};
}

Metrics AppEdits(const Options& options, bool allRowsLoaded) {
  ui::DataGrid grid;
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  ui::RecordsetModel* model = grid.recordsetModel();
  QObject::connect(model, &ui::RecordsetModel::writeFailed,
                   [](const QString& message) { std::fprintf(stderr, "write failed: %s\n", qPrintable(message)); });
  // All loaded: the table's last row known, as after Ctrl+End.
  if (allRowsLoaded) model->fetchAll();
  const int customer = 1;
  Random random(11);
  std::vector<double> times;
  for (int edit = 0; edit < options.edits; ++edit) {
    // With the table open the user scrolls on between edits, as far as the
    // plain program has read; all loaded, the user goes anywhere. The row
    // is brought on screen and read before the edit.
    const int reach = allRowsLoaded ? model->rowCount()
                                    : std::min(model->rowCount(), (edit + 1) * ui::RecordsetModel::FetchBlockRows);
    const int row = static_cast<int>(random.Between(0, reach - 1));
    grid.scrollTo(model->index(row, customer));
    WaitForScreen(grid);
    const QString value = QString("app %1 %2").arg(getpid()).arg(edit);
    const QModelIndex index = model->index(row, customer);
    const double start = Now();
    const bool written = model->setData(index, value, Qt::EditRole);
    times.push_back(Now() - start);
    if (!written || index.data().toString() != value)
      throw std::runtime_error("edit " + std::to_string(edit) + " of row " + std::to_string(row) + " was not stored: " +
                               index.data().toString().toStdString());
  }
  Metrics metrics = Distribution("edit", times);
  metrics.emplace_back("rows_loaded", static_cast<double>(model->rowCount()));
  return metrics;
}

}  // namespace bench
