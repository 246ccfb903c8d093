#pragma once

#include <string>
#include <vector>

#include "Recordset.h"

namespace ado {

class OdbcConnection;

// How the rows of a result are found again in their table for a write.
struct WritePlan {
  enum class Identity { None, PrimaryKey, UniqueIndex, AllValues };

  std::string table;                 // quoted, with its schema where known
  std::vector<std::string> columns;  // quoted column name per result column
  std::vector<int> identity;         // result columns that tell the rows apart
  Identity kind = Identity::None;
  std::string unavailable;           // why nothing can be written, if so
  bool transactionsDisabled = false; // the data source ignores transactions
};

// Columns whose stored value may differ from its text form in the last
// digits; they can neither identify a row nor prove it unchanged.
bool IsInexact(const ColumnInfo& column);

// The table named by a query of the form SELECT * FROM "name" (empty
// otherwise): a fallback for drivers that do not tell a column's table.
std::string TableOfQuery(const std::string& query);

// Works out the plan for a result of `query` on the connection, using the
// table's primary key, else a unique index over NOT NULL columns, else the
// values of every exactly comparable column.
WritePlan PlanWrites(OdbcConnection& connection, const std::vector<ColumnInfo>& columns, const std::string& query);

}  // namespace ado
