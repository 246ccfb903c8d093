// Rows a write changed beyond those it named (the table's keys to itself,
// its triggers), shown as the database holds them.
#include <algorithm>

#include "RecordsetModel.h"

namespace ui {

ado::Recordset::DeleteReach RecordsetModel::deleteReach(const QList<int>& rows) {
  if (!recordset_) return {};
  std::vector<std::size_t> cached;
  for (int row : rows)
    if (!isNewRow(row)) cached.push_back(cacheRow(row));
  try {
    return recordset_->ReachOfDelete(cached);
  } catch (const std::exception&) {
    // The delete itself says what stops it.
    return {};
  }
}

void RecordsetModel::showRowsBeyond(std::vector<std::size_t> removing) {
  const ado::Recordset::RowsBeyond beyond = recordset_->TakeRowsBeyond();
  for (std::size_t row : beyond.changed)
    if (row < shownRows_) cachedRowsChanged(row, row);
  removing.insert(removing.end(), beyond.gone.begin(), beyond.gone.end());
  std::ranges::sort(removing);
  removing.erase(std::unique(removing.begin(), removing.end()), removing.end());
  if (!removing.empty()) removeCachedRows(removing);
  if (!beyond.kept.empty()) emit notice(QString::fromStdString(beyond.kept));
}

}  // namespace ui
