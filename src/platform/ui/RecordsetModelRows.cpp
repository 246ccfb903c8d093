// Rows added and deleted through the model.
#include <QBrush>
#include <QColor>
#include <algorithm>

#include "LockWait.h"
#include "RecordsetModel.h"
#include "ShownValue.h"
#include "platform/ado/AdoError.h"

namespace ui {

QString RecordsetModel::tableName() const {
  return recordset_ ? QString::fromStdString(recordset_->tableName()) : QString();
}

QVariant RecordsetModel::newRowData(int column, int role) const {
  const auto found = newRow_->cells.find(column);
  const bool given = found != newRow_->cells.end();
  switch (role) {
    case Qt::DisplayRole:
      // What is not given is the database's to choose.
      if (!given) return QString();
      return found->second ? ShownValue(*found->second, false) : QStringLiteral("NULL");
    case Qt::EditRole:
      return given && found->second ? QString::fromStdString(*found->second) : QString();
    case NullRole:
      return given && !found->second;
    case Qt::ForegroundRole:
      return given && !found->second ? QVariant(QBrush(QColor(Qt::gray))) : QVariant();
    case Qt::TextAlignmentRole:
      return alignment(column);
    case Qt::CheckStateRole:
      if (!given) return {};
      return checkState(!found->second, QString::fromStdString(found->second.value_or(std::string())), column);
    default:
      return {};
  }
}

bool RecordsetModel::openNewRow(int below) {
  if (!recordset_ || !storeNewRow()) return false;
  try {
    if (const std::string reason = recordset_->TableReadOnlyReason(); !reason.empty()) {
      emit writeFailed(QStringLiteral("No row can be added: ") + QString::fromStdString(reason));
      return false;
    }
  } catch (const std::exception& failure) {
    emit writeFailed(QString::fromUtf8(failure.what()));
    return false;
  }
  const std::size_t at = below < 0 ? pageBase_ : std::min(cacheRow(below) + 1, shownRows_);
  beginInsertRows({}, static_cast<int>(at - pageBase_), static_cast<int>(at - pageBase_));
  newRow_ = NewRow{at, {}};
  endInsertRows();
  return true;
}

bool RecordsetModel::storeNewRow() {
  if (!newRow_ || newRow_->discarded) return true;
  std::vector<std::pair<int, std::optional<std::string>>> cells(newRow_->cells.begin(), newRow_->cells.end());
  std::string unidentified;
  try {
    const LockWait::Write writing(*lockWait_);
    unidentified = recordset_->InsertRow(newRow_->at, cells);
  } catch (const std::exception& failure) {
    emit writeFailed(QString::fromUtf8(failure.what()));
    return false;
  }
  // The row shown is now the one the database stored, where it was opened.
  const int row = newRowIndex();
  newRow_.reset();
  ++shownRows_;
  ++pagePlaces_;
  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
  emit headerDataChanged(Qt::Vertical, row, rowCount() - 1);
  emit rowsSaved(row, row);
  if (!unidentified.empty()) emit notice(QString::fromStdString(unidentified));
  showRowsBeyond();
  return true;
}

void RecordsetModel::discardNewRow() {
  if (!newRow_) return;
  const int row = newRowIndex();
  newRow_->discarded = true;
  beginRemoveRows({}, row, row);
  newRow_.reset();
  endRemoveRows();
}

bool RecordsetModel::deleteRows(QList<int> rows) {
  if (!recordset_ || rows.isEmpty()) return true;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  // A new row not stored yet is only let go; the others go in one delete.
  if (const int newRow = newRowIndex(); newRow_ && rows.contains(newRow)) {
    rows.removeAll(newRow);
    for (int& row : rows)
      if (row > newRow) --row;
    discardNewRow();
  }
  if (rows.isEmpty()) return true;
  if (!storeNewRow()) return false;
  std::vector<std::size_t> cached;
  for (int row : rows) cached.push_back(cacheRow(row));
  try {
    const LockWait::Write writing(*lockWait_);
    recordset_->DeleteRows(cached);
  } catch (const std::exception& failure) {
    // The row that stopped it shows what the database holds.
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit writeFailed(QString::fromUtf8(failure.what()));
    return false;
  }
  showRowsBeyond(cached);
  return true;
}

void RecordsetModel::removeCachedRows(const std::vector<std::size_t>& cached) {
  // From the last run of rows to the first, so that each run's place holds.
  for (std::size_t end = cached.size(); end > 0;) {
    std::size_t begin = end - 1;
    while (begin > 0 && cached[begin - 1] + 1 == cached[begin]) --begin;
    const std::size_t first = cached[begin], count = end - begin;
    // Rows the views have not been told of yet go unannounced.
    const std::size_t shown = first < shownRows_ ? std::min(count, shownRows_ - first) : 0;
    removePlaces(first, shown, [this, first, count] { recordset_->DropRows(first, count); });
    end = begin;
  }
  emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
}

}  // namespace ui
