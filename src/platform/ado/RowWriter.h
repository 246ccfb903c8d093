#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace ado {

class Connection;
class RowCache;
struct ColumnInfo;

// Writes edited cells of a recordset's rows back to their table.
class RowWriter {
 public:
  RowWriter();
  ~RowWriter();
};

}  // namespace ado
