// MariaDB's foreign keys, from its information schema.
#include "../TableRead.h"
#include "MariaDbDialect.h"

namespace ado {

std::string MariaDbDialect::ForeignKeysQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  parameters.push_back(read.tableName);
  return "SELECT CONSTRAINT_NAME, COLUMN_NAME, REFERENCED_TABLE_SCHEMA, REFERENCED_TABLE_NAME, "
         "REFERENCED_COLUMN_NAME, NULL FROM information_schema.KEY_COLUMN_USAGE "
         "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ? AND REFERENCED_TABLE_NAME IS NOT NULL "
         "ORDER BY CONSTRAINT_NAME, ORDINAL_POSITION";
}

}  // namespace ado
