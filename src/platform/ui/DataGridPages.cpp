// A table of more rows than a page, shown a page at a time: the page moves
// where the user goes (the table's scroll bar, the keys, a wheel near the
// page's edge), keeping the current cell, the selection and the rows on
// screen where they fall in the new page.
#include <QHeaderView>
#include <QItemSelection>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>
#include <vector>

#include "DataGrid.h"
#include "RecordsetModel.h"
#include "RowNumberHeader.h"
#include "TableScrollBar.h"

namespace ui {

namespace {

// Selected cells by the table's rows.
struct SelectedCells {
  std::size_t top, bottom;
  int left, right;
};

}  // namespace

QScrollBar* DataGrid::rowScrollBar() const {
  return tableBar_ && !tableBar_->isHidden() ? tableBar_ : verticalScrollBar();
}

int DataGrid::topRow() const {
  const int unit = verticalScrollMode() == ScrollPerItem ? 1 : verticalHeader()->defaultSectionSize();
  return verticalScrollBar()->value() / unit;
}

void DataGrid::setTopRow(int row) {
  const int unit = verticalScrollMode() == ScrollPerItem ? 1 : verticalHeader()->defaultSectionSize();
  updateGeometries();
  verticalScrollBar()->setValue(row * unit);
}

std::size_t DataGrid::rowsOnScreen() const {
  return static_cast<std::size_t>(viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) + 1);
}

bool DataGrid::movePage(std::size_t base) {
  if (!model_ || movingPage_ || !commitPendingEdit()) return false;
  const QScopedValueRollback moving(movingPage_, true);
  const std::size_t from = model_->pageBase();
  const QModelIndex current = currentIndex();
  std::vector<SelectedCells> selected;
  for (const QItemSelectionRange& range : selectionModel()->selection())
    selected.push_back({from + static_cast<std::size_t>(range.top()), from + static_cast<std::size_t>(range.bottom()),
                        range.left(), range.right()});
  const std::size_t top = from + static_cast<std::size_t>(std::max(0, topRow()));
  if (!model_->movePage(base) || model_->rowCount() == 0) return false;
  const std::size_t to = model_->pageBase(), end = to + static_cast<std::size_t>(model_->rowCount());
  const auto row = [to](std::size_t tableRow) { return static_cast<int>(tableRow - to); };
  QItemSelection kept;
  for (const SelectedCells& cells : selected)
    if (cells.bottom >= to && cells.top < end)
      kept.select(model_->index(row(std::max(cells.top, to)), cells.left),
                  model_->index(row(std::min(cells.bottom, end - 1)), cells.right));
  selectionModel()->select(kept, QItemSelectionModel::ClearAndSelect);
  if (const std::size_t at = from + static_cast<std::size_t>(current.row()); current.isValid() && at >= to && at < end)
    selectionModel()->setCurrentIndex(model_->index(row(at), current.column()), QItemSelectionModel::NoUpdate);
  setTopRow(row(std::clamp(top, to, end - 1)));
  showPagePlace();
  return true;
}

void DataGrid::keepInPage(std::size_t row) {
  if (!model_ || !model_->paged()) return;
  const std::size_t base = model_->pageBase(), end = base + static_cast<std::size_t>(model_->rowCount());
  const std::size_t margin = 2 * rowsOnScreen() + 1, half = model_->pageRows() / 2;
  if ((base > 0 && row < base + margin) || (end < model_->tableRows() && row + margin >= end))
    movePage(row > half ? row - half : 0);
}

void DataGrid::moveCursorsPage(std::size_t base) {
  const QModelIndex current = currentIndex();
  const std::size_t from = model_->pageBase() + static_cast<std::size_t>(std::max(0, current.row()));
  if (!movePage(base) || !current.isValid() || currentIndex().isValid()) return;
  const std::size_t to = model_->pageBase();
  const auto row = static_cast<int>(std::clamp(from, to, to + static_cast<std::size_t>(model_->rowCount()) - 1) - to);
  selectionModel()->setCurrentIndex(model_->index(row, current.column()), QItemSelectionModel::NoUpdate);
}

void DataGrid::showPagePlace() {
  if (!model_ || !model_->paged()) {
    if (tableBar_) tableBar_->hide();
    rowNumbers_->setNumberBase(0);
    return;
  }
  if (!tableBar_) {
    tableBar_ = new TableScrollBar(verticalScrollBar());
    connect(tableBar_, &QScrollBar::valueChanged, this, &DataGrid::tableScrolled);
  }
  tableBar_->setRows(model_->tableRows(), rowsOnScreen() - 1);
  tableBar_->showTop(model_->pageBase() + static_cast<std::size_t>(std::max(0, topRow())));
  tableBar_->show();
  tableBar_->raise();
  rowNumbers_->setNumberBase(model_->pageBase());
  if (model_->tableRows() > rowNumbers_->widestNumber()) rowNumbers_->setWidestNumber(model_->tableRows());
  updateGeometries();
}

void DataGrid::pageScrolled() {
  if (!model_ || !model_->paged()) return;
  if (tableBar_) tableBar_->showTop(model_->pageBase() + static_cast<std::size_t>(std::max(0, topRow())));
  if (movingPage_ || pageCheckQueued_) return;
  // After the scroll is done; a page does not move under an open edit.
  pageCheckQueued_ = true;
  QMetaObject::invokeMethod(this, [this] {
    pageCheckQueued_ = false;
    if (model_ && state() != EditingState && model_->newRowIndex() < 0)
      keepInPage(model_->pageBase() + static_cast<std::size_t>(std::max(0, topRow())) + rowsOnScreen() / 2);
  }, Qt::QueuedConnection);
}

void DataGrid::tableScrolled() {
  if (!model_ || !tableBar_) return;
  const std::size_t top = tableBar_->top(), half = model_->pageRows() / 2;
  const std::size_t base = model_->pageBase(), end = base + static_cast<std::size_t>(model_->rowCount());
  if (top < base || top + rowsOnScreen() - 1 > end) {
    if (state() == EditingState || model_->newRowIndex() >= 0 || !movePage(top > half ? top - half : 0)) {
      tableBar_->showTop(base + static_cast<std::size_t>(std::max(0, topRow())));
      return;
    }
  }
  setTopRow(static_cast<int>(top - model_->pageBase()));
}

}  // namespace ui
