// What a write on a MariaDB table may do beyond its row.
#include "MariaDbDialect.h"

#include "../TableRead.h"

namespace ado {

std::string MariaDbDialect::RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  // A trigger cannot write the table it is on (the server refuses it), but
  // a BEFORE UPDATE trigger may set a row's new values back to the old.
  // Each catalogue table is asked by its own schema and table name (a
  // join would not be), so that the server opens only this table's
  // definition, not every table's.
  parameters.assign(5, read.tableName);
  const auto rule = [](const std::string& which) {
    return "(SELECT r." + which + " FROM information_schema.REFERENTIAL_CONSTRAINTS r WHERE r.CONSTRAINT_SCHEMA = "
           "DATABASE() AND r.TABLE_NAME = ? AND r.CONSTRAINT_NAME = k.CONSTRAINT_NAME), ";
  };
  return "SELECT 'k', k.CONSTRAINT_NAME, k.COLUMN_NAME, k.REFERENCED_COLUMN_NAME, " + rule("DELETE_RULE") +
         rule("UPDATE_RULE") +
         "k.ORDINAL_POSITION FROM information_schema.KEY_COLUMN_USAGE k "
         "WHERE k.TABLE_SCHEMA = DATABASE() AND k.TABLE_NAME = ? AND k.REFERENCED_TABLE_SCHEMA = DATABASE() "
         "AND k.REFERENCED_TABLE_NAME = ? "
         "UNION ALL SELECT 't', TRIGGER_NAME, '0', "
         "CASE WHEN ACTION_TIMING = 'BEFORE' AND EVENT_MANIPULATION = 'UPDATE' THEN '1' ELSE '0' END, NULL, NULL, 0 "
         "FROM information_schema.TRIGGERS WHERE EVENT_OBJECT_SCHEMA = DATABASE() AND EVENT_OBJECT_TABLE = ? "
         "ORDER BY 1, 2, 7";
}

}  // namespace ado
