// What holds for a database this layer knows nothing more of: standard SQL,
// rows found again by the key the catalogue names, every value bound.
#include "Dialect.h"

#include <sqlext.h>

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "../OdbcStatement.h"
#include "../SqlText.h"
#include "../TableRead.h"
#include "../WritePermissions.h"

namespace ado {
namespace {

bool InKey(const TableRead& read, int column) { return std::ranges::find(read.key, column) != read.key.end(); }

// The cell holds the value as read, bound as text; exactly where the
// catalogue tells how (see TableRead::exactMatch).
std::string KeyCellMatch(const TableRead& read, const StoredRow& row, int column, BoundParameters& parameters) {
  const auto index = static_cast<std::size_t>(column);
  const std::string& c = read.quotedColumns[index];
  if (!row[index]) return c + " IS NULL";
  parameters.AddText(row[index]);
  return read.knownColumns && !read.exactMatch[index].empty() ? read.exactMatch[index] : c + " = ?";
}

// Whether the column's values compare exactly with the text they are read
// as: not floating point, raw bytes or long values.
bool ExactlyComparable(const WriteShape& shape, int column) {
  const auto index = static_cast<std::size_t>(column);
  if (shape.read.knownColumns) return !shape.read.exactMatch.at(index).empty();
  const ColumnInfo& info = shape.columns[index];
  switch (info.sqlType) {
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
    case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR: case SQL_LONGVARBINARY:
      return false;
    default:
      return !info.isBinary();
  }
}

}  // namespace

std::string MatchValue(const std::string& column, const std::optional<std::string>& value,
                       BoundParameters& parameters) {
  if (!value) return column + " IS NULL";
  parameters.AddText(value);
  return column + " = ?";
}

void Dialect::Learn(const std::string&, DataSourceFacts&) const {}

void Dialect::ListOwnTables(OdbcStatement& statement) const { statement.AllTables(); }

void Dialect::PlanRead(OdbcConnection&, TableRead& read) const { read.visibleList = "*"; }

std::vector<int> Dialect::IdentityCells(const TableRead& read, int) const {
  return read.identity == TableRead::Identity::None ? std::vector<int>{} : read.key;
}

std::vector<int> Dialect::OrderKeyCells(const TableRead& read, int) const {
  return read.orderColumns.empty() ? read.key : read.orderColumns;
}

CellChange Dialect::ExactCell(const TableRead&, const ColumnInfo&, const StoredRow& row, int index) const {
  return {index, row.at(static_cast<std::size_t>(index))};
}

std::string Dialect::Contains(const std::string& column, const std::string& escape) const {
  return "LOWER(CAST(" + column + " AS CHAR)) LIKE LOWER(?)" + escape;
}

std::string Dialect::Holds(const TableRead& read, const RowView::ValueFilter& filter,
                           BoundParameters& parameters) const {
  const auto index = static_cast<std::size_t>(filter.column);
  parameters.AddText(filter.value);
  if (read.knownColumns && index < read.exactMatch.size() && !read.exactMatch[index].empty())
    return read.exactMatch[index];
  return read.quotedColumns.at(index) + " = ?";
}

std::vector<std::string> Dialect::TieBreakers(const TableRead& read, const std::string&) const {
  std::vector<std::string> key;
  for (int column : read.key) key.push_back(read.quotedColumns.at(static_cast<std::size_t>(column)));
  return key;
}

std::string Dialect::KeyValue(const TableRead&, std::size_t, const std::string& value,
                              BoundParameters& parameters) const {
  parameters.AddText(value);
  return "?";
}

bool Dialect::OrderKeyIsInteger(const TableRead& read, const ColumnInfo& cell) const {
  if (read.orderKeys.size() != 1) return false;
  switch (cell.sqlType) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
      return true;
    default:
      return false;
  }
}

WritePermissions Dialect::AskPermissions(OdbcConnection&, const TableRead&, const std::vector<ColumnInfo>&) const {
  return {};
}

std::string Dialect::WriteTarget(const WriteShape& shape, const StoredRow&) const { return shape.read.quotedTable; }

