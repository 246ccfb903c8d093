#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "Random.h"
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

Metrics AppScrollToEnd(const Options& options) {
  ui::DataGrid grid;
  ShowGrid(grid);
  Span span;
  BindTable(grid, options);
  FillScreen(grid);
  grid.setCurrentIndex(grid.model()->index(0, 0));
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  QCoreApplication::processEvents();
  const double seconds = span.seconds();
  const double peak = span.peakGrowthMiB();
  ui::RecordsetModel* model = grid.recordsetModel();
  if (model->canFetchMore({})) throw std::runtime_error("Ctrl+End left rows unread");
  if (grid.currentIndex().row() != model->rowCount() - 1) throw std::runtime_error("Ctrl+End did not reach the end");
  return {{"seconds", seconds}, {"peak_mib", peak}, {"rows", static_cast<double>(model->rowCount())}};
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
  Span span;
  db::AddTablesToSybaseListbox(list);
  const double seconds = span.seconds();
  if (options.expectedTables && list.count() != options.expectedTables)
    throw std::runtime_error("listed " + std::to_string(list.count()) + " tables");
  return {{"seconds", seconds}};
}

Metrics AppEdits(const Options& options, bool allRowsLoaded) {
  ui::DataGrid grid;
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  ui::RecordsetModel* model = grid.recordsetModel();
  QObject::connect(model, &ui::RecordsetModel::writeFailed,
                   [](const QString& message) { std::fprintf(stderr, "write failed: %s\n", qPrintable(message)); });
  if (allRowsLoaded) model->fetchAll();
  const int customer = 1;
  Random random(11);
  std::vector<double> times;
  for (int edit = 0; edit < options.edits; ++edit) {
    // With the cursor still open the user keeps scrolling between edits, so
    // every edit meets a read in progress.
    if (!allRowsLoaded && model->canFetchMore({})) model->fetchMore({});
    const int row = static_cast<int>(random.Between(0, model->rowCount() - 1));
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
