#include "TableRead.h"

#include <sqlext.h>

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "CatalogQuery.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "platform/ado/Recordset.h"
#include "SqlText.h"
#include "StatementRows.h"
#include "TableReadPlans.h"

namespace ado {

std::string TableRead::SelectList() const {
  std::string list = visibleList;
  for (const std::string& hidden : hiddenColumns) list += ", " + hidden;
  return list;
}

std::string TableRead::Query() const { return "SELECT " + SelectList() + " FROM " + quotedTable + orderBy; }

std::string TableRead::QueryAfter(long long rowid, const std::vector<long long>& skipped) const {
  std::string where = rowidName + " > " + std::to_string(rowid);
  if (!skipped.empty()) {
    std::vector<std::string> numbers;
    for (long long skip : skipped) numbers.push_back(std::to_string(skip));
    where += " AND " + rowidName + " NOT IN (" + Join(numbers, ", ") + ")";
  }
  return "SELECT " + SelectList() + " FROM " + quotedTable + " WHERE " + where + orderBy;
}

std::string TableRead::ValueMarker(int column) const {
  const auto index = static_cast<std::size_t>(column);
  return index < valueAs.size() && !valueAs[index].empty() ? valueAs[index] : std::string("?");
}

TableRead PlanTableRead(OdbcConnection& connection, const std::string& table) {
  TableRead read;
  read.tableName = table;
  read.quotedTable = connection.facts().Quote(table);
  const DataSourceFacts& facts = connection.facts();
  if (facts.isSqlite()) {
    PlanSqliteRead(connection, read);
  } else if (facts.isPostgreSql()) {
    PlanPostgresRead(connection, read);
  } else if (facts.isMariaDb()) {
    PlanMariaDbRead(connection, read);
  } else {
    read.visibleList = "*";
  }
  return read;
}

void ResolvePlainKey(OdbcConnection& connection, TableRead& read, const std::vector<ColumnInfo>& columns) {
  const DataSourceFacts& facts = connection.facts();
  if (facts.isSqlite() || facts.isPostgreSql() || facts.isMariaDb() || read.tableName.empty()) return;
  read.quotedColumns.clear();
  read.holdsText.clear();
  std::vector<std::string> names;
  for (const ColumnInfo& column : columns) {
    names.push_back(column.baseColumn.empty() ? column.name : column.baseColumn);
    read.quotedColumns.push_back(facts.Quote(names.back()));
    read.holdsText.push_back(column.isText());
  }
  read.identity = TableRead::Identity::None;
  read.unavailable =
      "The table has no primary key that the data source names, so a changed row could not be found again "
      "exactly; it is shown read-only.";
  std::vector<std::pair<int, std::string>> ordered;
  try {
    // COLUMN_NAME is column 4, KEY_SEQ column 5.
    for (const auto& row : PrimaryKeyColumns(connection, "", read.tableName))
      if (row.size() >= 5 && row[3] && row[4]) ordered.emplace_back(std::stoi(*row[4]), *row[3]);
  } catch (const Error&) {
    return;  // no catalogue: the rows stay read-only
  }
  std::ranges::sort(ordered);
  std::vector<int> key;
  for (const auto& [sequence, name] : ordered) {
    const auto found = std::ranges::find(names, name);
    if (found == names.end()) return;
    key.push_back(static_cast<int>(found - names.begin()));
  }
  if (key.empty()) return;
  read.key = std::move(key);
  read.identity = TableRead::Identity::PrimaryKey;
  read.unavailable.clear();
}

}  // namespace ado
