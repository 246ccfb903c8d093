#include "SqliteDialect.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "../DataSourceFacts.h"
#include "../DataSourceOptions.h"
#include "../OdbcConnection.h"
#include "../OdbcStatement.h"
#include "../SqlText.h"
#include "../StatementRows.h"
#include "../TableRead.h"
#include "../WritePermissions.h"
#include "SqliteCellMatch.h"
#include "SqliteCellStorage.h"
#include "SqliteSortedQuery.h"
#include "TableReadPlans.h"

namespace ado {
namespace {

constexpr const char* OwnTables =
    "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, name AS TABLE_NAME, "
    "CASE type WHEN 'table' THEN 'TABLE' ELSE 'VIEW' END AS TABLE_TYPE, NULL AS REMARKS "
    "FROM main.sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite!_%' ESCAPE '!' "
    "ORDER BY 4, 3";

bool ByRowid(const TableRead& read) { return read.identity == TableRead::Identity::SqliteRowid; }

bool IsInteger(const std::string& text) {
  const std::size_t digits = text.starts_with('-') ? 1 : 0;
  return text.size() > digits && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                                             [](unsigned char c) { return std::isdigit(c) != 0; });
}

// What holds while the cell stores exactly what the row read holds there,
// in its storage class.
std::string CellMatch(const WriteShape& shape, const StoredRow& row, int column, BoundParameters& parameters) {
  const TableRead& read = shape.read;
  const auto index = static_cast<std::size_t>(column);
  const std::optional<std::string>& value = row[index];
  const auto marksAt = static_cast<std::size_t>(read.marksAt);
  const std::string marks = marksAt < row.size() && row[marksAt] ? *row[marksAt] : std::string();
  const SqliteCellStorage storage = StorageOfCell(!value, read.usualStorage[index], marks, column);
  // A BLOB read as text comes as X'...'; text with a NUL whole from the marks.
  std::optional<std::string> exact = value;
  if (storage.storageClass == 'b' && value && !shape.columns[index].isBinary()) exact = BlobOfDriverText(*value);
  if (storage.storageClass == 't' && storage.text) exact = storage.text;
  return SqliteCellMatch(read.quotedColumns[index], storage.storageClass, exact, parameters, storage.exact);
}

}  // namespace

void SqliteDialect::Learn(const std::string& connectionString, DataSourceFacts& facts) const {
  facts.readerBlocksWriters = true;
  facts.oneStatementAtATime = true;
  // SQLite opens a file named as "file:...?mode=ro" (or immutable) read-only.
  const std::string database = DataSourceOption(connectionString, "Database").value_or("");
  facts.opensReadOnly = database.starts_with("file:") && (database.find("mode=ro") != std::string::npos ||
                                                          database.find("immutable=1") != std::string::npos);
}

void SqliteDialect::CheckReadable(OdbcConnection& connection) const {
  // The driver connects without opening the file; a server has read its
  // database to connect at all.
  QueryRows(connection, "SELECT count(*) FROM main.sqlite_master");
}

void SqliteDialect::ListOwnTables(OdbcStatement& statement) const { statement.ExecDirect(OwnTables); }

void SqliteDialect::PlanRead(OdbcConnection& connection, TableRead& read) const { PlanSqliteRead(connection, read); }

std::vector<int> SqliteDialect::IdentityCells(const TableRead& read, int visible) const {
  if (ByRowid(read)) return {read.rowidAt};
  return Dialect::IdentityCells(read, visible);
}

std::vector<int> SqliteDialect::OrderKeyCells(const TableRead& read, int visible) const {
  if (ByRowid(read)) return {read.rowidAt};
  return Dialect::OrderKeyCells(read, visible);
}

std::optional<std::string> SqliteDialect::ExactText(const TableRead& read, std::string_view marks, int column) const {
  if (marks.empty()) return std::nullopt;
  SqliteCellStorage storage = StorageOfCell(false, read.usualStorage[static_cast<std::size_t>(column)], marks, column);
  if (storage.text) return std::move(storage.text);
  if (!storage.exact) return std::nullopt;
  return ExactRealText(*storage.exact);
}

CellChange SqliteDialect::ExactCell(const TableRead& read, const ColumnInfo& column, const StoredRow& row,
                                    int index) const {
  const std::optional<std::string>& value = row.at(static_cast<std::size_t>(index));
  if (!read.hasStorageMarks()) return {index, value};
  const std::optional<std::string>& marks = row.at(static_cast<std::size_t>(read.marksAt));
  const SqliteCellStorage storage = StorageOfCell(!value, read.usualStorage[static_cast<std::size_t>(index)],
                                                  marks ? *marks : std::string(), index);
  std::optional<std::string> exact = value && marks ? ExactText(read, *marks, index) : std::nullopt;
  // A BLOB read as text goes back as its bytes.
  if (!exact && value && storage.storageClass == 'b' && !column.isBinary()) exact = BlobOfDriverText(*value);
  return {index, exact ? exact : value, storage.storageClass};
}

