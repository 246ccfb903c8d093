// What a write on an SQLite table may do beyond its row.
#include "SqliteDialect.h"

#include "../TableRead.h"

namespace ado {

std::string SqliteDialect::RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  // A key that names no columns of the table it refers to goes to its
  // primary key. Any trigger may write the table: SQLite's BEFORE triggers
  // run statements too (they cannot set a row's new values).
  parameters = {read.tableName, read.tableName, read.tableName, read.tableName};
  return "SELECT 'k', CAST(f.id AS TEXT), f.\"from\", "
         "COALESCE(f.\"to\", (SELECT i.name FROM pragma_table_info(?) AS i WHERE i.pk = f.seq + 1)), "
         "f.on_delete, f.on_update, f.seq "
         "FROM pragma_foreign_key_list(?) AS f WHERE f.\"table\" = ? COLLATE NOCASE "
         "UNION ALL SELECT 't', name, '1', '0', NULL, NULL, 0 FROM sqlite_master "
         "WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE ORDER BY 1, 2, 7";
}

}  // namespace ado
