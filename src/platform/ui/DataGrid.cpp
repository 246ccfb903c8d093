#include "DataGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>
#include <iterator>
#include <set>

#include "CellEditorDelegate.h"
#include "FindBar.h"
#include "GridKeys.h"
#include "LockWait.h"
#include "LockWaitNotice.h"
#include "RecordsetModel.h"
#include "RowNumberHeader.h"
#include "RowsOutEntries.h"
#include "ShownValue.h"
#include "ValueEditorDialog.h"

namespace ui {

namespace {

// Keys that move the current cell, and with Ctrl jump.
constexpr int kMovingKeys[] = {Qt::Key_Up,   Qt::Key_Down,   Qt::Key_Left,     Qt::Key_Right,
                               Qt::Key_Home, Qt::Key_End,    Qt::Key_PageUp,   Qt::Key_PageDown};

}  // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setItemDelegate(new CellEditorDelegate(this));
  rowNumbers_ = new RowNumberHeader(this);
  setVerticalHeader(rowNumbers_);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  findBar_ = new FindBar(this);
  findBar_->hide();
  lockWaitNotice_ = new LockWaitNotice(this);
  connect(findBar_, &FindBar::findChanged, this, &DataGrid::findFromBar);
  connect(findBar_, &FindBar::nextRequested, this, &DataGrid::findNext);
  connect(findBar_, &FindBar::closeRequested, this, &DataGrid::closeFind);
  connect(findBar_, &FindBar::filterCleared, this, [this](int index) {
    if (!model_) return;
    ado::RowView view = model_->view();
    if (index >= 0 && index < static_cast<int>(view.filters.size())) view.filters.erase(view.filters.begin() + index);
    showView(view);
  });
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DataGrid::sortByColumn);
  horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(horizontalHeader(), &QHeaderView::customContextMenuRequested, this, &DataGrid::showHeadingMenu);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DataGrid::pageScrolled);
  followUserWidths();
  setUpFeedback();
}

DataGrid::~DataGrid() {
  saveLayoutNow();
  // The view must let go of the model before the model goes.
  setModel(nullptr);
}

void DataGrid::setDataSource(ado::RecordsetPtr source) {
  saveLayoutNow();
  // Sections the views lay out anew are no one's choice of width.
  const QScopedValueRollback fitting(fittingColumns_, true);
  setModel(nullptr);
  model_.reset();
  findBar_->clearText();
  findBar_->hide();
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  showPagePlace();
  recallLayout({});
  if (!source) return showRowPlace();
  model_ = std::make_unique<RecordsetModel>(std::move(source));
  if (pageRows_ > 0) model_->setPageRows(pageRows_);
  connect(model_.get(), &RecordsetModel::writeFailed, this, &DataGrid::writeFailed);
  connect(model_.get(), &RecordsetModel::fetchFailed, this, &DataGrid::writeFailed);
  connect(model_.get(), &RecordsetModel::writeFailed, this, [this] { lastWriteFailed_ = true; });
  connect(model_.get(), &RecordsetModel::notice, this, &DataGrid::notice);
  lockWaitNotice_->follow(model_->lockWait());
  followPlaces();
  setModel(model_.get());
  followInsertedPlaces();
  // The rows of the first read fill the screen as a rule; more are read
  // only where they do not, so that nothing else is read before the first
  // rows are painted.
  if (static_cast<std::size_t>(model_->rowCount()) < rowsOnScreen() && model_->canFetchMore({})) model_->fetchMore({});
  // The scroll bar and the row numbers' width as the table's size needs,
  // from the first paint.
  model_->openWindow();
  followFeedback();
  recallLayout(model_->tableName());
  fitPending_ = true;
  fitColumnsWhenShown();
}

ado::RecordsetPtr DataGrid::dataSource() const {
  return model_ ? model_->recordset() : nullptr;
}

