#include "ColumnDescriber.h"

#include <sqlext.h>

#include <algorithm>
#include <optional>

#include "OdbcStatement.h"

namespace ado {
namespace {

std::string TextAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field) {
  std::vector<char> text(512);
  SQLSMALLINT length = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!SQL_SUCCEEDED(SQLColAttribute(statement, column, field, text.data(), static_cast<SQLSMALLINT>(text.size()),
                                       &length, nullptr)))
      return {};
    if (length < static_cast<SQLSMALLINT>(text.size())) break;
    text.assign(static_cast<std::size_t>(length) + 1, '\0');  // a longer name: once more with room for it
  }
  return text.data();
}

std::optional<SQLLEN> NumberAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field) {
  SQLLEN value = 0;
  if (!SQL_SUCCEEDED(SQLColAttribute(statement, column, field, nullptr, 0, nullptr, &value)))
    return std::nullopt;
  return value;
}

SQLSMALLINT ColumnCount(const OdbcStatement& statement) {
  SQLSMALLINT count = 0;
  statement.Check(SQLNumResultCols(statement.handle(), &count), "Reading the columns of the result");
  return count;
}

}  // namespace

std::vector<ColumnInfo> DescribeResultShape(const OdbcStatement& statement) {
  // Only attributes the drivers know from the result: SQLDescribeCol's
  // type and nullability make some drivers query their catalogue.
  const SQLHSTMT handle = statement.handle();
  const SQLSMALLINT count = ColumnCount(statement);
  std::vector<ColumnInfo> columns;
  for (SQLUSMALLINT number = 1; number <= static_cast<SQLUSMALLINT>(count); ++number) {
    ColumnInfo info;
    info.name = TextAttribute(handle, number, SQL_DESC_NAME);
    info.sqlType = static_cast<int>(NumberAttribute(handle, number, SQL_DESC_TYPE).value_or(SQL_VARCHAR));
    info.typeName = TextAttribute(handle, number, SQL_DESC_TYPE_NAME);
    const SQLUSMALLINT sizeField = info.isBinary() ? SQL_DESC_OCTET_LENGTH : SQL_DESC_DISPLAY_SIZE;
    info.size = static_cast<std::size_t>(std::max<SQLLEN>(NumberAttribute(handle, number, sizeField).value_or(0), 0));
    info.decimalDigits = static_cast<int>(NumberAttribute(handle, number, SQL_DESC_SCALE).value_or(0));
    columns.push_back(std::move(info));
  }
  return columns;
}

std::vector<ColumnInfo> DescribeColumns(const OdbcStatement& statement) {
  const SQLHSTMT handle = statement.handle();
  const SQLSMALLINT count = ColumnCount(statement);
  std::vector<ColumnInfo> columns;
  for (SQLUSMALLINT number = 1; number <= static_cast<SQLUSMALLINT>(count); ++number) {
    std::vector<SQLCHAR> name(256);
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    statement.Check(SQLDescribeCol(handle, number, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                   &nameLength, &type, &size, &digits, &nullable),
                    "Describing a column");
    if (nameLength >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<std::size_t>(nameLength) + 1);
      statement.Check(SQLDescribeCol(handle, number, name.data(), static_cast<SQLSMALLINT>(name.size()),
                                     &nameLength, &type, &size, &digits, &nullable),
                      "Describing a column");
    }
    ColumnInfo info;
    info.name = reinterpret_cast<const char*>(name.data());
    info.sqlType = type;
    info.typeName = TextAttribute(handle, number, SQL_DESC_TYPE_NAME);
    info.size = static_cast<std::size_t>(size);
    info.decimalDigits = digits;
    info.nullable = nullable != SQL_NO_NULLS;
    if (auto updatable = NumberAttribute(handle, number, SQL_DESC_UPDATABLE))
      info.updatable = *updatable != SQL_ATTR_READONLY;
    if (auto autoIncrement = NumberAttribute(handle, number, SQL_DESC_AUTO_UNIQUE_VALUE))
      info.autoIncrement = *autoIncrement == SQL_TRUE;
    info.baseSchema = TextAttribute(handle, number, SQL_DESC_SCHEMA_NAME);
    info.baseTable = TextAttribute(handle, number, SQL_DESC_BASE_TABLE_NAME);
    info.baseColumn = TextAttribute(handle, number, SQL_DESC_BASE_COLUMN_NAME);
    columns.push_back(std::move(info));
  }
  return columns;
}

}  // namespace ado
