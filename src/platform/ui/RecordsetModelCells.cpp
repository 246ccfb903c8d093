// Cells of several rows written as one change, all or none: a paste, and
// cells emptied.
#include <algorithm>
#include <map>

#include "LockWait.h"
#include "RecordsetModel.h"

namespace ui {

int RecordsetModel::rowsMissingFor(int row, int lines) {
  if (!recordset_ || lines <= 0) return 0;
  const std::size_t needed = cacheRow(row) + static_cast<std::size_t>(lines);
  if (recordset_->windowed()) readRows(row, lines);
  while (shownRows_ < needed && canFetchMore({})) {
    const std::size_t before = shownRows_;
    fetchRows(needed - shownRows_);
    if (shownRows_ == before) break;
  }
  return needed > shownRows_ ? static_cast<int>(needed - shownRows_) : 0;
}

bool RecordsetModel::pasteBlock(int row, int column, const ClipboardCells& lines) {
  if (!recordset_ || lines.isEmpty()) return true;
  if (!storeNewRow()) return false;
  qsizetype width = 0;
  for (const QList<std::optional<QString>>& line : lines) width = std::max(width, line.size());
  const auto refuse = [this](const QString& why) {
    emit writeFailed(QStringLiteral("Nothing was pasted: ") + why);
    return false;
  };
  if (column + width > columnCount())
    return refuse(QStringLiteral("the block is %1 columns wide, and the table has %2 columns from \"%3\" on.")
                      .arg(width)
                      .arg(columnCount() - column)
                      .arg(headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()));
  for (int offset = 0; offset < width; ++offset)
    if (const QString reason = readOnlyReason(column + static_cast<int>(offset)); !reason.isEmpty())
      return refuse(reason);
  rowsMissingFor(row, static_cast<int>(lines.size()));
  std::vector<std::pair<std::size_t, ado::CellValues>> changed;
  std::vector<ado::CellValues> added;
  const std::size_t first = cacheRow(row);
  for (qsizetype line = 0; line < lines.size(); ++line) {
    ado::CellValues cells;
    for (qsizetype offset = 0; offset < lines[line].size(); ++offset) {
      const int target = column + static_cast<int>(offset);
      const std::optional<QString>& pasted = lines[line][offset];
      // NULL is never stored as the word, in any column.
      if (!pasted && !columnIsNullable(target))
        return refuse(QStringLiteral("the column \"%1\" cannot hold NULL.")
                          .arg(headerData(target, Qt::Horizontal, Qt::DisplayRole).toString()));
      cells.emplace_back(target, pasted ? valueToStore(*pasted, Qt::EditRole, target) : std::nullopt);
    }
    const std::size_t at = first + static_cast<std::size_t>(line);
    if (at < shownRows_)
      changed.emplace_back(at, std::move(cells));
    else
      added.push_back(std::move(cells));
  }
  return writeCells(changed, added, QStringLiteral("Nothing was pasted: "));
}

bool RecordsetModel::emptyCells(const QModelIndexList& cells) {
  if (!recordset_ || cells.isEmpty()) return true;
  if (!storeNewRow()) return false;
  std::map<std::size_t, ado::CellValues> rows;
  for (const QModelIndex& cell : cells) {
    if (!cell.isValid() || isNewRow(cell.row())) continue;
    const int column = cell.column();
    const std::optional<std::string> emptied =
        columnIsNullable(column) ? std::nullopt : recordset_->EmptiedValue(column);
    const std::size_t row = cacheRow(cell.row());
    if (!recordset_->rowHeld(row)) readRows(cell.row(), 1);
    // Cells that hold it already are left out of the change.
    if (recordset_->rowHeld(row)) {
      const ado::CellView now = recordset_->cell(row, column);
      if (now.isNull == !emptied && (!emptied || now.text == *emptied)) continue;
    }
    rows[row].emplace_back(column, emptied);
  }
  if (rows.empty()) return true;
  return writeCells({rows.begin(), rows.end()}, {}, QStringLiteral("Nothing was emptied: "), "emptying");
}

bool RecordsetModel::writeCells(const std::vector<std::pair<std::size_t, ado::CellValues>>& changed,
                                const std::vector<ado::CellValues>& added, const QString& refusal,
                                const std::string& named) {
  try {
    const LockWait::Write writing(*lockWait_);
    recordset_->WriteCells(changed, added, shownRows_, named);
  } catch (const std::exception& failure) {
    // The row that stopped it shows what the database holds.
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit writeFailed(refusal + QString::fromUtf8(failure.what()));
    return false;
  }
  if (!changed.empty()) {
    for (const auto& [row, cells] : changed)
      if (inPage(row)) markUnmatched(modelRow(row), 1);
    const auto [first, last] = std::minmax_element(changed.begin(), changed.end(),
                                                   [](const auto& a, const auto& b) { return a.first < b.first; });
    cachedRowsChanged(first->first, last->first);
    if (inPage(first->first) && inPage(last->first)) emit rowsSaved(modelRow(first->first), modelRow(last->first));
  }
  if (!added.empty()) {
    const std::size_t at = shownRows_;
    insertPlaces(shownRows_, added.size(), {}, false);
    if (inPage(at)) emit rowsSaved(modelRow(at), modelRow(at) + static_cast<int>(added.size()) - 1);
  }
  showRowsBeyond();
  return true;
}

}  // namespace ui
