#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ChangePlanner.h"
#include "StoredRow.h"

namespace ado {

class ChangeExecutor;
class OdbcConnection;

// Finds rows again after a write and tells what became of them: stored,
// changed or deleted by someone else, or not known.
class ChangeVerifier {
 public:
  ChangeVerifier(const TableRead& read, const ChangePlanner& planner) : read_(read), planner_(planner) {}

  // Deleted: no row holds the key any more (the row was deleted, or its
  // key changed). Unknown: the table has no key to find the row by.
  enum class Fate { Present, Deleted, Unknown };
  struct Found {
    Fate fate = Fate::Unknown;
    std::optional<StoredRow> row;
  };

  // The row as the database holds it now, whatever happened to it since
  // it was read; `change` is one known to be stored.
  Found FindAgain(OdbcConnection& connection, ChangeExecutor& executor, const StoredRow& original,
                  const std::optional<CellChange>& change = {});

  // PostgreSQL: the row is still the very version that was read: nobody
  // wrote it since. False elsewhere.
  bool StillAsRead(ChangeExecutor& executor, const StoredRow& original) const;

  enum class Settled { Stored, NotStored, Unknown };
  // After the connection was lost while a PostgreSQL write was under way:
  // ends the old transaction for good (`oldSession`, its server process id
  // and its start time, as ChangeExecutor::session() names it), then tells
  // from the row whether the write was stored.
  std::pair<Settled, std::optional<StoredRow>> SettleLostWrite(OdbcConnection& connection, ChangeExecutor& executor,
                                                               const std::string& oldSession,
                                                               const StoredRow& original, const CellChange& change);

 private:
  bool NullInKey(const StoredRow& row) const;
  const std::vector<std::pair<int, std::string>>& PostgresKey(OdbcConnection& connection, const StoredRow& row);

  const TableRead& read_;
  const ChangePlanner& planner_;
  std::optional<std::vector<std::pair<int, std::string>>> postgresKey_;
};

}  // namespace ado
