#pragma once

namespace ado {

class OdbcConnection;
struct TableRead;

// How each database's rows are read with their identity; `read` comes
// with the table's name, quoted and not.
void PlanSqliteRead(OdbcConnection& connection, TableRead& read);
void PlanPostgresRead(OdbcConnection& connection, TableRead& read);
void PlanMariaDbRead(OdbcConnection& connection, TableRead& read);

}  // namespace ado
