// The rows the grid looks at while places come and go around them: the row
// numbers as wide as the table's size needs from the first paint, and the
// same rows on screen when places come or go above them.
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "DataGrid.h"
#include "RecordsetModel.h"

namespace ui {

void DataGrid::widenRowNumbers(std::size_t rows) {
  // As wide as the numbers of the rows read, and the digits more.
  QHeaderView* numbers = verticalHeader();
  if (numbers->count() == 0) return;
  const QFontMetrics metrics = numbers->fontMetrics();
  const int more =
      metrics.horizontalAdvance(QString::number(rows)) - metrics.horizontalAdvance(QString::number(numbers->count()));
  numbers->setMinimumWidth(numbers->sizeHint().width() + std::max(0, more));
}

void DataGrid::keepRowsInView(int first, int moved) {
  // The views keep their scroll position by place, not by row.
  QScrollBar* bar = verticalScrollBar();
  const int unit = verticalScrollMode() == ScrollPerItem ? 1 : verticalHeader()->defaultSectionSize();
  const int top = bar->value() / unit;
  if (top == 0 || first > top) return;
  const int kept = moved > 0 ? top + moved : std::max(first, top + moved);
  updateGeometries();
  bar->setValue(kept * unit);
}

void DataGrid::followPlaces() {
  verticalHeader()->setMinimumWidth(0);
  connect(model_.get(), &RecordsetModel::placesGuessed, this, &DataGrid::widenRowNumbers);
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { keepRowsInView(first, last - first + 1); });
  connect(model_.get(), &QAbstractItemModel::rowsRemoved, this,
          [this](const QModelIndex&, int first, int last) { keepRowsInView(first, first - last - 1); });
}

}  // namespace ui
