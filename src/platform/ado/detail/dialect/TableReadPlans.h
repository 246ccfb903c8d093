#pragma once

#include <cstddef>
#include <string>

#include "../StoredRow.h"

namespace ado {

class OdbcConnection;
struct TableRead;

// How each database's rows are read with what finds each again; `read`
// comes with the table's name, quoted and not.
void PlanSqliteRead(OdbcConnection& connection, TableRead& read);
void PlanPostgresRead(OdbcConnection& connection, TableRead& read);
void PlanMariaDbRead(OdbcConnection& connection, TableRead& read);

// A PostgreSQL row's identity as read in its hidden columns, the first of
// which is the row's cell `firstHidden`.
struct PostgresTuple {
  std::string tableOid;
  std::string ctid;
  std::string xmin;
  bool inOwnTable = false;  // not in a table that inherits or a partition
};
PostgresTuple PostgresTupleOf(const TableRead& read, const StoredRow& row, std::size_t firstHidden);

}  // namespace ado
