#include "TableRead.h"

#include "dialect/Dialect.h"
#include "OdbcConnection.h"
#include "platform/ado/ColumnInfo.h"
#include "SqlText.h"

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
  read.dialect = connection.facts().dialect;
  read.tableName = table;
  read.quotedTable = connection.facts().Quote(table);
  read.dialect->PlanRead(connection, read);
  return read;
}

void ResolveKey(OdbcConnection& connection, TableRead& read, const std::vector<ColumnInfo>& columns) {
  if (!read.dialect) read.dialect = connection.facts().dialect;
  read.dialect->ResolveKey(connection, read, columns);
}

}  // namespace ado