std::string SqliteDialect::Contains(const std::string& column, const std::string& escape) const {
  // SQLite's LIKE sets case aside by itself (for ASCII letters).
  return "CAST(" + column + " AS TEXT) LIKE ?" + escape;
}

std::string SqliteDialect::Holds(const TableRead& read, const RowView::ValueFilter& filter,
                                 BoundParameters& parameters) const {
  return SqliteCellMatch(read.quotedColumns.at(static_cast<std::size_t>(filter.column)), filter.storage, filter.value,
                         parameters);
}

std::vector<std::string> SqliteDialect::TieBreakers(const TableRead& read, const std::string& sorted) const {
  if (ByRowid(read)) return {read.rowidName};
  return Dialect::TieBreakers(read, sorted);
}

std::optional<std::string> SqliteDialect::SortedQuery(const TableRead& read, const std::string& where,
                                                      const std::vector<std::string>& order, std::size_t rows,
                                                      std::size_t skip) const {
  if (!SortsRowidsFirst(read, true)) return std::nullopt;
  return SqliteSortedQuery(read, where, order, rows, skip);
}

bool SqliteDialect::ReadsOnByKeys(const TableRead& read) const { return ByRowid(read) && !read.orderKeys.empty(); }

std::string SqliteDialect::KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                                    BoundParameters& parameters) const {
  if (!ByRowid(read)) return Dialect::KeyValue(read, key, value, parameters);
  // A rowid goes as the number it is.
  if (!IsInteger(value)) throw Error("The row to read from is not known by its rowid.");
  return value;
}

std::string SqliteDialect::EstimateQuery(const TableRead& read, std::vector<std::string>&) const {
  // Rowids given by SQLite itself run from 1 up, with gaps where rows went.
  if (!ByRowid(read)) return {};
  return "SELECT max(" + read.rowidName + ") FROM " + read.quotedTable + " WHERE " + read.rowidName + " > 0";
}

bool SqliteDialect::OrderKeyIsInteger(const TableRead& read, const ColumnInfo& cell) const {
  // The driver describes a rowid read by its name as of no type.
  return ByRowid(read) || Dialect::OrderKeyIsInteger(read, cell);
}

std::string SqliteDialect::DatabaseFile(OdbcConnection& connection) const {
  try {
    // database_list: seq, name, file.
    for (const TextRow& row : QueryRows(connection, "PRAGMA database_list"))
      if (row.size() >= 3 && row[1] && *row[1] == "main" && row[2]) return *row[2];
  } catch (const Error&) {
  }
  return {};
}

WritePermissions SqliteDialect::AskPermissions(OdbcConnection& connection, const TableRead&,
                                               const std::vector<ColumnInfo>&) const {
  // A file SQLite may not write it opens read-only, as it does one the data
  // source names so. Asked of the file and the data source, not by a write:
  // an unfinished read may hold a lock.
  WritePermissions permissions;
  const std::string file = DatabaseFile(connection);
  if (connection.facts().opensReadOnly || (!file.empty() && access(file.c_str(), W_OK) != 0))
    permissions.everything =
        "The database file can only be read: it is read-only for you, or the data source opens it read-only. "
        "Nothing can be changed here.";
  return permissions;
}

std::string SqliteDialect::RowMatch(const WriteShape& shape, const StoredRow& row,
                                    const std::optional<CellChange>& change, BoundParameters& parameters,
                                    bool forWrite) const {
  const TableRead& read = shape.read;
  const auto changedKey = [&](int column) { return change && change->column == column; };
  // By the declared key, each cell in its storage class; a key cell changed
  // by the write by its new value.
  const auto byKey = [&] {
    std::vector<std::string> parts;
    for (int column : read.key)
      parts.push_back(changedKey(column) ? MatchValue(read.quotedColumns[static_cast<std::size_t>(column)],
                                                      change->value, parameters)
                                         : CellMatch(shape, row, column, parameters));
    return Join(parts, " AND ");
  };
  if (read.identity == TableRead::Identity::SqliteKey) return byKey();
  if (!ByRowid(read)) return Dialect::RowMatch(shape, row, change, parameters, forWrite);
  // Found again by its declared key, which VACUUM leaves alone.
  if (!read.rowidColumn && !read.key.empty() && !forWrite) return byKey();
  if (read.rowidColumn && changedKey(*read.rowidColumn)) {
    // The key as the database stored it: the column's integer affinity
    // makes "1e3" 1000 here as it did in the write (a cast would make it 1).
    parameters.AddText(change->value);
    return read.quotedColumns[static_cast<std::size_t>(*read.rowidColumn)] + " = ?";
  }
  if (static_cast<std::size_t>(read.rowidAt) >= row.size() || !row[static_cast<std::size_t>(read.rowidAt)])
    throw Error("The row's identity was not read, so it cannot be changed.");
  parameters.AddText(row[static_cast<std::size_t>(read.rowidAt)]);
  return read.rowidName + " = CAST(? AS INTEGER)";
}

