#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "ColumnInfo.h"

namespace ado {

bool ColumnInfo::isText() const {
  switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return true;
    default:
      return false;
  }
}

bool ColumnInfo::isNumber() const {
  switch (sqlType) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
    case SQL_DECIMAL: case SQL_NUMERIC: case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
    case SQL_BIT:
      return true;
    default:
      return false;
  }
}

bool ColumnInfo::isBinary() const {
  return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
}

namespace {

std::string Lowered(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

bool ColumnInfo::isBoolean() const {
  // A wider BIT (MariaDB's BIT(8)) is a number of bits.
  if (sqlType == SQL_BIT && size <= 1) return true;
  const std::string type = Lowered(typeName);
  return type == "bool" || type == "boolean";
}

bool ColumnInfo::holdsDate() const {
  switch (sqlType) {
    case SQL_DATE: case SQL_TIMESTAMP: case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP:
      return true;
    default: {
      // PostgreSQL's dates, read as text.
      static const std::set<std::string> dates = {"date", "timestamp", "timestamptz", "timestamp with time zone",
                                                  "timestamp without time zone"};
      return dates.contains(Lowered(typeName));
    }
  }
}

}  // namespace ado
