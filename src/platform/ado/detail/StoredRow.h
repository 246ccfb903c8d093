#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ado {

// A row as read from its table: the visible cells, then the hidden ones
// that identify it (see TableRead). std::nullopt is NULL.
using StoredRow = std::vector<std::optional<std::string>>;

// What the database holds for a row after a write, where that is known.
struct RowNow {
  std::optional<StoredRow> row;  // the row as stored now
  bool deleted = false;          // the row is no longer there
};

}  // namespace ado
