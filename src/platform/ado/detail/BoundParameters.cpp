#include "BoundParameters.h"

#include <sqlext.h>

#include <algorithm>

#include "OdbcStatement.h"
#include "platform/ado/ColumnInfo.h"

namespace ado {

void BoundParameters::Add(const std::optional<std::string>& value, const ColumnInfo& column) {
  Parameter parameter;
  parameter.cType = column.isBinary() ? SQL_C_BINARY : SQL_C_CHAR;
  parameter.sqlType = column.sqlType != 0 ? static_cast<SQLSMALLINT>(column.sqlType) : SQL_VARCHAR;
  if (value) parameter.bytes = *value;
  parameter.indicator = value ? static_cast<SQLLEN>(parameter.bytes.size()) : SQL_NULL_DATA;
  // Text and bytes are sized by what is sent, so that a driver never cuts
  // a value to the column's declared size on its own; the database decides.
  const bool sized = column.isText() || column.isBinary();
  parameter.columnSize = sized ? std::max<SQLULEN>({column.size, parameter.bytes.size(), 1})
                               : std::max<SQLULEN>(column.size, 1);
  parameter.digits = static_cast<SQLSMALLINT>(column.decimalDigits);
  parameters_.push_back(std::move(parameter));
}

void BoundParameters::AddText(const std::optional<std::string>& value) {
  Parameter parameter;
  parameter.cType = SQL_C_CHAR;
  parameter.sqlType = SQL_VARCHAR;
  if (value) parameter.bytes = *value;
  parameter.indicator = value ? static_cast<SQLLEN>(parameter.bytes.size()) : SQL_NULL_DATA;
  parameter.columnSize = std::max<SQLULEN>(parameter.bytes.size(), 1);
  parameters_.push_back(std::move(parameter));
}

void BoundParameters::AddBytes(const std::string& bytes) {
  Parameter parameter;
  parameter.cType = SQL_C_BINARY;
  parameter.sqlType = SQL_VARBINARY;
  parameter.bytes = bytes;
  parameter.indicator = static_cast<SQLLEN>(parameter.bytes.size());
  parameter.columnSize = std::max<SQLULEN>(parameter.bytes.size(), 1);
  parameters_.push_back(std::move(parameter));
}

void BoundParameters::BindTo(OdbcStatement& statement) {
  SQLUSMALLINT number = 0;
  for (Parameter& parameter : parameters_) {
    ++number;
    // An empty text still needs a valid buffer address.
    if (parameter.bytes.empty()) parameter.bytes.reserve(1);
    const bool inPieces = parameter.indicator != SQL_NULL_DATA && parameter.bytes.size() > SentInPiecesAbove;
    // Sent at execution: the statement is handed the text itself to send.
    if (inPieces) parameter.indicator = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(parameter.bytes.size()));
    SQLPOINTER value = inPieces ? static_cast<SQLPOINTER>(&parameter.bytes) : parameter.bytes.data();
    statement.Check(SQLBindParameter(statement.handle(), number, SQL_PARAM_INPUT, parameter.cType,
                                     parameter.sqlType, parameter.columnSize, parameter.digits, value,
                                     inPieces ? 0 : static_cast<SQLLEN>(parameter.bytes.size()), &parameter.indicator),
                    "Binding a value");
  }
}

}  // namespace ado
