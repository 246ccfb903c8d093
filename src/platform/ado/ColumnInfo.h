#pragma once

#include <cstddef>
#include <string>

namespace ado {

// What the driver tells about one column of a result.
struct ColumnInfo {
  std::string name;
  int sqlType = 0;          // SQL_* data type code
  std::string typeName;     // the data source's own name of the type
  std::size_t size = 0;     // column size
  int decimalDigits = 0;
  bool nullable = true;     // false only when the driver says SQL_NO_NULLS
  bool updatable = true;    // false when the driver reports it read-only
  bool autoIncrement = false;
  std::string baseSchema;   // where the driver tells it
  std::string baseTable;
  std::string baseColumn;
  // Read packed with the columns after it in the result's last column (see
  // detail/PackedCells.h), not in a column of its own.
  bool packed = false;

  bool isText() const;    // character data of any width
  bool isBinary() const;  // raw bytes
  bool isNumber() const;  // integers, decimals, floating point, bits
  // True and false: a one-bit SQL_BIT, or a type the data source names bool
  // or boolean (PostgreSQL's bool read as text, SQLite's declared BOOLEAN).
  // MariaDB's BOOLEAN is a TINYINT(1) that may hold any small number: a
  // number, not this.
  bool isBoolean() const;
  // Dates and timestamps, with or without an offset (not times of day),
  // also where the data source hands them over as text.
  bool holdsDate() const;
};

}  // namespace ado
