#pragma once

#include <string>
#include <string_view>

namespace ado {

class OdbcConnection;

// What the rest of this layer needs to know about a data source, learned
// once when a connection opens.
struct DataSourceFacts {
  enum class Dbms { Sqlite, PostgreSql, MariaDb, Other };

  Dbms dbms = Dbms::Other;
  std::string dbmsName;
  std::string driverName;
  // False when the data source ignores transactions (the SQLite driver's
  // NoTXN option, or a driver that offers none).
  bool transactions = true;
  // SQLGetData works on any row of a block (after SQLSetPos).
  bool blockGetData = false;
  // An unfinished read keeps a lock that a second connection's commit
  // would wait for in vain (SQLite in rollback-journal mode).
  bool readerBlocksWriters = false;
  // UPDATE ... RETURNING hands the changed row back.
  bool returning = false;
  // What identifiers are quoted with (SQL_IDENTIFIER_QUOTE_CHAR); the
  // standard double quote where the driver names none.
  char identifierQuote = '"';

  std::string Quote(std::string_view name) const;

  bool isSqlite() const { return dbms == Dbms::Sqlite; }
  bool isPostgreSql() const { return dbms == Dbms::PostgreSql; }
  // MariaDB, or MySQL through a driver that speaks to both.
  bool isMariaDb() const { return dbms == Dbms::MariaDb; }
};

DataSourceFacts LearnDataSourceFacts(const OdbcConnection& connection);

}  // namespace ado
