#include "ReadResumption.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "Identifier.h"
#include "OdbcStatement.h"
#include "StatementRows.h"
#include "WritePlan.h"

namespace ado {
namespace {

std::string Upper(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::vector<TextRow> Rows(OdbcConnection& connection, const std::string& sql) {
  OdbcStatement statement(connection);
  statement.ExecDirect(sql);
  return ReadAllRows(statement);
}

// The name of the table's INTEGER PRIMARY KEY when it is the rowid itself.
// Only a single-column key declared exactly INTEGER is; "INTEGER PRIMARY KEY
// DESC" and WITHOUT ROWID tables keep an index of origin "pk" instead.
std::optional<std::string> RowidKey(OdbcConnection& connection, const std::string& quotedTable) {
  // table_info: cid, name, type, notnull, dflt_value, pk.
  std::optional<std::string> key;
  int keyColumns = 0;
  for (const TextRow& row : Rows(connection, "PRAGMA table_info(" + quotedTable + ")")) {
    if (row.size() < 6 || !row[5] || *row[5] == "0") continue;
    ++keyColumns;
    if (row[1] && row[2] && Upper(*row[2]) == "INTEGER") key = row[1];
  }
  if (keyColumns != 1 || !key) return std::nullopt;
  // index_list: seq, name, unique, origin, partial.
  for (const TextRow& row : Rows(connection, "PRAGMA index_list(" + quotedTable + ")"))
    if (row.size() >= 4 && row[3] && *row[3] == "pk") return std::nullopt;
  return key;
}

// The query reads the table itself front to back, in rowid order, rather
// than a covering index or anything else the planner might choose.
bool PlainTableScan(OdbcConnection& connection, const std::string& query) {
  const std::vector<TextRow> plan = Rows(connection, "EXPLAIN QUERY PLAN " + query);
  if (plan.size() != 1 || plan[0].empty() || !plan[0].back()) return false;
  const std::string detail = Upper(*plan[0].back());
  return detail.starts_with("SCAN ") && detail.find("INDEX") == std::string::npos &&
         detail.find("VIRTUAL") == std::string::npos;
}

}  // namespace

std::string ReadResumption::QueryAfter(long long key) const {
  return "SELECT * FROM " + quotedTable + " WHERE " + quotedKey + " > " + std::to_string(key) + " ORDER BY " +
         quotedKey;
}

std::optional<ReadResumption> PlanReadResumption(OdbcConnection& connection, const std::string& query,
                                                 const std::vector<ColumnInfo>& columns) {
  const std::string table = TableOfQuery(query);
  if (table.empty()) return std::nullopt;
  const std::string quotedTable = QuoteIdentifier(table);
  try {
    const std::optional<std::string> key = RowidKey(connection, quotedTable);
    if (!key || !PlainTableScan(connection, query)) return std::nullopt;
    const auto found = std::ranges::find_if(columns, [&](const ColumnInfo& column) { return column.name == *key; });
    if (found == columns.end()) return std::nullopt;
    ReadResumption resumption;
    resumption.keyColumn = static_cast<int>(found - columns.begin());
    resumption.quotedTable = quotedTable;
    resumption.quotedKey = QuoteIdentifier(*key);
    return resumption;
  } catch (const std::exception&) {
    // Another driver, or no such statements: nothing is proven.
    return std::nullopt;
  }
}

}  // namespace ado
