#pragma once

namespace ado {

class OdbcStatement;
struct DataSourceFacts;

// Runs the tables rowset (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
// TABLE_TYPE, REMARKS) on the statement, limited where the database is known
// to the tables that an unqualified name opens, and without those the
// database keeps for itself:
// - SQLite: the main database, without its sqlite_ tables;
// - PostgreSQL: the schemas on the search path, each name once, in the
//   schema the name resolves to;
// - MariaDB/MySQL: the current database, never a system schema.
// Other drivers list what their catalogue holds.
void ListOwnTables(OdbcStatement& statement, const DataSourceFacts& facts);

}  // namespace ado
