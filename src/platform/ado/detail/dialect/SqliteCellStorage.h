#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ado {

// How one SQLite cell is stored, from its text as read and the row's
// storage marks (see TableRead): NULL, integer, real, text or blob. The
// text form of a REAL loses digits past the fifteenth; where it does, the
// marks carry the exact number as SQLite's quote() writes it.
// Text holding a NUL byte, which the driver cuts there, comes whole from
// the marks.
struct SqliteCellStorage {
  char storageClass = 'n';          // 'n', 'i', 'r', 't' or 'b'
  std::optional<std::string> exact;  // quote() of a REAL whose text is inexact
  std::optional<std::string> text;   // the bytes of text that holds a NUL
};

SqliteCellStorage StorageOfCell(bool isNull, char usualStorage, std::string_view marks, int column);

// The bytes of a BLOB in a column that is read as text, which the driver
// hands over as X'<hexadecimal>'; other text as it is.
std::string BlobOfDriverText(std::string_view text);

// The shortest text that gives the exact number back, for a REAL whose
// usual text does not.
std::string ExactRealText(const std::string& quoted);

}  // namespace ado