bool DataGrid::commitPendingEdit() {
  lastWriteFailed_ = false;
  if (state() == QAbstractItemView::EditingState) {
    if (QWidget* editor = indexWidget(currentIndex())) {
      commitData(editor);
      closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
  }
  if (lastWriteFailed_) return false;
  return !model_ || model_->storeNewRow();
}

void DataGrid::undo() {
  if (!model_) return;
  const int column = std::max(0, currentIndex().column());
  if (const int row = model_->undo(); row >= 0) jumpTo(model_->index(row, column));
}

void DataGrid::redo() {
  if (!model_ || !commitPendingEdit()) return;
  const int column = std::max(0, currentIndex().column());
  if (const int row = model_->redo(); row >= 0) jumpTo(model_->index(row, column));
}

void DataGrid::jumpTo(const QModelIndex& index) {
  const QScopedValueRollback jumping(jumping_, true);
  setCurrentIndex(index);
}

QItemSelectionModel::SelectionFlags DataGrid::selectionCommand(const QModelIndex& index, const QEvent* event) const {
  if (!event && jumping_) return QItemSelectionModel::ClearAndSelect;
  if (event && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers held = key->modifiers();
    const bool moving = std::ranges::find(kMovingKeys, key->key()) != std::end(kMovingKeys);
    // The view's own rule leaves the selection where it was. Shift still
    // stretches it from its start, unless the page moved under it.
    if (moving && held & Qt::ControlModifier)
      return held & Qt::ShiftModifier && !keyMovedPage_ ? QItemSelectionModel::SelectCurrent
                                                        : QItemSelectionModel::ClearAndSelect;
  }
  return QTableView::selectionCommand(index, event);
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  showRowPlace();
  // Leaving a new row stores it; refused, it stays new and current.
  if (!model_ || !previous.isValid() || !model_->isNewRow(previous.row()) || current.row() == previous.row()) return;
  const int stay = previous.row();
  const int column = previous.column();
  if (!model_->storeNewRow())
    QMetaObject::invokeMethod(this, [this, stay, column] {
      if (model_ && model_->isNewRow(stay)) jumpTo(model_->index(stay, column));
    }, Qt::QueuedConnection);
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

void DataGrid::emptySelectedCells() {
  if (!model_ || !selectionModel() || !commitPendingEdit()) return;
  const QModelIndexList cells = selectionModel()->selectedIndexes();
  std::set<int> columns;
  for (const QModelIndex& cell : cells) columns.insert(cell.column());
  for (int column : columns)
    if (const QString reason = model_->readOnlyReason(column); !reason.isEmpty()) {
      emit editRefused(reason);
      return;
    }
  model_->emptyCells(cells);
}

void DataGrid::editInWindow() {
  if (!model_ || !currentIndex().isValid() || !commitPendingEdit()) return;
  const QModelIndex index = currentIndex();
  const QString name = model_->headerData(index.column(), Qt::Horizontal, Qt::DisplayRole).toString();
  if (const QString reason = model_->readOnlyReason(index.column()); !reason.isEmpty()) {
    emit editRefused(reason);
    return;
  }
  if (!model_->columnIsText(index.column())) {
    emit editRefused(
        QStringLiteral("The column \"%1\" does not hold text; edit its value in the cell (F2).").arg(name));
    return;
  }
  if (const std::size_t bytes = model_->valueBytes(index);
      bytes > WarnedEditBytes &&
      !confirm(QStringLiteral("The value of \"%1\" holds %2. The editor may take a while to open it and to show "
                              "your changes. Open it anyway?")
                   .arg(name, SizeText(bytes))))
    return;
  // A value held cut is read whole first; a row changed meanwhile opens nothing.
  const std::optional<QString> whole = model_->wholeText(index);
  if (!whole) return;
  auto* dialog = new ValueEditorDialog(name, *whole, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setFont(font());
  dialog->setConfirmation(confirm_);
  const QPersistentModelIndex cell(index);
  connect(dialog, &QDialog::accepted, this, [this, dialog, cell] {
    // Through the same checked write as an edit in the cell.
    if (model_ && cell.isValid() && dialog->changed()) model_->setData(cell, dialog->value(), Qt::EditRole);
  });
  dialog->open();
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
    if (model_->valueIsCut(index) && !model_->columnIsText(index.column())) {
      emit editRefused(QStringLiteral("The value holds %1, too much to edit in a cell.")
                           .arg(SizeText(model_->valueBytes(index))));
      return false;
    }
    // A cell's one-line editor stalls on a long text: it opens in the
    // larger editor instead.
    if (model_->valueBytes(index) > InCellEditBytes && model_->columnIsText(index.column())) {
      setCurrentIndex(index);
      editInWindow();
      return false;
    }
  }
  if (!QTableView::edit(index, trigger, event)) return false;
  // F2 and a double click edit the text as it is, the cursor at its end;
  // typing on the cell replaces it (the editor opens with it selected).
  if (trigger == EditKeyPressed || trigger == DoubleClicked) {
    if (auto* line = qobject_cast<QLineEdit*>(indexWidget(index))) line->end(false);
  }
  return true;
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
  const QKeySequence pressed(event->keyCombination());
  // Before Copy, whose keys include Ctrl+Insert on this platform.
  if (pressed == grid_keys::AddRow) {
    addRow();
    return;
  }
  if (state() != EditingState && RunRowsOutKey(*this, pressed)) return;
  if (event->matches(QKeySequence::Copy)) {
    copySelection();
    return;
  }
  if (event->matches(QKeySequence::Paste) && state() != EditingState) {
    paste();
    return;
  }
  // Also from the find bar, whose keys come here when it does not use them.
  const std::pair<QKeySequence, void (DataGrid::*)()> viewKeys[] = {
      {grid_keys::Find, &DataGrid::openFind},
      {grid_keys::FindNext, &DataGrid::findNext},
      {grid_keys::Refresh, &DataGrid::refresh}};
  for (const auto& [keys, action] : viewKeys)
    if (pressed == keys && state() != EditingState) {
      (this->*action)();
      return;
    }
  if (pressed == grid_keys::EditInWindow) {
    editInWindow();
    return;
  }
  if (const int step = grid_keys::ZoomStep(*event)) {
    zoomBy(step);
    return;
  }
  if (pressed == grid_keys::Calendar && state() != EditingState) {
    openCalendar();
    return;
  }
  if (pressed == grid_keys::SetNull) {
    setCurrentCellToNull();
    return;
  }
  // Rows go only where they are selected whole.
  if (pressed == grid_keys::DeleteRows && state() != EditingState) {
    if (selectedWholeRows().isEmpty())
      emptySelectedCells();
    else
      deleteSelectedRows();
    return;
  }
  // While a cell is being edited, its editor undoes its own typing.
  if (pressed == grid_keys::Undo && state() != EditingState) {
    undo();
    return;
  }
  if ((pressed == grid_keys::Redo || pressed == grid_keys::RedoAlternative) && state() != EditingState) {
    redo();
    return;
  }
  const bool onNewRow = model_ && model_->isNewRow(currentIndex().row());
  if (onNewRow && state() != EditingState && event->key() == Qt::Key_Escape) {
    model_->discardNewRow();
    return;
  }
  if (onNewRow && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      event->modifiers() & Qt::ControlModifier) {
    commitPendingEdit();
    return;
  }
  QTableView::keyPressEvent(event);
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // A jump to the end means the last row of the table, not of the rows read
  // so far; End alone stays in the row. A large table's page goes with it.
  const bool control = modifiers & Qt::ControlModifier;
  const std::size_t base = model_ ? model_->pageBase() : 0;
  const QScopeGuard pageMoved([this, base] { keyMovedPage_ = model_ && model_->pageBase() != base; });
  if (model_ && (action == MoveEnd || action == MovePageDown) && control) {
    model_->fetchAll();
    if (model_->paged()) moveCursorsPage(model_->tableRows());
  } else if (model_ && action == MoveHome && control && model_->paged()) {
    moveCursorsPage(0);
  } else if (model_ && currentIndex().isValid() && model_->paged()) {
    keepInPage(model_->pageBase() + static_cast<std::size_t>(currentIndex().row()));
  } else if (model_ && model_->paged() && rowAt(0) >= 0) {
    // The page moved away from the current cell: keys go on from the rows
    // on screen.
    selectionModel()->setCurrentIndex(model_->index(rowAt(0), 0), QItemSelectionModel::NoUpdate);
  }
  return QTableView::moveCursor(action, modifiers);
}

}  // namespace ui
