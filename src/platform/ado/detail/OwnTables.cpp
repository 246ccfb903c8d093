#include "OwnTables.h"

#include "DataSourceFacts.h"
#include "OdbcStatement.h"

namespace ado {
namespace {

constexpr const char* SqliteTables =
    "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, name AS TABLE_NAME, "
    "CASE type WHEN 'table' THEN 'TABLE' ELSE 'VIEW' END AS TABLE_TYPE, NULL AS REMARKS "
    "FROM main.sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite!_%' ESCAPE '!' "
    "ORDER BY 4, 3";

// Relations of every kind share the names of a schema: an index or a view
// earlier on the search path hides a table of the same name.
constexpr const char* PostgresTables =
    "SELECT current_database() AS TABLE_CATALOG, nspname AS TABLE_SCHEMA, relname AS TABLE_NAME, "
    "CASE relkind WHEN 'r' THEN 'TABLE' WHEN 'p' THEN 'TABLE' WHEN 'v' THEN 'VIEW' WHEN 'm' THEN 'MATVIEW' "
    "WHEN 'f' THEN 'FOREIGN TABLE' ELSE 'OTHER' END AS TABLE_TYPE, NULL AS REMARKS FROM ("
    "SELECT DISTINCT ON (c.relname) n.nspname, c.relname, c.relkind FROM pg_class c "
    "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = ANY (current_schemas(false)) "
    "ORDER BY c.relname, array_position(current_schemas(false), n.nspname)) r ORDER BY 4, 3";

constexpr const char* MariaDbTables =
    "SELECT TABLE_SCHEMA AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, TABLE_NAME, "
    "CASE TABLE_TYPE WHEN 'BASE TABLE' THEN 'TABLE' WHEN 'SYSTEM VERSIONED' THEN 'TABLE' ELSE TABLE_TYPE END "
    "AS TABLE_TYPE, TABLE_COMMENT AS REMARKS FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
    "AND TABLE_SCHEMA NOT IN ('information_schema', 'performance_schema', 'mysql', 'sys') ORDER BY 4, 3";

}  // namespace

void ListOwnTables(OdbcStatement& statement, const DataSourceFacts& facts) {
  if (facts.isSqlite())
    statement.ExecDirect(SqliteTables);
  else if (facts.isPostgreSql())
    statement.ExecDirect(PostgresTables);
  else if (facts.isMariaDb())
    statement.ExecDirect(MariaDbTables);
  else
    statement.AllTables();
}

}  // namespace ado
