// Undo and redo of the changes saved through the model.
#include <algorithm>

#include "LockWait.h"
#include "RecordsetModel.h"

namespace ui {

QString RecordsetModel::undoName() const {
  return recordset_ ? QString::fromStdString(recordset_->UndoName()) : QString();
}

QString RecordsetModel::redoName() const {
  return recordset_ ? QString::fromStdString(recordset_->RedoName()) : QString();
}

int RecordsetModel::undo() {
  // A new row not stored yet is the last change: it only goes.
  if (newRow_) {
    const int row = static_cast<int>(newRow_->at);
    discardNewRow();
    return std::min(row, rowCount() - 1);
  }
  return revert(true);
}

int RecordsetModel::redo() {
  if (!storeNewRow()) return -1;
  return revert(false);
}

int RecordsetModel::revert(bool undo) {
  if (!recordset_ || (undo ? recordset_->UndoName() : recordset_->RedoName()).empty()) return -1;
  ado::Recordset::Reverted reverted;
  try {
    const LockWait::Write writing(*lockWait_);
    reverted = undo ? recordset_->Undo() : recordset_->Redo();
  } catch (const std::exception& failure) {
    // The row that stopped it shows what the database holds.
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit writeFailed(QString::fromUtf8(failure.what()));
    return -1;
  }
  for (std::size_t row : reverted.changed)
    if (row < shownRows_) {
      if (inPage(row)) markUnmatched(modelRow(row), 1);
      cachedRowsChanged(row, row);
    }
  // Each added row is in the cache already; the views learn of them in the
  // order they went in.
  for (std::size_t row : reverted.added)
    if (row <= shownRows_) insertPlaces(row, 1, {}, false);
  if (!reverted.added.empty()) emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
  showRowsBeyond(reverted.removed);
  std::vector<std::size_t> touched = reverted.changed;
  touched.insert(touched.end(), reverted.added.begin(), reverted.added.end());
  std::size_t shown = 0;
  if (!touched.empty())
    shown = *std::min_element(touched.begin(), touched.end());
  else if (!reverted.removed.empty() && shownRows_ > 0)
    shown = std::min(reverted.removed.front(), shownRows_ - 1);
  else
    return -1;
  // Undone far from the rows shown: the page goes there.
  showCachedRow(shown);
  return modelRow(shown);
}

}  // namespace ui
