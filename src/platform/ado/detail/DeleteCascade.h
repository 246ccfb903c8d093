#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "PlannedStatement.h"
#include "RowEffects.h"
#include "StoredRow.h"
#include "dialect/Dialect.h"

namespace ado {

// What deleting rows takes with it through the table's foreign keys to
// itself with ON DELETE CASCADE: the rows that refer to them, and those
// that refer to these, to the end.
class DeleteCascade {
 public:
  // A row deleted, with how far it lies below the rows deleted by name
  // (0: it is one of them, and no other refers to it).
  struct Taken {
    StoredRow row;
    std::size_t depth = 0;
  };

  explicit DeleteCascade(const WriteShape& shape);

  // Whether deleting a row can take others with it.
  bool cascades() const { return !keys_.empty(); }
  // Reads the rows `rows` and every row they take with them (by
  // recursion over the keys, the rows' values bound); none where nothing
  // cascades.
  std::optional<PlannedStatement> Read(const std::vector<StoredRow>& rows) const;
  // The rows read, each after the rows it refers to.
  std::vector<Taken> ParentsFirst(std::vector<StoredRow> rows) const;

 private:
  // The rows that row `child` refers to through one of the keys.
  std::vector<std::size_t> Parents(const std::vector<StoredRow>& rows, std::size_t child) const;

  WriteShape shape_;
  std::vector<RowEffects::SelfReference> keys_;  // those with ON DELETE CASCADE
  std::vector<int> referenced_;                  // every column they refer to
};

}  // namespace ado
