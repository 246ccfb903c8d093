#include "DataGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>
#include <map>

#include "CellEditorDelegate.h"
#include "RecordsetModel.h"

namespace ui {

namespace {

// Sets the current cell to NULL.
const QKeySequence kSetNullShortcut(Qt::CTRL | Qt::Key_0);

}  // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setItemDelegate(new CellEditorDelegate(this));
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

DataGrid::~DataGrid() {
  // The view must let go of the model before the model goes.
  setModel(nullptr);
}

void DataGrid::setDataSource(ado::RecordsetPtr source) {
  setModel(nullptr);
  model_.reset();
  if (!source) return;
  model_ = std::make_unique<RecordsetModel>(std::move(source));
  connect(model_.get(), &RecordsetModel::writeFailed, this, &DataGrid::writeFailed);
  connect(model_.get(), &RecordsetModel::fetchFailed, this, &DataGrid::writeFailed);
  connect(model_.get(), &RecordsetModel::writeFailed, this, [this] { lastWriteFailed_ = true; });
  setModel(model_.get());
  if (model_->canFetchMore({})) model_->fetchMore({});
}

ado::RecordsetPtr DataGrid::dataSource() const {
  return model_ ? model_->recordset() : nullptr;
}

bool DataGrid::commitPendingEdit() {
  if (state() != QAbstractItemView::EditingState) return true;
  QWidget* editor = indexWidget(currentIndex());
  if (!editor) return true;
  lastWriteFailed_ = false;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
  return !lastWriteFailed_;
}

void DataGrid::setCurrentCellToNull() {
  const QModelIndex index = currentIndex();
  if (!model_ || !index.isValid()) return;
  if (const QString reason = model_->readOnlyReason(index.column()); !reason.isEmpty()) {
    emit editRefused(reason);
    return;
  }
  if (!model_->columnIsNullable(index.column())) {
    emit editRefused(QStringLiteral("The column \"%1\" does not accept NULL.")
                         .arg(model_->headerData(index.column(), Qt::Horizontal, Qt::DisplayRole)
                                  .toString()));
    return;
  }
  model_->setData(index, {}, RecordsetModel::NullRole);
}

void DataGrid::copySelection() const {
  const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes()
                                                    : QModelIndexList{};
  if (selected.isEmpty()) return;
  std::map<int, std::map<int, QString>> cells;
  int firstColumn = selected.first().column();
  int lastColumn = firstColumn;
  for (const QModelIndex& index : selected) {
    cells[index.row()][index.column()] = index.data(Qt::DisplayRole).toString();
    firstColumn = std::min(firstColumn, index.column());
    lastColumn = std::max(lastColumn, index.column());
  }
  QString text;
  for (const auto& [row, columns] : cells) {
    QStringList line;
    for (int column = firstColumn; column <= lastColumn; ++column) {
      const auto found = columns.find(column);
      line << (found == columns.end() ? QString() : found->second);
    }
    text += line.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  QApplication::clipboard()->setText(text);
}

bool DataGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  const bool userAsked = trigger == DoubleClicked || trigger == EditKeyPressed ||
                         trigger == AnyKeyPressed;
  if (userAsked && model_ && index.isValid()) {
    // Settles what the flags did not know yet, before an editor opens.
    if (const QString reason = model_->readOnlyReason(index.column()); !reason.isEmpty()) {
      emit editRefused(reason);
      return false;
    }
  }
  return QTableView::edit(index, trigger, event);
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    copySelection();
    return;
  }
  if (QKeySequence(event->keyCombination()) == kSetNullShortcut) {
    setCurrentCellToNull();
    return;
  }
  QTableView::keyPressEvent(event);
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // A jump to the end means the last row of the table, not of the rows read
  // so far.
  if (model_ && (action == MoveEnd || (action == MovePageDown && modifiers & Qt::ControlModifier)))
    model_->fetchAll();
  return QTableView::moveCursor(action, modifiers);
}

void DataGrid::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex index = indexAt(event->pos());
  if (!model_ || !index.isValid()) return;
  setCurrentIndex(index);
  QMenu menu(this);
  QAction* setNull = menu.addAction(QStringLiteral("Set to NULL"));
  setNull->setShortcut(kSetNullShortcut);
  QAction* copy = menu.addAction(QStringLiteral("Copy"));
  copy->setShortcut(QKeySequence::Copy);
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == setNull) setCurrentCellToNull();
  if (chosen == copy) copySelection();
}

}  // namespace ui
