// SQLite's foreign keys, from its pragma functions.
#include "../TableRead.h"
#include "SqliteDialect.h"

namespace ado {

std::string SqliteDialect::ForeignKeysQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  parameters.push_back(read.tableName);
  // A key that names no columns ("REFERENCES parent") references the
  // parent's primary key, column by column.
  return "SELECT f.id, f.\"from\", NULL, f.\"table\", COALESCE(f.\"to\", p.name), NULL "
         "FROM main.pragma_foreign_key_list(?) f "
         "LEFT JOIN main.pragma_table_info(f.\"table\") p ON f.\"to\" IS NULL AND p.pk = f.seq + 1 "
         "ORDER BY f.id, f.seq";
}

}  // namespace ado
