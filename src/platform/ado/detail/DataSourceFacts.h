#pragma once

#include <string>

namespace ado {

class OdbcConnection;

// What the rest of this layer needs to know about a data source, learned
// once when a connection opens.
struct DataSourceFacts {
  enum class Dbms { Sqlite, PostgreSql, Other };

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

  bool isSqlite() const { return dbms == Dbms::Sqlite; }
  bool isPostgreSql() const { return dbms == Dbms::PostgreSql; }
};

DataSourceFacts LearnDataSourceFacts(const OdbcConnection& connection);

}  // namespace ado
