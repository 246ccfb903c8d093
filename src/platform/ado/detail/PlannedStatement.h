#pragma once

#include <optional>
#include <string>

#include "BoundParameters.h"

namespace ado {

// A change the user made to one cell of a read row.
struct CellChange {
  int column = 0;
  std::optional<std::string> value;  // std::nullopt: NULL
  // The storage class a value put back as it was stored goes in with ('i',
  // 'r', 't', 'b': SQLite's); 0: as the column makes it.
  char storage = 0;
  bool operator==(const CellChange&) const = default;
};

// One statement of a write or a read of rows, its values bound.
struct PlannedStatement {
  std::string sql;
  BoundParameters parameters;
  long expectedRows = 1;       // a write: anything else is undone
  bool returnsRows = false;    // hands the changed rows back (RETURNING)
  // What it reads are rows of the table as read (the visible columns, then
  // the hidden ones), not some other answer.
  bool tableRows = true;
};

}  // namespace ado
