#include "TableRead.h"

#include "dialect/Dialect.h"
#include "OdbcConnection.h"
#include "PackedCells.h"
#include "platform/ado/ColumnInfo.h"
#include "SqlText.h"

namespace ado {

std::string TableRead::SelectList() const { return SelectListWith(hiddenColumns); }

std::string TableRead::SelectListWith(const std::vector<std::string>& hidden) const {
  if (packedFrom < 0) {
    std::string list = visibleList;
    for (const std::string& column : hidden) list += ", " + column;
    return list;
  }
  std::vector<std::string> cells = quotedColumns;
  cells.insert(cells.end(), hidden.begin(), hidden.end());
  const auto packed = cells.begin() + packedFrom;
  std::vector<std::string> list(cells.begin(), packed);
  list.push_back(PackedCellsExpression(std::vector<std::string>(packed, cells.end())));
  return Join(list, ", ");
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
