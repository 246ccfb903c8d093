#include "ChangePlanner.h"

#include <sqlext.h>

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "SqlText.h"
#include "SqliteCellMatch.h"
#include "SqliteCellStorage.h"

namespace ado {

std::string ChangePlanner::ReadOnlyReason(int column) const {
  if (!read_.unavailable.empty()) return read_.unavailable;
  if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return "There is no such column.";
  const ColumnInfo& info = columns_[static_cast<std::size_t>(column)];
  // Where the rows carry their own identity the table is known, and the
  // database itself decides what may be written; a driver's guess about a
  // column read as the server's text says nothing.
  const bool ownIdentity = read_.identity != TableRead::Identity::PrimaryKey || read_.knownColumns;
  if (!info.updatable && !ownIdentity)
    return "The data source reports the column \"" + info.name + "\" as read-only.";
  if (info.autoIncrement) return "The column \"" + info.name + "\" is numbered by the database and cannot be edited.";
  const bool inKey = std::ranges::find(read_.key, column) != read_.key.end();
  if (read_.identity == TableRead::Identity::PrimaryKey && !inKey && !ExactlyComparable(column))
    return "The column \"" + info.name +
           "\" holds values that cannot be compared exactly, so a change by someone else could go unnoticed; "
           "it cannot be edited here.";
  return {};
}

bool ChangePlanner::ExactlyComparable(int column) const {
  const ColumnInfo& info = columns_[static_cast<std::size_t>(column)];
  if (read_.knownColumns) return !read_.exactMatch.at(static_cast<std::size_t>(column)).empty();
  switch (info.sqlType) {
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
    case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR: case SQL_LONGVARBINARY:
      return false;
    default:
      return !info.isBinary();
  }
}

PostgresTuple ChangePlanner::Tuple(const StoredRow& row) const {
  return PostgresTupleOf(read_, row, columns_.size());
}

std::string ChangePlanner::Target(const StoredRow& row) const {
  // A row of the table itself is reached through the table alone; a row of
  // a table that inherits, or of a partition, by its table's oid as well.
  if (read_.identity == TableRead::Identity::PostgresTuple && Tuple(row).inOwnTable) return "ONLY " + read_.quotedTable;
  return read_.quotedTable;
}

std::string ChangePlanner::TupleMatch(const StoredRow& row, BoundParameters& parameters, bool withVersion) const {
  const PostgresTuple tuple = Tuple(row);
  std::string match;
  if (!tuple.inOwnTable) {
    parameters.AddText(tuple.tableOid);
    match = "tableoid = CAST(? AS oid) AND ";
  }
  parameters.AddText(tuple.ctid);
  match += "ctid = CAST(? AS tid)";
  if (withVersion) {
    parameters.AddText(tuple.xmin);
    match += " AND xmin = CAST(? AS xid)";
  }
  return match;
}

std::string ChangePlanner::SqliteMatch(const StoredRow& row, int column, BoundParameters& parameters) const {
  const auto index = static_cast<std::size_t>(column);
  const std::string& c = read_.quotedColumns[index];
  const std::optional<std::string>& value = row[index];
  const auto marksAt = static_cast<std::size_t>(read_.marksAt);
  const std::string marks = marksAt < row.size() && row[marksAt] ? *row[marksAt] : std::string();
  const SqliteCellStorage storage = StorageOfCell(!value, read_.usualStorage[index], marks, column);
  // A BLOB read as text comes as X'...'; text with a NUL whole from the marks.
  std::optional<std::string> exact = value;
  if (storage.storageClass == 'b' && value && !columns_[index].isBinary()) exact = BlobOfDriverText(*value);
  if (storage.storageClass == 't' && storage.text) exact = storage.text;
  return SqliteCellMatch(c, storage.storageClass, exact, parameters, storage.exact);
}

std::string ChangePlanner::PlainMatch(const StoredRow& row, int column, BoundParameters& parameters) const {
  const auto index = static_cast<std::size_t>(column);
  const std::string& c = read_.quotedColumns[index];
  if (!row[index]) return c + " IS NULL";
  parameters.AddText(row[index]);
  return read_.knownColumns && !read_.exactMatch[index].empty() ? read_.exactMatch[index] : c + " = ?";
}

std::string ChangePlanner::PlainMatchOf(const std::string& column, const std::optional<std::string>& value,
                                        BoundParameters& parameters) {
  if (!value) return column + " IS NULL";
  parameters.AddText(value);
  return column + " = ?";
}

std::string ChangePlanner::IdentityMatch(const StoredRow& row, const std::optional<CellChange>& change,
                                         BoundParameters& parameters, bool forWrite) const {
  // After a stored change of a key column the row goes by the new value.
  auto changedKey = [&](int column) { return change && change->column == column; };
  std::string match;
  auto add = [&](const std::string& part) { match += (match.empty() ? "" : " AND ") + part; };
  switch (read_.identity) {
    case TableRead::Identity::PostgresTuple:
      return TupleMatch(row, parameters, true);
    case TableRead::Identity::SqliteRowid:
      if (!read_.rowidColumn && !read_.key.empty() && !forWrite) {
        // Found again by its declared key, which VACUUM leaves alone.
        for (int column : read_.key)
          add(changedKey(column) ? PlainMatchOf(read_.quotedColumns[static_cast<std::size_t>(column)], change->value,
                                                parameters)
                                 : SqliteMatch(row, column, parameters));
        return match;
      }
      if (read_.rowidColumn && changedKey(*read_.rowidColumn)) {
        parameters.AddText(change->value);
        return read_.rowidName + " = CAST(? AS INTEGER)";
      }
      if (static_cast<std::size_t>(read_.rowidAt) >= row.size() || !row[static_cast<std::size_t>(read_.rowidAt)])
        throw Error("The row's identity was not read, so it cannot be changed.");
      parameters.AddText(row[static_cast<std::size_t>(read_.rowidAt)]);
      return read_.rowidName + " = CAST(? AS INTEGER)";
    case TableRead::Identity::SqliteKey:
    case TableRead::Identity::PrimaryKey:
      for (int column : read_.key) {
        if (changedKey(column)) {
          add(PlainMatchOf(read_.quotedColumns[static_cast<std::size_t>(column)], change->value, parameters));
        } else if (read_.identity == TableRead::Identity::SqliteKey) {
          add(SqliteMatch(row, column, parameters));
        } else {
          add(PlainMatch(row, column, parameters));
        }
      }
      return match;
    case TableRead::Identity::None:
      break;
  }
  throw Error(read_.unavailable.empty() ? "The rows of this table cannot be found again." : read_.unavailable);
}

std::string ChangePlanner::StillAsRead(const StoredRow& original, const std::vector<int>& changedColumns,
                                       BoundParameters& parameters) const {
  // Without row versions, the row must still hold exactly what was read:
  // a change by someone else is reported, never overwritten, and a rowid
  // or key handed on to another row never leads there.
  std::vector<std::string> parts;
  if (read_.identity == TableRead::Identity::SqliteRowid || read_.identity == TableRead::Identity::SqliteKey) {
    for (int column = 0; column < static_cast<int>(columns_.size()); ++column)
      if (!columns_[static_cast<std::size_t>(column)].isBinary())
        parts.push_back(SqliteMatch(original, column, parameters));
  } else if (read_.identity == TableRead::Identity::PrimaryKey) {
    // The changed cell, or for a whole row every cell that compares exactly;
    // where the columns are known (MariaDB), every such cell always, as a
    // row version would.
    for (int column = 0; column < static_cast<int>(columns_.size()); ++column) {
      const bool inKey = std::ranges::find(read_.key, column) != read_.key.end();
      const bool wanted = changedColumns.empty() || read_.knownColumns ? ExactlyComparable(column)
                                                 : std::ranges::find(changedColumns, column) != changedColumns.end();
      if (wanted && !inKey) parts.push_back(PlainMatch(original, column, parameters));
    }
  }
  return parts.empty() ? std::string() : " AND " + Balanced(parts, "AND");
}

std::string ChangePlanner::Slot(const CellChange& change) const {
  // A value put back as it was stored keeps its storage class, whatever
  // the column's affinity would make of its text.
  switch (change.storage) {
    case 'i':
      return "CAST(? AS INTEGER)";
    case 'r':
      return "CAST(? AS REAL)";
    case 'b':
      return "CAST(? AS BLOB)";
    default:
      return read_.ValueMarker(change.column);
  }
}

void ChangePlanner::AddValue(const CellChange& change, BoundParameters& parameters) const {
  const std::optional<std::string>& value = change.value;
  if ((columns_[static_cast<std::size_t>(change.column)].isBinary() || change.storage == 'b') && value)
    parameters.AddBytes(*value);
  else
    parameters.AddText(value);
}

PlannedStatement ChangePlanner::DeleteRow(const StoredRow& original) const {
  if (!read_.unavailable.empty()) throw Error(read_.unavailable);
  PlannedStatement planned;
  planned.sql = "DELETE FROM " + Target(original) + " WHERE " +
                IdentityMatch(original, std::nullopt, planned.parameters, true);
  planned.sql += StillAsRead(original, {}, planned.parameters);
  return planned;
}

std::optional<PlannedStatement> ChangePlanner::DeleteTuples(const std::vector<StoredRow>& originals) const {
  if (!read_.unavailable.empty() || read_.identity != TableRead::Identity::PostgresTuple) return std::nullopt;
  // Found through the tuple ids at once; each must still be in the version
  // read. The ids and versions go as two array values.
  std::string tids, versions;
  for (const StoredRow& original : originals) {
    const PostgresTuple tuple = Tuple(original);
    if (!tuple.inOwnTable) return std::nullopt;
    tids += (tids.empty() ? "{\"" : ",\"") + tuple.ctid + "\"";
    versions += (versions.empty() ? "{\"" : ",\"") + tuple.ctid + " " + tuple.xmin + "\"";
  }
  PlannedStatement planned;
  planned.parameters.AddText(tids + "}");
  planned.parameters.AddText(versions + "}");
  planned.sql = "DELETE FROM ONLY " + read_.quotedTable +
                " WHERE ctid = ANY(CAST(? AS tid[])) AND ctid::text || ' ' || xmin::text = ANY(CAST(? AS text[]))";
  planned.expectedRows = static_cast<long>(originals.size());
  return planned;
}

PlannedStatement ChangePlanner::InsertRow(const std::vector<CellChange>& cells) const {
  if (!read_.unavailable.empty()) throw Error(read_.unavailable);
  PlannedStatement planned;
  std::vector<std::string> names, slots;
  for (const CellChange& cell : cells) {
    // A number the database would choose may be given, as when a deleted
    // row goes back with its key; where the database insists on its own,
    // it refuses.
    const std::string reason = ReadOnlyReason(cell.column);
    if (!reason.empty() && !columns_.at(static_cast<std::size_t>(cell.column)).autoIncrement) throw Error(reason);
    names.push_back(read_.quotedColumns[static_cast<std::size_t>(cell.column)]);
    slots.push_back(Slot(cell));
    AddValue(cell, planned.parameters);
  }
  planned.sql = "INSERT INTO " + read_.quotedTable;
  if (names.empty()) {
    planned.sql += " DEFAULT VALUES";
  } else {
    planned.sql +=
        " (" + Join(names, ", ") + ") VALUES (" + Join(slots, ", ") + ")";
  }
  if (read_.identity == TableRead::Identity::PostgresTuple) {
    planned.sql += " RETURNING " + read_.SelectList();
    planned.returnsRows = true;
  }
  return planned;
}

std::optional<PlannedStatement> ChangePlanner::ReadInserted(const std::vector<CellChange>& cells) const {
  PlannedStatement planned;
  planned.returnsRows = true;
  const std::string select = "SELECT " + read_.SelectList() + " FROM " + read_.quotedTable + " WHERE ";
  if (read_.identity == TableRead::Identity::SqliteRowid) {
    // On the writer, in the insert's own transaction.
    planned.sql = select + read_.rowidName + " = last_insert_rowid()";
    return planned;
  }
  if (read_.key.empty() || read_.identity == TableRead::Identity::PostgresTuple) return std::nullopt;
  const int first = read_.key.front();
  if (read_.knownColumns && read_.key.size() == 1 && columns_[static_cast<std::size_t>(first)].autoIncrement &&
      std::ranges::find(cells, first, &CellChange::column) == cells.end()) {
    // MariaDB: the number the insert drew, on the writer's own session.
    planned.sql = select + read_.quotedColumns[static_cast<std::size_t>(first)] + " = LAST_INSERT_ID()";
    return planned;
  }
  // By the key the user gave, which names one row at most.
  std::vector<std::string> parts;
  for (int column : read_.key) {
    const auto given = std::ranges::find(cells, column, &CellChange::column);
    if (given == cells.end() || !given->value) return std::nullopt;
    parts.push_back(PlainMatchOf(read_.quotedColumns[static_cast<std::size_t>(column)], given->value,
                                 planned.parameters));
  }
  planned.sql = select + Join(parts, " AND ");
  return planned;
}

PlannedStatement ChangePlanner::UpdateCell(const StoredRow& original, const CellChange& change) const {
  return UpdateRow(original, {change});
}

PlannedStatement ChangePlanner::UpdateRow(const StoredRow& original, const std::vector<CellChange>& changes) const {
  PlannedStatement planned;
  std::vector<std::string> sets;
  std::vector<int> changed;
  for (const CellChange& change : changes) {
    const std::string reason = ReadOnlyReason(change.column);
    if (!reason.empty()) throw Error(reason);
    sets.push_back(read_.quotedColumns[static_cast<std::size_t>(change.column)] + " = " + Slot(change));
    AddValue(change, planned.parameters);
    changed.push_back(change.column);
  }
  if (sets.empty()) throw Error("There is nothing to change.");
  std::string sql = "UPDATE " + Target(original) + " SET " + Join(sets, ", ") + " WHERE " +
                    IdentityMatch(original, std::nullopt, planned.parameters, true);
  sql += StillAsRead(original, changed, planned.parameters);
  if (read_.identity == TableRead::Identity::PostgresTuple) {
    sql += " RETURNING " + read_.SelectList();
    planned.returnsRows = true;
  }
  planned.sql = std::move(sql);
  return planned;
}

bool ChangePlanner::CanFindAgain() const {
  // A rowid that is no key may have been handed to another row.
  if (read_.identity == TableRead::Identity::SqliteRowid) return read_.rowidColumn || !read_.key.empty();
  return read_.identity != TableRead::Identity::None;
}

PlannedStatement ChangePlanner::ReadRow(const StoredRow& original, const std::optional<CellChange>& change,
                                        bool justWritten) const {
  PlannedStatement planned;
  planned.sql = "SELECT " + read_.SelectList() + " FROM " + Target(original) + " WHERE " +
                IdentityMatch(original, change, planned.parameters, justWritten);
  planned.returnsRows = true;
  return planned;
}

std::optional<PlannedStatement> ChangePlanner::ReadRowByKey(
    const StoredRow& original, const std::vector<std::pair<int, std::string>>& key) const {
  if (key.empty()) return std::nullopt;
  PlannedStatement planned;
  // Only the table, not the physical place: a changed row has moved.
  std::string match = "tableoid = CAST(? AS oid)";
  planned.parameters.AddText(Tuple(original).tableOid);
  for (const auto& [column, type] : key) {
    const auto index = static_cast<std::size_t>(column);
    if (!original[index]) return std::nullopt;
    planned.parameters.AddText(original[index]);
    match += " AND " + read_.quotedColumns[index] + " = CAST(? AS " + type + ")";
  }
  planned.sql = "SELECT " + read_.SelectList() + " FROM " + read_.quotedTable + " WHERE " + match;
  planned.returnsRows = true;
  return planned;
}

PlannedStatement ChangePlanner::ReadRowVersion(const StoredRow& original) const {
  PlannedStatement planned;
  planned.sql = "SELECT " + read_.SelectList() + " FROM " + Target(original) + " WHERE " +
                TupleMatch(original, planned.parameters, true);
  planned.returnsRows = true;
  return planned;
}

}  // namespace ado
