// The rows the grid looks at while places come and go around them: the row
// numbers as wide as the table's size needs from the first paint, the same
// rows on screen when places come or go above them, and the count of the
// rows after the first paint.
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>

#include "DataGrid.h"
#include "RecordsetModel.h"
#include "RowNumberHeader.h"

namespace ui {

void DataGrid::widenRowNumbers(std::size_t rows) {
  rowNumbers_->setWidestNumber(rows);
  updateGeometries();
}

void DataGrid::keepRowsInView(int first, int moved) {
  // The views keep their scroll position by place, not by row.
  const int top = topRow();
  if (top == 0 || first > top) return;
  // Inside the model's news of the places: the rows are read after it.
  const QScopedValueRollback following(followingPlaces_, true);
  setTopRow(moved > 0 ? top + moved : std::max(first, top + moved));
}

void DataGrid::followPlaces() {
  rowNumbers_->setWidestNumber(0);
  connect(model_.get(), &RecordsetModel::placesGuessed, this, &DataGrid::widenRowNumbers);
  connect(model_.get(), &RecordsetModel::pageChanged, this, &DataGrid::showPagePlace);
  connect(model_.get(), &QAbstractItemModel::rowsRemoved, this,
          [this](const QModelIndex&, int first, int last) { keepRowsInView(first, first - last - 1); });
}

void DataGrid::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (model_) model_->viewPainted();
}

void DataGrid::scrollContentsBy(int dx, int dy) {
  QTableView::scrollContentsBy(dx, dy);
  if (model_ && dy != 0 && !followingPlaces_) model_->readBlocksOf(rowAt(0), rowAt(viewport()->height() - 1));
}

void DataGrid::followInsertedPlaces() {
  // After the view's own handlers: the scroll bar then has room for the
  // places that came.
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { keepRowsInView(first, last - first + 1); });
}

}  // namespace ui
