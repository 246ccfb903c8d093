#include "MariaDbDialect.h"

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "../DataSourceFacts.h"
#include "../DataSourceOptions.h"
#include "../OdbcConnection.h"
#include "../OdbcStatement.h"
#include "../SqlText.h"
#include "../TableRead.h"
#include "TableReadPlans.h"

namespace ado {
namespace {

constexpr const char* OwnTables =
    "SELECT TABLE_SCHEMA AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, TABLE_NAME, "
    "CASE TABLE_TYPE WHEN 'BASE TABLE' THEN 'TABLE' WHEN 'SYSTEM VERSIONED' THEN 'TABLE' ELSE TABLE_TYPE END "
    "AS TABLE_TYPE, TABLE_COMMENT AS REMARKS FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
    "AND TABLE_SCHEMA NOT IN ('information_schema', 'performance_schema', 'mysql', 'sys') ORDER BY 4, 3";

// How long a write waits for another session's row lock (the server's
// default is 50 seconds) and for a table lock (LOCK TABLES, a change of the
// table's definition: a day).
constexpr int LockWaitSeconds = 5;

}  // namespace

void MariaDbDialect::Learn(const std::string&, DataSourceFacts& facts) const {
  // The driver claims SQL_GD_BLOCK, but SQLGetData on a row of a block
  // after SQLSetPos reads something else than that row's cell.
  facts.blockGetData = false;
}

std::string MariaDbDialect::ConnectionString(const std::string& given) const {
  // The driver counts changed rows unless told otherwise, and "0 rows"
  // would then also mean "written over with the same value".
  return WithFoundRows(given);
}

void MariaDbDialect::ListOwnTables(OdbcStatement& statement) const { statement.ExecDirect(OwnTables); }

void MariaDbDialect::PlanRead(OdbcConnection& connection, TableRead& read) const { PlanMariaDbRead(connection, read); }

bool MariaDbDialect::ReadsOnByKeys(const TableRead& read) const {
  // The key names one row at most and compares as the rows are ordered.
  return read.identity == TableRead::Identity::PrimaryKey && read.orderKeys.size() == read.key.size() &&
         !read.key.empty();
}

std::string MariaDbDialect::KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                                     BoundParameters& parameters) const {
  parameters.AddText(value);
  // A number as its own type (against text it compares as a double); text
  // under the column's collation, which orders the rows.
  const auto column = static_cast<std::size_t>(read.key.at(key));
  const std::string& exact = read.exactMatch.at(column);
  const std::size_t equals = exact.find(" = ");
  if (read.holdsText.at(column) || equals == std::string::npos) return "?";
  return exact.substr(equals + 3);
}

std::string MariaDbDialect::EstimateQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  // The storage engine's guess (InnoDB's from a sample of pages).
  parameters.push_back(read.tableName);
  return "SELECT TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
         "AND CAST(TABLE_NAME AS BINARY) = CAST(? AS BINARY)";
}

void MariaDbDialect::SetUpWriter(OdbcConnection& writer) const {
  const std::string seconds = std::to_string(LockWaitSeconds);
  OdbcStatement(writer).ExecDirect("SET SESSION innodb_lock_wait_timeout = " + seconds +
                                   ", lock_wait_timeout = " + seconds);
}

std::optional<PlannedStatement> MariaDbDialect::ReadInserted(const WriteShape& shape,
                                                             const std::vector<CellChange>& cells) const {
  const TableRead& read = shape.read;
  if (read.key.size() == 1) {
    const int first = read.key.front();
    if (shape.columns[static_cast<std::size_t>(first)].autoIncrement &&
        std::ranges::find(cells, first, &CellChange::column) == cells.end()) {
      // The number the insert drew, on the writer's own session.
      PlannedStatement planned;
      planned.returnsRows = true;
      planned.sql = "SELECT " + read.SelectList() + " FROM " + read.quotedTable + " WHERE " +
                    read.quotedColumns[static_cast<std::size_t>(first)] + " = LAST_INSERT_ID()";
      return planned;
    }
  }
  return Dialect::ReadInserted(shape, cells);
}

std::string MariaDbDialect::ColumnsAsRead(const TableRead& read, BoundParameters& parameters) const {
  // Asked of information_schema, which costs too much for every write: only
  // where a write reached no row.
  if (read.columnNames.empty()) return {};
  parameters.AddText(read.tableName);
  parameters.AddText(Join(read.columnNames, "\x1f"));
  return "(SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY ORDINAL_POSITION SEPARATOR '\x1f') FROM information_schema.COLUMNS "
         "WHERE TABLE_SCHEMA = DATABASE() AND CAST(TABLE_NAME AS BINARY) = CAST(? AS BINARY) "
         "AND UPPER(EXTRA) NOT LIKE '%INVISIBLE%') = ?";
}

bool MariaDbDialect::MeansTimeLimit(const Error& error) const {
  // max_statement_time (MariaDB), max_execution_time (MySQL).
  const std::string text = error.what();
  return text.find("max_statement_time exceeded") != std::string::npos ||
         text.find("maximum statement execution time exceeded") != std::string::npos;
}

bool MariaDbDialect::MeansBusy(const Error& error) const {
  return std::string(error.what()).find("Lock wait timeout exceeded") != std::string::npos;
}

}  // namespace ado
