// The grid's context menu, on cells and headings: every command with its
// key, each disabled where it does not apply.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>

#include "DataGrid.h"
#include "DateCellEditor.h"
#include "GridKeys.h"
#include "RecordsetModel.h"
#include "RowsOutEntries.h"

namespace ui {

namespace {

// An entry done by something other than a key shows that after a tab,
// where a menu shows keys.
QString WithHow(const QString& text, const QString& how) { return text + QLatin1Char('\t') + how; }

}  // namespace

std::unique_ptr<QMenu> DataGrid::actionMenu(const QModelIndex& cell) {
  auto menu = std::make_unique<QMenu>(this);
  if (!model_) return menu;
  const int column = cell.isValid() ? cell.column() : -1;
  const bool onRow = cell.isValid() && !model_->isNewRow(cell.row());
  const bool editable = cell.isValid() && model_->readOnlyReason(column).isEmpty() &&
                        (cell.flags() & Qt::ItemIsEditable || model_->isNewRow(cell.row()));
  const bool selected = selectionModel() && selectionModel()->hasSelection();
  const auto add = [&](const QString& text, const QKeySequence& keys, bool enabled, auto run) {
    QAction* action = menu->addAction(text, this, run);
    action->setShortcut(keys);
    action->setEnabled(enabled);
    return action;
  };

  add(QStringLiteral("Find..."), grid_keys::Find, true, [this] { openFind(); });
  add(QStringLiteral("Find next"), grid_keys::FindNext, !model_->view().findText.empty(), [this] { findNext(); });
  const bool filterable = onRow && !model_->columnIsBinary(column);
  add(QStringLiteral("Only rows with this value"), {}, filterable, [this] { filterByCurrentValue(true); });
  add(QStringLiteral("Hide rows with this value"), {}, filterable, [this] { filterByCurrentValue(false); });
  // What a click on the heading does next.
  const ado::RowView& view = model_->view();
  const QString sort = view.sortColumn != column ? QStringLiteral("Sort ascending")
                       : !view.descending      ? QStringLiteral("Sort descending")
                                               : QStringLiteral("Back to the table's order");
  add(WithHow(sort, QStringLiteral("Click on the heading")), {}, column >= 0, [this, column] { sortByColumn(column); });
  add(QStringLiteral("Read again"), grid_keys::Refresh, true, [this] { refresh(); });
  menu->addSeparator();

  const QString undoName = model_->newRowIndex() >= 0 ? QStringLiteral("new row") : model_->undoName();
  add(undoName.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + undoName, grid_keys::Undo,
      !undoName.isEmpty(), [this] { undo(); });
  const QString redoName = model_->redoName();
  add(redoName.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + redoName, grid_keys::Redo,
      !redoName.isEmpty(), [this] { redo(); });
  menu->addSeparator();

  add(QStringLiteral("Edit in a window..."), grid_keys::EditInWindow, editable && model_->columnIsText(column),
      [this] { editInWindow(); });
  add(QStringLiteral("Calendar..."), grid_keys::Calendar, editable && model_->columnHoldsDate(column),
      [this] { openCalendar(); });
  add(QStringLiteral("Set to NULL"), grid_keys::SetNull, editable && model_->columnIsNullable(column),
      [this] { setCurrentCellToNull(); });
  const bool wholeRows = !selectedWholeRows().isEmpty();
  add(QStringLiteral("Empty the cells"), grid_keys::DeleteRows, selected && !wholeRows, [this] { emptySelectedCells(); });
  menu->addSeparator();

  add(QStringLiteral("Copy"), QKeySequence(QKeySequence::Copy), selected, [this] { copySelection(); });
  AddRowsOutEntries(*menu, *this);
  const QMimeData* clipboard = QApplication::clipboard()->mimeData();
  add(QStringLiteral("Paste"), QKeySequence(QKeySequence::Paste),
      cell.isValid() && clipboard && (clipboard->hasText() || !clipboard->formats().isEmpty()), [this] { paste(); });
  menu->addSeparator();

  bool rowsCanBeAdded = false;
  try {
    rowsCanBeAdded = model_->recordset()->TableReadOnlyReason().empty();
  } catch (const std::exception&) {
    // Add row says why, when chosen.
  }
  add(QStringLiteral("Add row"), grid_keys::AddRow, rowsCanBeAdded, [this] { addRow(); });
  add(QStringLiteral("Delete rows"), grid_keys::DeleteRows, wholeRows, [this] { deleteSelectedRows(); });
  menu->addSeparator();

  add(QStringLiteral("Zoom in"), grid_keys::ZoomIn, true, [this] { zoomBy(1); });
  add(QStringLiteral("Zoom out"), grid_keys::ZoomOut, true, [this] { zoomBy(-1); });
  return menu;
}

void DataGrid::contextMenuEvent(QContextMenuEvent* event) {
  const QModelIndex index = indexAt(event->pos());
  if (!model_ || !index.isValid()) return;
  // A click inside the selection keeps it, so that its rows can be deleted.
  if (selectionModel()->isSelected(index))
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  else
    setCurrentIndex(index);
  actionMenu(index)->exec(event->globalPos());
}

void DataGrid::showHeadingMenu(const QPoint& at) {
  const int column = horizontalHeader()->logicalIndexAt(at);
  if (!model_ || column < 0) return;
  // The column's cell in the current row, where there is one.
  QModelIndex cell;
  if (currentIndex().isValid()) {
    cell = model_->index(currentIndex().row(), column);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
  }
  actionMenu(cell)->exec(horizontalHeader()->viewport()->mapToGlobal(at));
}

void DataGrid::openCalendar() {
  const QModelIndex index = currentIndex();
  if (!model_ || !index.isValid() || !model_->columnHoldsDate(index.column())) return;
  if (state() != EditingState && !edit(index, EditKeyPressed, nullptr)) return;
  if (auto* editor = qobject_cast<DateCellEditor*>(indexWidget(index))) editor->openCalendar();
}

}  // namespace ui
