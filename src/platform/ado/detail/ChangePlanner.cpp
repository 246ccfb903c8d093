#include "ChangePlanner.h"

#include "platform/ado/AdoError.h"
#include "SqlText.h"

namespace ado {

std::string ChangePlanner::ReadOnlyReason(int column) const {
  if (!read_.unavailable.empty()) return read_.unavailable;
  if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return "There is no such column.";
  const ColumnInfo& info = columns_[static_cast<std::size_t>(column)];
  if (read_.Generated(column))
    return "The column \"" + info.name + "\" is computed by the database from other columns and cannot be edited.";
  if (std::string reason = dialect().ColumnReadOnlyReason(shape(), column); !reason.empty()) return reason;
  if (info.autoIncrement) return "The column \"" + info.name + "\" is numbered by the database and cannot be edited.";
  return {};
}

bool ChangePlanner::Insertable(int column, bool numbered) const {
  if (!read_.unavailable.empty() || column < 0 || static_cast<std::size_t>(column) >= columns_.size() ||
      read_.Generated(column))
    return false;
  const ColumnInfo& info = columns_[static_cast<std::size_t>(column)];
  if (info.autoIncrement) return numbered;
  // A driver's word that a column is read-only counts where nothing else
  // tells.
  return info.updatable || read_.knownColumns || read_.identity != TableRead::Identity::PrimaryKey;
}

PlannedStatement ChangePlanner::DeleteRow(const StoredRow& original, bool checkColumns) const {
  if (!read_.unavailable.empty()) throw Error(read_.unavailable);
  PlannedStatement planned;
  planned.sql = "DELETE FROM " + dialect().WriteTarget(shape(), original) + " WHERE " +
                dialect().RowMatch(shape(), original, std::nullopt, planned.parameters, true);
  planned.sql += dialect().StillAsRead(shape(), original, {}, planned.parameters);
  if (checkColumns) planned.sql += ColumnsStillAsRead(planned.parameters);
  return planned;
}

std::optional<PlannedStatement> ChangePlanner::DeleteAtOnce(const std::vector<StoredRow>& originals) const {
  if (!read_.unavailable.empty()) return std::nullopt;
  return dialect().DeleteAtOnce(shape(), originals);
}

PlannedStatement ChangePlanner::InsertRow(const std::vector<CellChange>& cells) const {
  if (!read_.unavailable.empty()) throw Error(read_.unavailable);
  PlannedStatement planned;
  std::vector<std::string> names, slots;
  for (const CellChange& cell : cells) {
    // A number the database would choose may be given, as when a deleted
    // row goes back with its key; where the database insists on its own,
    // it refuses.
    if (!Insertable(cell.column, true)) throw Error(ReadOnlyReason(cell.column));
    names.push_back(read_.quotedColumns[static_cast<std::size_t>(cell.column)]);
    slots.push_back(dialect().ValueSlot(shape(), cell));
    dialect().BindValue(shape(), cell, planned.parameters);
  }
  planned.sql = "INSERT INTO " + read_.quotedTable;
  if (names.empty())
    planned.sql += " DEFAULT VALUES";
  else
    planned.sql += " (" + Join(names, ", ") + ") VALUES (" + Join(slots, ", ") + ")";
  const std::string returning = dialect().Returning(read_);
  planned.sql += returning;
  planned.returnsRows = !returning.empty();
  return planned;
}

std::optional<PlannedStatement> ChangePlanner::ReadInserted(const std::vector<CellChange>& cells) const {
  return dialect().ReadInserted(shape(), cells);
}

PlannedStatement ChangePlanner::UpdateRow(const StoredRow& original, const std::vector<CellChange>& changes,
                                          bool checkColumns) const {
  PlannedStatement planned;
  std::vector<std::string> sets;
  std::vector<int> changed;
  for (const CellChange& change : changes) {
    const std::string reason = ReadOnlyReason(change.column);
    if (!reason.empty()) throw Error(reason);
    sets.push_back(read_.quotedColumns[static_cast<std::size_t>(change.column)] + " = " +
                   dialect().ValueSlot(shape(), change));
    dialect().BindValue(shape(), change, planned.parameters);
    changed.push_back(change.column);
  }
  if (sets.empty()) throw Error("There is nothing to change.");
  std::string sql = "UPDATE " + dialect().WriteTarget(shape(), original) + " SET " + Join(sets, ", ") + " WHERE " +
                    dialect().RowMatch(shape(), original, std::nullopt, planned.parameters, true);
  sql += dialect().StillAsRead(shape(), original, changed, planned.parameters);
  if (checkColumns) sql += ColumnsStillAsRead(planned.parameters);
  const std::string returning = dialect().Returning(read_);
  planned.sql = std::move(sql) + returning;
  planned.returnsRows = !returning.empty();
  return planned;
}

std::string ChangePlanner::ColumnsStillAsRead(BoundParameters& parameters) const {
  if (!dialect().ColumnsCheckedInEveryWrite()) return {};
  const std::string columns = dialect().ColumnsAsRead(read_, parameters);
  return columns.empty() ? std::string() : " AND " + columns;
}

std::optional<PlannedStatement> ChangePlanner::ColumnsAsRead() const {
  PlannedStatement planned;
  const std::string columns = dialect().ColumnsAsRead(read_, planned.parameters);
  if (columns.empty()) return std::nullopt;
  planned.sql = "SELECT CASE WHEN " + columns + " THEN 1 ELSE 0 END";
  planned.returnsRows = true;
  planned.tableRows = false;
  return planned;
}

PlannedStatement ChangePlanner::ReadBack(const StoredRow& original, const std::optional<CellChange>& keyChange) const {
  return dialect().ReadRow(shape(), original, keyChange, true);
}

PlannedStatement ChangePlanner::ReadRow(const StoredRow& original) const {
  return dialect().ReadRow(shape(), original, std::nullopt, false);
}

}  // namespace ado
