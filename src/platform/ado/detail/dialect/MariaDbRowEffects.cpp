// What a write on a MariaDB table may do beyond its row.
#include "MariaDbDialect.h"

#include "../TableRead.h"

namespace ado {

std::string MariaDbDialect::RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  // A trigger cannot write the table it is on (the server refuses it), but
  // a BEFORE UPDATE trigger may set a row's new values back to the old.
  parameters = {read.tableName, read.tableName, read.tableName};
  return "SELECT 'k', k.CONSTRAINT_NAME, k.COLUMN_NAME, k.REFERENCED_COLUMN_NAME, r.DELETE_RULE, r.UPDATE_RULE, "
         "k.ORDINAL_POSITION FROM information_schema.KEY_COLUMN_USAGE k "
         "JOIN information_schema.REFERENTIAL_CONSTRAINTS r ON r.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA "
         "AND r.CONSTRAINT_NAME = k.CONSTRAINT_NAME AND r.TABLE_NAME = k.TABLE_NAME "
         "WHERE k.TABLE_SCHEMA = DATABASE() AND k.TABLE_NAME = ? AND k.REFERENCED_TABLE_SCHEMA = DATABASE() "
         "AND k.REFERENCED_TABLE_NAME = ? "
         "UNION ALL SELECT 't', TRIGGER_NAME, '0', "
         "CASE WHEN ACTION_TIMING = 'BEFORE' AND EVENT_MANIPULATION = 'UPDATE' THEN '1' ELSE '0' END, NULL, NULL, 0 "
         "FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = DATABASE() AND EVENT_OBJECT_TABLE = ? "
         "ORDER BY 1, 2, 7";
}

}  // namespace ado
