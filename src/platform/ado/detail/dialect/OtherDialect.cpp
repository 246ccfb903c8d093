#include "OtherDialect.h"

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "../CatalogQuery.h"
#include "../OdbcConnection.h"
#include "../TableRead.h"

namespace ado {

void OtherDialect::ResolveKey(OdbcConnection& connection, TableRead& read,
                              const std::vector<ColumnInfo>& columns) const {
  if (read.tableName.empty()) return;
  read.quotedColumns.clear();
  read.holdsText.clear();
  std::vector<std::string> names;
  for (const ColumnInfo& column : columns) {
    names.push_back(column.baseColumn.empty() ? column.name : column.baseColumn);
    read.quotedColumns.push_back(connection.facts().Quote(names.back()));
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
