#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>

#include "DataGrid.h"
#include "FindBar.h"
#include "RecordsetModel.h"

namespace ui {

namespace {

// A grid grown by fewer pixels keeps its widths.
constexpr int kGrowthToRefit = 8;

}  // namespace

void DataGrid::showView(const ado::RowView& view, bool keepRow) {
  if (!model_) return;
  const QModelIndex current = currentIndex();
  // Looking for the row may read far into a large table.
  const std::string identity = keepRow && current.isValid() ? model_->rowIdentity(current.row()) : std::string();
  const int column = std::max(0, current.column());
  const std::ptrdiff_t near = current.isValid() ? static_cast<std::ptrdiff_t>(model_->pageBase()) + current.row() : -1;
  model_->setView(view);
  showViewState();
  // Where the row was is looked at first: in a large table it is mostly
  // still there (F5), and the rows before it need not be read.
  const int row = model_->findRow(identity, near);
  if (row >= 0) {
    jumpTo(model_->index(row, column));
    scrollTo(currentIndex(), PositionAtCenter);
  } else if (model_->rowCount() > 0) {
    jumpTo(model_->index(0, column));
    scrollToTop();
  }
}

void DataGrid::showViewState() {
  showFindCount();
  const ado::RowView& view = model_->view();
  if (view.sortColumn >= 0)
    horizontalHeader()->setSortIndicator(view.sortColumn, view.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  else
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  QStringList labels;
  for (const ado::RowView::ValueFilter& filter : view.filters) {
    const QString name = model_->headerData(filter.column, Qt::Horizontal, Qt::DisplayRole).toString();
    const QString value = filter.value ? QString::fromStdString(*filter.value).left(20) : QStringLiteral("NULL");
    labels << (filter.keep ? QStringLiteral("%1 = %2") : QStringLiteral("%1 \u2260 %2")).arg(name, value);
  }
  findBar_->setFilters(labels);
  if (!view.filters.empty()) {
    findBar_->show();
    placeFindBar();
  }
}

void DataGrid::placeFindBar() {
  const QRect area = viewport()->geometry();
  const int height = findBar_->sizeHint().height();
  findBar_->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
  findBar_->raise();
}

void DataGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  if (findBar_->isVisible()) placeFindBar();
  if (model_ && model_->paged()) showPagePlace();
  // A grid grown (maximized) has room for more of its values.
  if (model_ && fittedWidth_ > 0 && !fitPending_ && viewport()->width() > fittedWidth_ + kGrowthToRefit) {
    fitPending_ = true;
    fitColumnsWhenShown();
  }
}

void DataGrid::openFind() {
  if (!model_) return;
  QStringList names;
  for (int column = 0; column < model_->columnCount(); ++column)
    names << model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  if (!findBar_->isVisible() || findBar_->text().isEmpty()) findBar_->setColumns(names);
  findBar_->show();
  placeFindBar();
  findBar_->focusText();
}

void DataGrid::findFromBar() {
  if (!model_) return;
  ado::RowView view = model_->view();
  view.findText = findBar_->text().toStdString();
  view.findColumns.clear();
  // Raw bytes hold no text to find.
  for (int column = 0; column < model_->columnCount(); ++column)
    if ((findBar_->column() < 0 || findBar_->column() == column) && !model_->columnIsBinary(column))
      view.findColumns.push_back(column);
  showView(view);
}

void DataGrid::findNext() {
  if (!model_ || model_->view().findText.empty()) return;
  // In a large table the rows after the current one come into the page.
  if (currentIndex().isValid()) keepInPage(model_->pageBase() + static_cast<std::size_t>(currentIndex().row()));
  const int start = currentIndex().isValid() ? currentIndex().row() : -1;
  const int column = std::max(0, currentIndex().column());
  for (int row = start + 1;; ++row) {
    if (row >= model_->rowCount() && model_->canFetchMore({})) model_->fetchMore({});
    if (row >= model_->rowCount()) break;
    if (model_->rowHoldsFindText(row)) {
      jumpTo(model_->index(row, column));
      return;
    }
  }
  // From the top again, of the table.
  const std::ptrdiff_t last = static_cast<std::ptrdiff_t>(model_->pageBase()) + start;
  if (model_->pageBase() > 0 && !movePage(0)) return;
  for (int row = 0; row <= last && row < model_->rowCount(); ++row)
    if (model_->rowHoldsFindText(row)) {
      jumpTo(model_->index(row, column));
      return;
    }
}

void DataGrid::closeFind() {
  findBar_->clearText();
  // The grid takes the focus first: a find bar hidden with the focus hands
  // it on as a Tab would, which moves the grid's current cell.
  setFocus();
  findBar_->hide();
  if (!model_) return;
  ado::RowView view = model_->view();
  if (!view.narrowed()) return;
  view.findText.clear();
  view.findColumns.clear();
  view.filters.clear();
  showView(view, true);
}

void DataGrid::filterByCurrentValue(bool keep) {
  const QModelIndex index = currentIndex();
  if (!model_ || !index.isValid() || model_->isNewRow(index.row()) || !commitPendingEdit()) return;
  model_->readRows(index.row(), 1);
  ado::RowView view = model_->view();
  try {
    view.filters.push_back(model_->valueFilter(index, keep));
  } catch (const std::exception& failure) {
    emit writeFailed(QString::fromUtf8(failure.what()));
    return;
  }
  showView(view);
}

void DataGrid::sortByColumn(int column) {
  if (!model_ || !commitPendingEdit()) return;
  ado::RowView view = model_->view();
  if (view.sortColumn != column) {
    view.sortColumn = column;
    view.descending = false;
  } else if (!view.descending) {
    view.descending = true;
  } else {
    view.sortColumn = -1;
    view.descending = false;
  }
  showView(view);
}

void DataGrid::refresh() {
  if (model_ && commitPendingEdit()) showView(model_->view(), true);
}

}  // namespace ui
