#include "WritePermissions.h"

#include "dialect/Dialect.h"
#include "OdbcConnection.h"

namespace ado {

WritePermissions WritePermissions::Ask(OdbcConnection& connection, const TableRead& read,
                                       const std::vector<ColumnInfo>& columns) {
  if (!read.unavailable.empty()) return {};
  return connection.facts().dialect->AskPermissions(connection, read, columns);
}

}  // namespace ado
