#include "DirectSql.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

namespace support {
namespace {

std::string Messages(SQLSMALLINT type, SQLHANDLE handle) {
  std::string text;
  SQLCHAR state[6] = {};
  SQLCHAR message[2048] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  for (SQLSMALLINT record = 1;
       SQL_SUCCEEDED(SQLGetDiagRec(type, handle, record, state, &native, message, sizeof message, &length));
       ++record)
    text += std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message) + "\n";
  return text;
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const std::string& what) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
    throw std::runtime_error(what + ": " + Messages(type, handle));
}

struct Statement {
  explicit Statement(SQLHANDLE connection) {
    Check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle), SQL_HANDLE_DBC, connection, "statement");
  }
  ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHANDLE handle = nullptr;
};

}  // namespace

DirectSql::DirectSql(const QString& dataSourceName) {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_);
  SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_);
  std::string text = "DSN=" + dataSourceName.toStdString();
  const SQLRETURN rc = SQLDriverConnect(connection_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    const std::string message = Messages(SQL_HANDLE_DBC, connection_);
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    SQLFreeHandle(SQL_HANDLE_ENV, environment_);
    throw std::runtime_error("cannot connect to " + text + ": " + message);
  }
}

DirectSql::~DirectSql() {
  SQLDisconnect(connection_);
  SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

void DirectSql::Exec(const std::string& sql) {
  Statement statement(connection_);
  std::string text = sql;
  Check(SQLExecDirect(statement.handle, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT,
        statement.handle, sql);
}

void DirectSql::ExecScript(const std::string& script) {
  std::size_t start = 0;
  while (start < script.size()) {
    std::size_t end = script.find(";\n", start);
    if (end == std::string::npos) end = script.size();
    const std::string part = script.substr(start, end - start);
    if (part.find_first_not_of(" \n\t") != std::string::npos) Exec(part);
    start = end + 2;
  }
}

DirectSql::Rows DirectSql::Query(const std::string& sql) {
  Statement statement(connection_);
  std::string text = sql;
  Check(SQLExecDirect(statement.handle, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_HANDLE_STMT,
        statement.handle, sql);
  SQLSMALLINT columns = 0;
  SQLNumResultCols(statement.handle, &columns);
  Rows rows;
  while (SQLFetch(statement.handle) == SQL_SUCCESS) {
    std::vector<Cell> row;
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columns); ++column) {
      std::string value;
      bool isNull = false;
      char buffer[4096];
      for (;;) {
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(statement.handle, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
        if (rc == SQL_NO_DATA) break;
        Check(rc, SQL_HANDLE_STMT, statement.handle, "reading " + sql);
        if (length == SQL_NULL_DATA) {
          isNull = true;
          break;
        }
        const std::size_t piece = (length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof buffer))
                                      ? sizeof buffer - 1
                                      : static_cast<std::size_t>(length);
        value.append(buffer, piece);
        if (rc == SQL_SUCCESS) break;
      }
      row.push_back(isNull ? Cell{} : Cell{value});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

DirectSql::Cell DirectSql::Scalar(const std::string& sql) {
  const Rows rows = Query(sql);
  if (rows.empty() || rows.front().empty()) throw std::runtime_error("no row from " + sql);
  return rows.front().front();
}

}  // namespace support
