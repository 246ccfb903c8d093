// What a write on a PostgreSQL table may do beyond its row.
#include "PostgresDialect.h"

#include "../TableRead.h"

namespace ado {

std::string PostgresDialect::RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const {
  // Trigger types are bits: 2 BEFORE, 16 UPDATE, 64 INSTEAD OF. A BEFORE
  // trigger writes the table only where its function names it.
  parameters = {read.quotedTable, read.tableName, read.quotedTable};
  return "SELECT 'k', c.conname::text, a.attname::text, b.attname::text, "
         "CASE c.confdeltype WHEN 'c' THEN 'CASCADE' WHEN 'n' THEN 'SET NULL' WHEN 'd' THEN 'SET DEFAULT' "
         "ELSE '' END, "
         "CASE c.confupdtype WHEN 'c' THEN 'CASCADE' WHEN 'n' THEN 'SET NULL' WHEN 'd' THEN 'SET DEFAULT' "
         "ELSE '' END, u.n "
         "FROM pg_constraint c CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS u(k, f, n) "
         "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = u.k "
         "JOIN pg_attribute b ON b.attrelid = c.confrelid AND b.attnum = u.f "
         "WHERE c.contype = 'f' AND c.conrelid = CAST(CAST(? AS text) AS regclass) AND c.confrelid = c.conrelid "
         "UNION ALL SELECT 't', t.tgname::text, "
         "CASE WHEN t.tgtype & 66 = 0 OR position(lower(CAST(? AS text)) IN lower(p.prosrc)) > 0 "
         "THEN '1' ELSE '0' END, "
         "CASE WHEN t.tgtype & 18 = 18 THEN '1' ELSE '0' END, NULL, NULL, 0 "
         "FROM pg_trigger t JOIN pg_proc p ON p.oid = t.tgfoid "
         "WHERE t.tgrelid = CAST(CAST(? AS text) AS regclass) AND NOT t.tgisinternal ORDER BY 1, 2, 7";
}

}  // namespace ado
