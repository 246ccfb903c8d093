#include "TestDataSources.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace support {
namespace {

constexpr const char* SqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* PostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";
constexpr const char* MariaDbDriver = "/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so";

std::unique_ptr<QTemporaryDir>& Folder() {
  static std::unique_ptr<QTemporaryDir> folder;
  return folder;
}

QString OdbcIniPath() { return PrivateOdbcFolder() + "/odbc.ini"; }

void WriteFile(const QString& path, const QString& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    throw std::runtime_error("cannot write " + path.toStdString());
  file.write(text.toUtf8());
}

QString ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  return QString::fromUtf8(file.readAll());
}

// The odbc.ini without the section of `name`.
QString WithoutSection(const QString& ini, const QString& name) {
  QString kept;
  bool skipping = false;
  for (const QString& line : ini.split('\n')) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith('[') && trimmed.endsWith(']')) skipping = trimmed.mid(1, trimmed.size() - 2) == name;
    if (!skipping && !line.isEmpty()) kept += line + '\n';
  }
  return kept;
}

void WriteSection(const QString& name, const QStringList& lines) {
  QString ini = WithoutSection(ReadFile(OdbcIniPath()), name);
  ini += '[' + name + "]\n";
  for (const QString& line : lines) ini += line + '\n';
  WriteFile(OdbcIniPath(), ini);
}

}  // namespace

void UsePrivateDataSources() {
  if (Folder()) return;
  Folder() = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/quorvane-odbc-XXXXXX");
  if (!Folder()->isValid()) throw std::runtime_error("cannot create a private ODBC folder");
  WriteFile(PrivateOdbcFolder() + "/odbcinst.ini",
            QString("[SQLite3]\nDriver=%1\n\n[PostgreSQL Unicode]\nDriver=%2\n\n[MariaDB Unicode]\nDriver=%3\n")
                .arg(SqliteDriver, PostgresDriver, MariaDbDriver));
  WriteFile(OdbcIniPath(), "");
  // unixODBC takes system data sources from $ODBCSYSINI/odbc.ini and the
  // user's from $ODBCINI; both point into the private folder.
  qputenv("ODBCSYSINI", PrivateOdbcFolder().toLocal8Bit());
  qputenv("ODBCINI", OdbcIniPath().toLocal8Bit());
}

QString PrivateOdbcFolder() {
  if (!Folder()) throw std::logic_error("UsePrivateDataSources was not called");
  return Folder()->path();
}

void AddSqliteDataSource(const QString& name, const QString& databaseFile, const QStringList& options) {
  // StepAPI streams big results instead of loading them whole; Timeout
  // bounds the wait for a locked database (milliseconds).
  QStringList lines{"Driver=SQLite3", "Database=" + databaseFile, "StepAPI=1", "Timeout=2000"};
  lines += options;
  WriteSection(name, lines);
}

// A test server from the variables <prefix>_HOST, _PORT, _USER and
// _DATABASE of scripts/test.
static std::optional<DatabaseServer> ServerFromEnvironment(const QString& prefix) {
  auto variable = [&](const char* name) { return qEnvironmentVariable(qPrintable(prefix + name)); };
  DatabaseServer server{variable("_HOST"), variable("_PORT"), variable("_USER"), variable("_DATABASE")};
  if (server.host.isEmpty() || server.port.isEmpty() || server.user.isEmpty() || server.database.isEmpty())
    return std::nullopt;
  return server;
}

std::optional<PostgresServer> PostgresFromEnvironment() { return ServerFromEnvironment("QUORVANE_PG"); }

std::optional<PostgresServer> PostgresRouteFromEnvironment(PostgresRoute route) {
  auto server = PostgresFromEnvironment();
  const QString port =
      qEnvironmentVariable(route == PostgresRoute::Pool ? "QUORVANE_PG_POOL_PORT" : "QUORVANE_PG_STANDBY_PORT");
  if (!server || port.isEmpty()) return std::nullopt;
  server->port = port;
  return server;
}

void AddPostgresDataSource(const QString& name, const PostgresServer& server, const QString& database,
                           const QStringList& options) {
  QStringList lines{"Driver=PostgreSQL Unicode", "Servername=" + server.host, "Port=" + server.port,
                    "Username=" + server.user, "Database=" + database, "SSLmode=disable",
                    "UseDeclareFetch=1", "Fetch=100"};
  lines += options;
  WriteSection(name, lines);
}

std::optional<DatabaseServer> MariaDbFromEnvironment() { return ServerFromEnvironment("QUORVANE_MY"); }

void AddMariaDbDataSource(const QString& name, const DatabaseServer& server, const QString& database,
                          const QStringList& options) {
  QStringList lines{"Driver=MariaDB Unicode", "Server=" + server.host, "Port=" + server.port, "User=" + server.user,
                    "Database=" + database};
  lines += options;
  WriteSection(name, lines);
}

const char* DriverName(Driver driver) {
  switch (driver) {
    case Driver::Sqlite: return "sqlite";
    case Driver::Postgres: return "postgres";
    case Driver::MariaDb: return "mariadb";
    case Driver::PostgresPool: return "postgres-pool";
  }
  return "?";
}

void RemoveDataSource(const QString& name) {
  WriteFile(OdbcIniPath(), WithoutSection(ReadFile(OdbcIniPath()), name));
}

}  // namespace support
