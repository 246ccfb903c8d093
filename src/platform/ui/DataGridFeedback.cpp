// What the grid tells without moving the page's controls: which row is
// current of how many (on a line beside the horizontal scroll bar), the
// rows just saved (marked in the row header), and the rows a find found.
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QTimer>

#include "DataGrid.h"
#include "FindBar.h"
#include "RecordsetModel.h"
#include "RowNumberHeader.h"

namespace ui {

namespace {

// How long the rows just saved stay marked.
constexpr int kSavedMarkMs = 2000;

QString Number(std::size_t number) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(number)); }

QString Rows(std::size_t rows, bool known) {
  const QString count = (known ? QString() : QStringLiteral("about ")) + Number(rows);
  return rows == 1 && known ? QStringLiteral("1 row") : count + QStringLiteral(" rows");
}

}  // namespace

void DataGrid::setUpFeedback() {
  rowPlace_ = new QLabel(this);
  rowPlace_->setContentsMargins(4, 0, 6, 0);
  QFont small = rowPlace_->font();
  small.setBold(false);
  rowPlace_->setFont(small);
  // Always there, so that the line neither comes nor goes with the columns.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  addScrollBarWidget(rowPlace_, Qt::AlignLeft);
  savedMarkEnds_ = new QTimer(this);
  savedMarkEnds_->setSingleShot(true);
  savedMarkEnds_->setInterval(kSavedMarkMs);
  connect(savedMarkEnds_, &QTimer::timeout, this, [this] { markSaved(-1, -1); });
}

void DataGrid::followFeedback() {
  markSaved(-1, -1);
  connect(model_.get(), &RecordsetModel::rowsSaved, this, &DataGrid::markSaved);
  for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(model_.get(), signal, this, [this] {
      showRowPlace();
      showFindCount();
    });
  for (const auto signal : {&RecordsetModel::rowsCounted, &RecordsetModel::pageChanged})
    connect(model_.get(), signal, this, [this] {
      showRowPlace();
      showFindCount();
    });
  connect(model_.get(), &QAbstractItemModel::modelReset, this, [this] {
    showRowPlace();
    showFindCount();
  });
  showRowPlace();
}

void DataGrid::showRowPlace() {
  if (!rowPlace_) return;
  if (!model_) {
    rowPlace_->clear();
    return;
  }
  const bool known = model_->rowCountKnown();
  const std::size_t rows = model_->tableRows();
  const QModelIndex current = currentIndex();
  QString text;
  if (current.isValid() && model_->isNewRow(current.row()))
    text = QStringLiteral("New row, %1 more").arg(Rows(rows, known));
  else if (current.isValid())
    text = QStringLiteral("Row %1 of %2%3")
               .arg(Number(model_->pageBase() + static_cast<std::size_t>(current.row()) + 1),
                    known ? QString() : QStringLiteral("about "), Number(rows));
  else
    text = rows == 0 && known ? QStringLiteral("No rows") : Rows(rows, known);
  if (savedRows_.first >= 0) text += QStringLiteral(" \u00b7 saved");
  rowPlace_->setText(text);
}

void DataGrid::markSaved(int first, int last) {
  savedRows_ = {first, last};
  rowNumbers_->setSavedSections(first, last);
  if (first >= 0) savedMarkEnds_->start();
  showRowPlace();
}

void DataGrid::showFindCount() {
  if (!model_ || model_->view().findText.empty()) {
    findBar_->setMatchCount({});
    return;
  }
  const std::size_t rows = model_->tableRows();
  // The rows shown are those that hold the text.
  findBar_->setMatchCount(rows == 0 && model_->rowCountKnown()
                              ? QStringLiteral("no rows")
                              : Rows(rows, model_->rowCountKnown()));
}

void DataGrid::selectBlock(int top, int left, int bottom, int right) {
  if (!model_ || !selectionModel()) return;
  bottom = std::min(bottom, model_->rowCount() - 1);
  right = std::min(right, model_->columnCount() - 1);
  if (bottom < top || right < left) return;
  selectionModel()->select(QItemSelection(model_->index(top, left), model_->index(bottom, right)),
                           QItemSelectionModel::ClearAndSelect);
}

}  // namespace ui
