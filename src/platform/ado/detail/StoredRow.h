#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ado {

// A row as read from its table: the visible cells, then the hidden ones
// that identify it (see TableRead). std::nullopt is NULL.
using StoredRow = std::vector<std::optional<std::string>>;

// A row as the row cache holds it: a value longer than it keeps is only
// its beginning, with its whole size by column (see CellCut).
struct HeldRow {
  StoredRow cells;
  std::map<int, std::uint64_t> wholeSizes;
  bool operator==(const HeldRow&) const = default;
};

// What the database holds for a row after a write, where that is known.
struct RowNow {
  std::optional<StoredRow> row;  // the row as stored now
  bool deleted = false;          // the row is no longer there
};

}  // namespace ado
