// PostgreSQL's foreign keys, from its system catalogues.
#include "../TableRead.h"
#include "PostgresDialect.h"

namespace ado {

std::string PostgresDialect::ForeignKeysQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  // The table the bare name opens, as the read does; the referenced
  // columns' types without modifiers, so that a cast never cuts a value.
  parameters.push_back(read.quotedTable);
  return "SELECT c.oid::text, a.attname, n.nspname, r.relname, b.attname, format_type(b.atttypid, NULL) "
         "FROM pg_catalog.pg_constraint c "
         "CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS k(fk, pk, ord) "
         "JOIN pg_catalog.pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.fk "
         "JOIN pg_catalog.pg_attribute b ON b.attrelid = c.confrelid AND b.attnum = k.pk "
         "JOIN pg_catalog.pg_class r ON r.oid = c.confrelid "
         "JOIN pg_catalog.pg_namespace n ON n.oid = r.relnamespace "
         "WHERE c.contype = 'f' AND c.conrelid = to_regclass(CAST(? AS text)) "
         "ORDER BY c.conname, c.oid, k.ord";
}

}  // namespace ado
