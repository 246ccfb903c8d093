#include "RawBatch.h"

#include <algorithm>
#include <stdexcept>

namespace bench {

TextRows ReadTexts(const RawConnection& connection, const std::string& sql, std::size_t limit,
                   const TextRow& parameters, const std::vector<SQLSMALLINT>& types) {
  RawStatement statement(connection);
  std::vector<SQLLEN> lengths(parameters.size());
  for (std::size_t index = 0; index < parameters.size(); ++index) {
    const auto& value = parameters[index];
    lengths[index] = value ? static_cast<SQLLEN>(value->size()) : SQL_NULL_DATA;
    statement.Check(SQLBindParameter(statement.handle(), static_cast<SQLUSMALLINT>(index + 1), SQL_PARAM_INPUT,
                                     SQL_C_CHAR, types.at(index), value ? value->size() : 1, 0,
                                     value ? const_cast<char*>(value->data()) : nullptr, 0, &lengths[index]),
                    "binding");
  }
  std::string text = sql;
  statement.Check(SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), "reading");
  SQLSMALLINT columns = 0;
  SQLNumResultCols(statement.handle(), &columns);
  TextRows result;
  for (SQLUSMALLINT column = 1; column <= columns; ++column) {
    SQLCHAR name[256];
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeCol(statement.handle(), column, name, sizeof name, &nameLength, &type, &size, &digits, &nullable);
    result.types.push_back(type);
  }
  std::vector<char> buffer(65536);
  while (result.rows.size() < limit && SQL_SUCCEEDED(SQLFetch(statement.handle()))) {
    TextRow row;
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
      SQLLEN length = 0;
      statement.Check(SQLGetData(statement.handle(), column, SQL_C_CHAR, buffer.data(), static_cast<SQLLEN>(buffer.size()),
                                 &length),
                      "reading a value");
      row.push_back(length == SQL_NULL_DATA ? std::nullopt : std::optional<std::string>(buffer.data()));
    }
    result.rows.push_back(std::move(row));
  }
  return result;
}

long ExecuteArray(const RawConnection& connection, const std::string& sql, const std::vector<TextRow>& sets,
                  const std::vector<SQLSMALLINT>& types) {
  if (sets.empty()) return 0;
  RawStatement statement(connection);
  const SQLULEN count = sets.size();
  std::vector<SQLUSMALLINT> status(count);
  SQLULEN processed = 0;
  SQLSetStmtAttr(statement.handle(), SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, 0);
  statement.Check(SQLSetStmtAttr(statement.handle(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(count), 0),
                  "setting the parameter set size");
  SQLSetStmtAttr(statement.handle(), SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0);
  SQLSetStmtAttr(statement.handle(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
  // One array of fixed-width texts per parameter.
  std::vector<std::vector<char>> data(types.size());
  std::vector<std::vector<SQLLEN>> lengths(types.size(), std::vector<SQLLEN>(count));
  for (std::size_t parameter = 0; parameter < types.size(); ++parameter) {
    std::size_t width = 1;
    for (const TextRow& set : sets) width = std::max(width, set[parameter] ? set[parameter]->size() + 1 : 1);
    data[parameter].assign(width * count, '\0');
    for (std::size_t index = 0; index < count; ++index) {
      const auto& value = sets[index][parameter];
      if (value) std::copy(value->begin(), value->end(), data[parameter].begin() + static_cast<long>(width * index));
      lengths[parameter][index] = value ? static_cast<SQLLEN>(value->size()) : SQL_NULL_DATA;
    }
    statement.Check(SQLBindParameter(statement.handle(), static_cast<SQLUSMALLINT>(parameter + 1), SQL_PARAM_INPUT,
                                     SQL_C_CHAR, types[parameter], width, 0, data[parameter].data(),
                                     static_cast<SQLLEN>(width), lengths[parameter].data()),
                    "binding");
  }
  std::string text = sql;
  const SQLRETURN rc = SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  // An update or delete that reached no row.
  if (rc == SQL_NO_DATA) return 0;
  statement.Check(rc, "executing");
  if (processed != count || std::ranges::any_of(status, [](SQLUSMALLINT s) {
        return s != SQL_PARAM_SUCCESS && s != SQL_PARAM_SUCCESS_WITH_INFO;
      }))
    throw std::runtime_error("a parameter set failed");
  SQLLEN changed = 0;
  SQLRowCount(statement.handle(), &changed);
  return static_cast<long>(changed);
}

RawTransaction::RawTransaction(const RawConnection& connection) : connection_(connection) {
  SQLSetConnectAttr(connection_.handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
}

void RawTransaction::Commit() {
  Check(SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_COMMIT), SQL_HANDLE_DBC, connection_.handle(), "commit");
  open_ = false;
}

RawTransaction::~RawTransaction() {
  if (open_) SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_ROLLBACK);
  SQLSetConnectAttr(connection_.handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

std::string DatabaseName(const RawConnection& connection) {
  char name[64] = {};
  SQLGetInfo(connection.handle(), SQL_DBMS_NAME, name, sizeof name, nullptr);
  return name;
}

}  // namespace bench
