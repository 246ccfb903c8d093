#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

namespace support {

// Points the ODBC driver manager at a private folder of this test run (an
// odbcinst.ini naming the SQLite3 and PostgreSQL drivers by path, and an
// odbc.ini holding only the data sources the test adds), so that no test
// reads or changes the user's or the system's data sources. Must run before
// the first ODBC call of the process; later calls do nothing.
void UsePrivateDataSources();
QString PrivateOdbcFolder();

// The driver manager keeps a data source's definition once it has read it,
// so a name must not be given a different definition later in the same
// process: use a new name instead.

// Adds a data source for an SQLite database file. `options`
// are further "Key=Value" lines, e.g. "NoTXN=1".
void AddSqliteDataSource(const QString& name, const QString& databaseFile,
                         const QStringList& options = {});

// The PostgreSQL test server that scripts/test starts, from the
// QUORVANE_PG_* variables; std::nullopt when they are not set.
struct DatabaseServer {
  QString host;
  QString port;
  QString user;
  QString database;
};
using PostgresServer = DatabaseServer;
std::optional<PostgresServer> PostgresFromEnvironment();

// The same server through the connection pooler in transaction pooling,
// or its streaming standby, that scripts/test starts beside it (from
// QUORVANE_PG_POOL_PORT, QUORVANE_PG_STANDBY_PORT); std::nullopt when
// there is none.
enum class PostgresRoute { Pool, Standby };
std::optional<PostgresServer> PostgresRouteFromEnvironment(PostgresRoute route);

// Adds a data source for a database of the test server.
void AddPostgresDataSource(const QString& name, const PostgresServer& server, const QString& database,
                           const QStringList& options = {});

// The MariaDB test server that scripts/test starts, from the QUORVANE_MY_*
// variables; std::nullopt when they are not set.
std::optional<DatabaseServer> MariaDbFromEnvironment();

// Adds a data source for a database of the MariaDB test server.
void AddMariaDbDataSource(const QString& name, const DatabaseServer& server, const QString& database,
                          const QStringList& options = {});

// The drivers that table-driven tests run over; PostgresPool is the
// PostgreSQL server through the connection pooler.
enum class Driver { Sqlite, Postgres, MariaDb, PostgresPool };
// "sqlite", "postgres", "mariadb", "postgres-pool": the rows of a test's
// data table.
const char* DriverName(Driver driver);
inline bool IsPostgres(Driver driver) { return driver == Driver::Postgres || driver == Driver::PostgresPool; }

// Removes a data source section.
void RemoveDataSource(const QString& name);

}  // namespace support

Q_DECLARE_METATYPE(support::Driver)

// Skips the current test function when no PostgreSQL test server is set up.
#define QUORVANE_REQUIRE_POSTGRES(server)                                         \
  const auto server##Maybe = ::support::PostgresFromEnvironment();                \
  if (!server##Maybe) QSKIP("PostgreSQL test server not configured (run scripts/test)"); \
  const ::support::PostgresServer& server = *server##Maybe