std::string Dialect::RowMatch(const WriteShape& shape, const StoredRow& row, const std::optional<CellChange>& change,
                              BoundParameters& parameters, bool) const {
  const TableRead& read = shape.read;
  if (read.identity == TableRead::Identity::None || read.key.empty())
    throw Error(read.unavailable.empty() ? "The rows of this table cannot be found again." : read.unavailable);
  // After a stored change of a key column the row goes by the new value.
  std::vector<std::string> parts;
  for (int column : read.key)
    parts.push_back(change && change->column == column
                        ? MatchValue(read.quotedColumns[static_cast<std::size_t>(column)], change->value, parameters)
                        : KeyCellMatch(read, row, column, parameters));
  return Join(parts, " AND ");
}

std::string Dialect::StillAsRead(const WriteShape& shape, const StoredRow& original, const std::vector<int>& changed,
                                 BoundParameters& parameters) const {
  // Without row versions, the row must still hold what was read: the
  // changed cell, or for a whole row every cell that compares exactly;
  // where the columns are known, every such cell always, as a row version
  // would.
  std::vector<std::string> parts;
  for (int column = 0; column < static_cast<int>(shape.columns.size()); ++column) {
    const bool wanted = changed.empty() || shape.read.knownColumns ? ExactlyComparable(shape, column)
                                                                    : std::ranges::find(changed, column) != changed.end();
    if (wanted && !InKey(shape.read, column)) parts.push_back(KeyCellMatch(shape.read, original, column, parameters));
  }
  return parts.empty() ? std::string() : " AND " + Balanced(parts, "AND");
}

std::string Dialect::ValueSlot(const WriteShape& shape, const CellChange& change) const {
  return shape.read.ValueMarker(change.column);
}

void Dialect::BindValue(const WriteShape& shape, const CellChange& change, BoundParameters& parameters) const {
  if (change.value && shape.columns.at(static_cast<std::size_t>(change.column)).isBinary())
    parameters.AddBytes(*change.value);
  else
    parameters.AddText(change.value);
}

std::optional<PlannedStatement> Dialect::ReadInserted(const WriteShape& shape,
                                                      const std::vector<CellChange>& cells) const {
  // By the key the user gave, which names one row at most.
  const TableRead& read = shape.read;
  if (read.key.empty()) return std::nullopt;
  PlannedStatement planned;
  planned.returnsRows = true;
  std::vector<std::string> parts;
  for (int column : read.key) {
    const auto given = std::ranges::find(cells, column, &CellChange::column);
    if (given == cells.end() || !given->value) return std::nullopt;
    parts.push_back(MatchValue(read.quotedColumns[static_cast<std::size_t>(column)], given->value, planned.parameters));
  }
  planned.sql = "SELECT " + read.SelectList() + " FROM " + read.quotedTable + " WHERE " + Join(parts, " AND ");
  return planned;
}

std::string Dialect::ColumnReadOnlyReason(const WriteShape& shape, int column) const {
  const ColumnInfo& info = shape.columns.at(static_cast<std::size_t>(column));
  // Where the columns come from the catalogue, the database itself decides
  // what may be written; a driver's guess about a column read as the
  // server's text says nothing.
  if (!info.updatable && !shape.read.knownColumns)
    return "The data source reports the column \"" + info.name + "\" as read-only.";
  if (!InKey(shape.read, column) && !ExactlyComparable(shape, column))
    return "The column \"" + info.name +
           "\" holds values that cannot be compared exactly, so a change by someone else could go unnoticed; "
           "it cannot be edited here.";
  return {};
}

PlannedStatement Dialect::ReadRow(const WriteShape& shape, const StoredRow& row,
                                  const std::optional<CellChange>& change, bool forWrite) const {
  PlannedStatement planned;
  planned.sql = "SELECT " + shape.read.SelectList() + " FROM " + WriteTarget(shape, row) + " WHERE " +
                RowMatch(shape, row, change, planned.parameters, forWrite);
  planned.returnsRows = true;
  return planned;
}

std::optional<PlannedStatement> Dialect::FindAgain(OdbcConnection&, const WriteShape& shape, const StoredRow& original,
                                                   const std::optional<CellChange>& change) const {
  const TableRead& read = shape.read;
  if (read.identity == TableRead::Identity::None || read.key.empty()) return std::nullopt;
  // A key that holds NULL names no row.
  if (std::ranges::any_of(read.key, [&](int column) { return !original[static_cast<std::size_t>(column)]; }))
    return std::nullopt;
  return ReadRow(shape, original, change, false);
}

bool Dialect::CountsChangedRows(const TableRead&) const { return true; }

}  // namespace ado