std::string SqliteDialect::StillAsRead(const WriteShape& shape, const StoredRow& original, const std::vector<int>&,
                                       BoundParameters& parameters) const {
  // Without row versions, the row must still hold exactly what was read,
  // every cell, bytes too: a change by someone else is reported, never
  // overwritten, and a rowid or key handed on to another row never leads
  // there.
  std::vector<std::string> parts;
  for (int column = 0; column < static_cast<int>(shape.columns.size()); ++column)
    parts.push_back(CellMatch(shape, original, column, parameters));
  return parts.empty() ? std::string() : " AND " + Balanced(parts, "AND");
}

std::string SqliteDialect::ValueSlot(const WriteShape& shape, const CellChange& change) const {
  // A value put back as it was stored keeps its storage class, whatever
  // the column's affinity would make of its text.
  switch (change.storage) {
    case 'i':
      return "CAST(? AS INTEGER)";
    case 'r':
      if (auto infinite = InfiniteReal(change.value)) return *infinite;
      return "CAST(? AS REAL)";
    case 'b':
      return "CAST(? AS BLOB)";
    default:
      return Dialect::ValueSlot(shape, change);
  }
}

void SqliteDialect::BindValue(const WriteShape& shape, const CellChange& change, BoundParameters& parameters) const {
  if (change.storage == 'r' && InfiniteReal(change.value)) return;  // written as itself (see ValueSlot)
  // A BLOB goes as bytes, in a column of any type.
  if (change.value && change.storage == 'b')
    parameters.AddBytes(*change.value);
  else
    Dialect::BindValue(shape, change, parameters);
}

std::optional<PlannedStatement> SqliteDialect::ReadInserted(const WriteShape& shape,
                                                            const std::vector<CellChange>& cells) const {
  if (!ByRowid(shape.read)) return Dialect::ReadInserted(shape, cells);
  // On the writer, in the insert's own transaction.
  PlannedStatement planned;
  planned.returnsRows = true;
  planned.sql = "SELECT " + shape.read.SelectList() + " FROM " + shape.read.quotedTable + " WHERE " +
                shape.read.rowidName + " = last_insert_rowid()";
  return planned;
}

std::string SqliteDialect::ColumnsAsRead(const TableRead& read, BoundParameters& parameters) const {
  if (read.columnNames.empty()) return {};
  parameters.AddText(read.tableName);
  parameters.AddText(Join(read.columnNames, "\x1f"));
  return "(SELECT group_concat(name, char(31)) FROM (SELECT name FROM pragma_table_xinfo(?) WHERE hidden <> 1 "
         "ORDER BY cid)) = ?";
}

std::optional<PlannedStatement> SqliteDialect::FindAgain(OdbcConnection& connection, const WriteShape& shape,
                                                         const StoredRow& original,
                                                         const std::optional<CellChange>& change) const {
  const TableRead& read = shape.read;
  if (!ByRowid(read)) return Dialect::FindAgain(connection, shape, original, change);
  // A rowid that is no key may have been handed to another row: only a key
  // finds a changed row again. The rowid itself (INTEGER PRIMARY KEY) never
  // holds NULL; another key may, in any number of rows, and names none then.
  if (read.rowidColumn) return ReadRow(shape, original, change, false);
  if (read.key.empty() ||
      std::ranges::any_of(read.key, [&](int column) { return !original[static_cast<std::size_t>(column)]; }))
    return std::nullopt;
  return ReadRow(shape, original, change, false);
}

bool SqliteDialect::MeansBusy(const Error& error) const {
  const std::string text = error.what();
  return text.find("database is locked") != std::string::npos ||
         text.find("database table is locked") != std::string::npos ||
         text.find("database is busy") != std::string::npos;
}

}  // namespace ado
