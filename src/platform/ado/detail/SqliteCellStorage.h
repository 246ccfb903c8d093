#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ado {

// How one SQLite cell is stored, from its text as read and the row's
// storage marks (see TableRead): NULL, integer, real, text or blob. The
// text form of a REAL loses digits past the fifteenth; where it does, the
// marks carry the exact number as SQLite's quote() writes it.
struct SqliteCellStorage {
  char storageClass = 'n';          // 'n', 'i', 'r', 't' or 'b'
  std::optional<std::string> exact;  // quote() of a REAL whose text is inexact
};

SqliteCellStorage StorageOfCell(bool isNull, char usualStorage, std::string_view marks, int column);

// The shortest text that gives the exact number back, for a REAL whose
// usual text does not.
std::string ExactRealText(const std::string& quoted);

}  // namespace ado
