#include "StatementRows.h"

#include <sqlext.h>

#include <array>

#include "BoundParameters.h"
#include "LongValue.h"
#include "OdbcStatement.h"

namespace ado {
namespace {

std::optional<std::string> ReadValue(OdbcStatement& statement, SQLUSMALLINT column, bool binary) {
  std::string value;
  // On the stack and not cleared: most values fit, and a write reads its
  // row back value by value.
  std::array<char, 4096> first;
  if (!ReadLongValue(statement, column, binary ? SQL_C_BINARY : SQL_C_CHAR, first.data(), first.size(),
                     [&](std::string_view piece) { value.append(piece); }))
    return std::nullopt;
  return value;
}

}  // namespace

std::optional<TextRow> ReadNextRow(OdbcStatement& statement, const std::vector<bool>& binaryColumns) {
  const SQLRETURN rc = SQLFetch(statement.handle());
  if (rc == SQL_NO_DATA) return std::nullopt;
  statement.Check(rc, "Fetching a row");
  TextRow row;
  for (std::size_t column = 0; column < binaryColumns.size(); ++column)
    row.push_back(ReadValue(statement, static_cast<SQLUSMALLINT>(column + 1), binaryColumns[column]));
  return row;
}

std::vector<TextRow> ReadAllRows(OdbcStatement& statement) {
  SQLSMALLINT count = 0;
  statement.Check(SQLNumResultCols(statement.handle(), &count), "Reading the columns of the result");
  const std::vector<bool> binary(static_cast<std::size_t>(count), false);
  std::vector<TextRow> rows;
  while (auto row = ReadNextRow(statement, binary)) rows.push_back(std::move(*row));
  return rows;
}

std::vector<TextRow> QueryRows(OdbcConnection& connection, const std::string& sql,
                               const std::vector<std::string>& parameters) {
  OdbcStatement statement(connection);
  BoundParameters bound;
  for (const std::string& parameter : parameters) bound.AddText(parameter);
  bound.BindTo(statement);
  statement.ExecDirect(sql);
  return ReadAllRows(statement);
}

}  // namespace ado
