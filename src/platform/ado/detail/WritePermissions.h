#pragma once

#include <map>
#include <string>
#include <vector>

#include "TableRead.h"

namespace ado {

class OdbcConnection;
struct ColumnInfo;

// What the database says the user may not write in a table, asked once
// when writes are prepared, so that an edit is refused before the user
// types rather than on Enter. Each text says why; empty where nothing is
// known to stand in the way.
struct WritePermissions {
  std::string everything;              // the whole database only reads
  std::string adding;                  // rows cannot be added
  std::string deleting;                // rows cannot be deleted
  std::map<int, std::string> columns;  // per visible column: cells cannot be changed

  // Asks the database the connection reaches (PostgreSQL: a standby, a
  // read-only default, the role's rights on the table and its columns;
  // SQLite: a file opened read-only).
  // Data sources that do not tell give no reasons; nor does a question
  // that fails, and the write itself says what stands in its way.
  static WritePermissions Ask(OdbcConnection& connection, const TableRead& read,
                              const std::vector<ColumnInfo>& columns);
};

}  // namespace ado
