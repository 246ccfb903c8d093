#include <algorithm>
#include <map>
#include <set>

#include "platform/ado/AdoError.h"
#include "../OdbcConnection.h"
#include "../SqlText.h"
#include "../StatementRows.h"
#include "../TableRead.h"
#include "TableReadPlans.h"

namespace ado {
namespace {

// The table's own name, byte for byte: information_schema compares names
// without regard to case, and a server on Linux holds "t" and "T" apart.
constexpr const char* SameTable = "TABLE_SCHEMA = DATABASE() AND CAST(TABLE_NAME AS BINARY) = CAST(? AS BINARY)";

bool IsText(const std::string& type) {
  static const std::set<std::string> text = {"char", "varchar", "tinytext", "text", "mediumtext", "longtext",
                                             "enum", "set", "json"};
  return text.contains(type);
}

bool IsInteger(const std::string& type) {
  static const std::set<std::string> integer = {"tinyint", "smallint", "mediumint", "int", "bigint"};
  return integer.contains(type);
}

bool IsTemporal(const std::string& type) {
  static const std::set<std::string> temporal = {"date", "datetime", "timestamp", "time", "year"};
  return temporal.contains(type);
}

struct MariaDbColumn {
  std::string quoted;
  std::string type;        // DATA_TYPE, lower case
  std::string columnType;  // COLUMN_TYPE: "decimal(10,2)", "int(10) unsigned"
  bool nullable = true;
};

// What compares exactly with the read text of a cell, bound as text; empty
// where nothing does (floating point, raw bytes, geometry).
std::string ExactMatch(const MariaDbColumn& column) {
  const std::string& c = column.quoted;
  // Byte for byte: the column's collation would take "a" for "A" and
  // "a " for "a". (Binary strings; MySQL knows no utf8mb4_nopad_bin.)
  if (IsText(column.type))
    return "CAST(CONVERT(" + c + " USING utf8mb4) AS BINARY) = CAST(CONVERT(? USING utf8mb4) AS BINARY)";
  // A number against text compares as a double, which cannot tell big
  // integers or long decimals apart.
  if (IsInteger(column.type) || column.type == "bit") {
    const bool unsignedType = column.type == "bit" || column.columnType.find("unsigned") != std::string::npos;
    return c + " = CAST(? AS " + (unsignedType ? "UNSIGNED" : "SIGNED") + ")";
  }
  if (column.type == "decimal") {
    const std::string type = Upper(column.columnType);
    const auto unsignedAt = type.find(" UNSIGNED");
    return c + " = CAST(? AS " + (unsignedAt == std::string::npos ? type : type.substr(0, unsignedAt)) + ")";
  }
  // Text compared with a date or time is read as one.
  if (IsTemporal(column.type)) return c + " = ?";
  return {};
}

// Cells read as text where the driver's own form would lose part of the
// value: zero dates have no ODBC form, bits come as raw bytes.
std::string ReadAs(const MariaDbColumn& column) {
  if (column.type == "bit") return "CAST(" + column.quoted + " + 0 AS CHAR) AS " + column.quoted;
  if (IsTemporal(column.type) && column.type != "year")
    return "CAST(" + column.quoted + " AS CHAR) AS " + column.quoted;
  return column.quoted;
}

// A key that names one row at most: the primary key, else a unique index
// over whole columns that cannot hold NULL. Column names as read.
std::vector<std::string> RowKey(OdbcConnection& connection, const std::string& table,
                                const std::map<std::string, bool>& nullable) {
  const auto rows = QueryRows(connection,
                              std::string("SELECT INDEX_NAME, COLUMN_NAME, SUB_PART FROM information_schema.STATISTICS "
                                          "WHERE ") + SameTable +
                                  " AND NON_UNIQUE = 0 ORDER BY INDEX_NAME <> 'PRIMARY', INDEX_NAME, SEQ_IN_INDEX",
                              {table});
  std::vector<std::string> key;
  std::string index;
  bool usable = false;
  for (const TextRow& row : rows) {
    if (row.size() < 3 || !row[0] || !row[1]) continue;
    if (*row[0] != index) {
      if (usable && !key.empty()) return key;
      index = *row[0];
      key.clear();
      usable = true;
    }
    const auto found = nullable.find(*row[1]);
    if (row[2] || found == nullable.end() || found->second) usable = false;
    key.push_back(*row[1]);
  }
  return usable ? key : std::vector<std::string>{};
}

}  // namespace

void PlanMariaDbRead(OdbcConnection& connection, TableRead& read) {
  read.visibleList = "*";
  const DataSourceFacts& facts = connection.facts();
  std::vector<TextRow> kind, columnRows;
  try {
    // The table's kind, its storage engine and whether that keeps
    // transactions (it is the table's, not the connection's).
    kind = QueryRows(connection,
                     std::string("SELECT TABLE_TYPE, ENGINE, (SELECT e.TRANSACTIONS FROM information_schema.ENGINES e "
                                 "WHERE e.ENGINE = t.ENGINE) FROM information_schema.TABLES t WHERE ") +
                         SameTable,
                     {read.tableName});
    // EXTRA tells invisible columns, which SELECT * leaves out, and those
    // the server computes.
    columnRows = QueryRows(connection,
                           std::string("SELECT COLUMN_NAME, LOWER(DATA_TYPE), LOWER(COLUMN_TYPE), IS_NULLABLE, "
                                       "UPPER(EXTRA) FROM information_schema.COLUMNS WHERE ") +
                               SameTable + " ORDER BY ORDINAL_POSITION",
                           {read.tableName});
  } catch (const Error&) {
  }
  if (kind.empty() || columnRows.empty() || !kind[0][0]) {
    read.unavailable = "The table could not be found in the database's catalogue, so a row cannot be found again "
                       "to change it.";
    return;
  }
  std::vector<std::string> names, list;
  std::map<std::string, bool> nullable;
  bool reread = false;
  for (const TextRow& row : columnRows) {
    if (row.size() < 5 || !row[0]) continue;
    const std::string extra = row[4].value_or("");
    if (extra.find("INVISIBLE") != std::string::npos) continue;
    const MariaDbColumn column{facts.Quote(*row[0]), row[1].value_or(""), row[2].value_or(""), row[3] != "NO"};
    names.push_back(*row[0]);
    read.columnNames.push_back(*row[0]);
    nullable[*row[0]] = column.nullable;
    read.quotedColumns.push_back(column.quoted);
    read.holdsText.push_back(IsText(column.type));
    read.generated.push_back(extra.find("GENERATED") != std::string::npos);
    read.exactMatch.push_back(ExactMatch(column));
    read.valueAs.push_back(column.type == "bit" ? "CAST(? AS UNSIGNED)" : "");
    list.push_back(ReadAs(column));
    reread = reread || list.back() != column.quoted;
  }
  if (reread) read.visibleList = Join(list, ", ");
  read.knownColumns = true;
  if (kind[0].size() >= 3 && kind[0][1] && kind[0][2] && *kind[0][2] != "YES")
    read.withoutTransactions = "The table is stored by the " + *kind[0][1] + " engine, which keeps no transactions";
  if (*kind[0][0] != "BASE TABLE" && *kind[0][0] != "SYSTEM VERSIONED") {
    read.unavailable = "The rows do not come from one plain table, so a row cannot be found again to change it.";
    return;
  }
  for (const std::string& name : RowKey(connection, read.tableName, nullable)) {
    const auto found = std::ranges::find(names, name);
    // A key that cannot be compared exactly (floating point) names no row
    // for sure.
    if (found == names.end() || read.exactMatch[static_cast<std::size_t>(found - names.begin())].empty()) {
      read.key.clear();
      break;
    }
    read.key.push_back(static_cast<int>(found - names.begin()));
  }
  if (read.key.empty()) {
    // Rows alike in every value cannot be told apart, and some values
    // (floating point, raw bytes) cannot be compared exactly at all.
    read.unavailable = "The table has no primary key and no unique key over columns that cannot be empty and "
                       "compare exactly, so a changed row could not be found again exactly; it is shown read-only.";
    return;
  }
  read.identity = TableRead::Identity::PrimaryKey;
  for (int column : read.key) read.orderKeys.push_back(read.quotedColumns[static_cast<std::size_t>(column)]);
  read.orderBy = " ORDER BY " + Join(read.orderKeys, ", ");
}

}  // namespace ado
