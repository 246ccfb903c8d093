#pragma once

#include <optional>
#include <string>
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
  explicit ChangeVerifier(const ChangePlanner& planner) : planner_(planner) {}

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

  // The row is still the very version that was read: nobody wrote it
  // since. False where rows carry no version.
  bool StillAsRead(ChangeExecutor& executor, const StoredRow& original) const;

  // After the connection was lost while a write may have been committed:
  // ends the old session for good (`session`, as the write's settings
  // named it), then tells from the rows whether the write was stored. All
  // or none: not stored where a row it changes is still in the version
  // read; stored where every row it updated holds what was written.
  enum class Settled { Stored, NotStored, Unknown };
  struct Settlement {
    Settled settled = Settled::Unknown;
    // Stored: each updated row as it is now. Not stored: the row found in
    // its version read, and its index among `originals`.
    std::vector<StoredRow> rows;
    std::size_t at = 0;
  };
  struct LostWrite {
    std::vector<StoredRow> originals;             // rows updated, then rows deleted
    std::vector<std::vector<CellChange>> changes;  // per updated row
    bool adds = false;                             // rows were added too
  };
  Settlement SettleLostWrite(OdbcConnection& connection, ChangeExecutor& executor, const std::string& session,
                             const LostWrite& write);

 private:
  const ChangePlanner& planner_;
};

}  // namespace ado
