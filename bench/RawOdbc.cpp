#include "RawOdbc.h"

#include <stdexcept>

namespace bench {

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
  if (SQL_SUCCEEDED(rc)) return;
  SQLCHAR state[6] = {};
  SQLCHAR text[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
  throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<const char*>(text));
}

RawConnection::RawConnection(const std::string& dataSourceName) {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
  std::string text = "DSN=" + dataSourceName;
  Check(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLSMALLINT>(text.size()),
                         nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc_, "connecting");
  connected_ = true;
}

std::string RawConnection::Quote(const std::string& name) const {
  char quote[8] = {};
  SQLSMALLINT length = 0;
  Check(SQLGetInfo(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length), SQL_HANDLE_DBC, dbc_, "quote");
  const char q = quote[0] == ' ' || quote[0] == '\0' ? '"' : quote[0];
  std::string quoted(1, q);
  for (char c : name) quoted += c == q ? std::string(2, q) : std::string(1, c);
  return quoted + q;
}

std::string RawConnection::OwnCatalog() const {
  char text[256] = {};
  SQLSMALLINT length = 0;
  Check(SQLGetInfo(dbc_, SQL_DBMS_NAME, text, sizeof text, &length), SQL_HANDLE_DBC, dbc_, "database name");
  const std::string dbms = text;
  if (dbms != "MariaDB" && dbms != "MySQL") return {};
  Check(SQLGetInfo(dbc_, SQL_DATABASE_NAME, text, sizeof text, &length), SQL_HANDLE_DBC, dbc_, "database");
  return text;
}

RawConnection::~RawConnection() {
  if (connected_) SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

RawStatement::RawStatement(const RawConnection& connection) {
  bench::Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt_), SQL_HANDLE_DBC, connection.handle(),
               "allocating a statement");
}

RawStatement::~RawStatement() { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }

}  // namespace bench
