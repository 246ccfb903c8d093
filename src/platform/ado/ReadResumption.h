#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Recordset.h"

namespace ado {

class OdbcConnection;

// How an unfinished read of "SELECT * FROM <table>" can be closed and later
// taken up again where it stopped: only where the result is provably in the
// order of an integer key that a second query can continue after. That holds
// for an SQLite table whose INTEGER PRIMARY KEY is its rowid and whose rows
// the query reads by a plain scan of the table.
struct ReadResumption {
  int keyColumn = -1;      // result column holding the key
  std::string quotedTable;
  std::string quotedKey;

  // The rows after `key`, in the same order. The key goes into the text as
  // a number: it is an integer read back from the table, not a user's
  // value, and the SQLite driver reads a statement with parameters whole
  // before its first row.
  std::string QueryAfter(long long key) const;
};

// std::nullopt when the order cannot be proven, on any driver.
std::optional<ReadResumption> PlanReadResumption(OdbcConnection& connection, const std::string& query,
                                                 const std::vector<ColumnInfo>& columns);

}  // namespace ado
