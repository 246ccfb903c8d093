#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

namespace bench {

// The baseline's own thin ODBC layer: plain handles, freed on scope exit,
// failures thrown with the driver's first message.
void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what);

class RawConnection {
 public:
  explicit RawConnection(const std::string& dataSourceName);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;
  SQLHDBC handle() const { return dbc_; }
  // The driver's identifier quote (SQL_IDENTIFIER_QUOTE_CHAR) around a name.
  std::string Quote(const std::string& name) const;
  // The data source's current database where it is a MariaDB/MySQL one,
  // whose catalogue otherwise lists every database; empty elsewhere.
  std::string OwnCatalog() const;

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

class RawStatement {
 public:
  explicit RawStatement(const RawConnection& connection);
  ~RawStatement();
  RawStatement(const RawStatement&) = delete;
  RawStatement& operator=(const RawStatement&) = delete;
  SQLHSTMT handle() const { return stmt_; }
  void Check(SQLRETURN rc, const char* what) const { bench::Check(rc, SQL_HANDLE_STMT, stmt_, what); }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

}  // namespace bench
