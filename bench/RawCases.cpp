#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "Cases.h"
#include "Measure.h"
#include "Random.h"
#include "RawRows.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

std::string SelectAll(const RawConnection& connection, const Options& options) {
  return "SELECT * FROM " + connection.Quote(options.table);
}

void Execute(RawStatement& statement, std::string sql) {
  statement.Check(SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), "executing");
}

// Connects, lists the plain tables without "SYS" in their names and
// disconnects, as the program's listing does.
std::vector<std::string> ListTables(const std::string& dataSource) {
  RawConnection connection(dataSource);
  RawStatement statement(connection);
  std::string catalog = connection.OwnCatalog();
  statement.Check(SQLTables(statement.handle(), catalog.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(catalog.data()),
                            static_cast<SQLSMALLINT>(catalog.size()), nullptr, 0, nullptr, 0, nullptr, 0),
                  "listing tables");
  std::vector<std::string> names;
  char type[256], name[512];
  SQLLEN typeLength = 0, nameLength = 0;
  while (SQLFetch(statement.handle()) == SQL_SUCCESS) {
    statement.Check(SQLGetData(statement.handle(), 4, SQL_C_CHAR, type, sizeof type, &typeLength), "type");
    if (typeLength == SQL_NULL_DATA || std::string_view(type) != "TABLE") continue;
    statement.Check(SQLGetData(statement.handle(), 3, SQL_C_CHAR, name, sizeof name, &nameLength), "name");
    if (nameLength == SQL_NULL_DATA) continue;
    std::string upper(name);
    std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find("SYS") == std::string::npos) names.push_back(name);
  }
  return names;
}

}  // namespace

Metrics RawFirstScreen(const Options& options) {
  Span span;
  RawConnection connection(options.dataSource);
  RawStatement statement(connection);
  Execute(statement, SelectAll(connection, options));
  return ScreenOfRows(statement, span);
}

Metrics RawLastRows(const Options& options) {
  // Connected already, as the program is when its first screen shows.
  RawConnection connection(options.dataSource);
  Span span;
  RawStatement statement(connection);
  Execute(statement, SelectAll(connection, options) + " ORDER BY " + connection.Quote(options.key) + " DESC");
  return ScreenOfRows(statement, span);
}

Metrics RawMiddleRows(const Options& options) {
  RawConnection connection(options.dataSource);
  const std::string key = connection.Quote(options.key);
  // The place's key, known beforehand (the keys run on without gaps).
  SQLBIGINT middle = 0;
  {
    RawStatement bounds(connection);
    Execute(bounds, "SELECT min(" + key + ") + count(*) / 2 FROM " + connection.Quote(options.table));
    bounds.Check(SQLFetch(bounds.handle()), "reading the middle key");
    bounds.Check(SQLGetData(bounds.handle(), 1, SQL_C_SBIGINT, &middle, 0, nullptr), "reading the middle key");
  }
  Span span;
  RawStatement statement(connection);
  SQLLEN length = 0;
  statement.Check(SQLBindParameter(statement.handle(), 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &middle, 0,
                                   &length),
                  "binding");
  Execute(statement, SelectAll(connection, options) + " WHERE " + key + " >= ? ORDER BY " + key + " LIMIT 50");
  return ScreenOfRows(statement, span);
}

Metrics RawReadThrough(const Options& options) {
  Span span;
  RawConnection connection(options.dataSource);
  RawStatement statement(connection);
  Execute(statement, SelectAll(connection, options));
  RawRows rows(statement);
  while (rows.ReadBlock() > 0) {
  }
  return {{"seconds", span.seconds()},
          {"peak_mib", span.peakGrowthMiB()},
          {"rows", static_cast<double>(rows.rowCount())},
          {"truncated", static_cast<double>(rows.truncatedValues())}};
}

Metrics RawTableList(const Options& options) {
  Span span;
  const std::vector<std::string> names = ListTables(options.dataSource);
  const double seconds = span.seconds();
  if (options.expectedTables && static_cast<int>(names.size()) != options.expectedTables)
    throw std::runtime_error("listed " + std::to_string(names.size()) + " tables");
  return {{"seconds", seconds}};
}

Metrics RawEdits(const Options& options, bool readOpen) {
  RawConnection connection(options.dataSource);
  SQLLEN rowCount = 0;
  {
    RawStatement count(connection);
    Execute(count, "SELECT COUNT(*) FROM " + connection.Quote(options.table));
    SQLFetch(count.handle());
    SQLGetData(count.handle(), 1, SQL_C_SLONG, &rowCount, 0, nullptr);
  }
  // SQLite lets no other connection write while a read is open, so there
  // a plain program, like ours, would end its read first: no read is kept.
  char dbms[64] = {};
  SQLGetInfo(connection.handle(), SQL_DBMS_NAME, dbms, sizeof dbms, nullptr);
  std::unique_ptr<RawConnection> readerConnection;
  std::unique_ptr<RawStatement> reader;
  std::unique_ptr<RawRows> read;
  if (readOpen && std::string_view(dbms) != "SQLite") {
    readerConnection = std::make_unique<RawConnection>(options.dataSource);
    reader = std::make_unique<RawStatement>(*readerConnection);
    Execute(*reader, SelectAll(*readerConnection, options));
    read = std::make_unique<RawRows>(*reader);
  }
  Random random(7);
  std::vector<double> times;
  for (int edit = 0; edit < options.edits; ++edit) {
    std::string value = "raw " + std::to_string(getpid()) + " " + std::to_string(edit);
    if (read) {
      // As many rows read between two edits as the program's grid reads.
      const std::size_t wanted = static_cast<std::size_t>(edit + 1) * ui::RecordsetModel::FetchBlockRows;
      while (read->rowCount() < wanted && read->ReadBlock() > 0) {
      }
    }
    const long highest = read ? static_cast<long>(read->rowCount()) : static_cast<long>(rowCount);
    SQLINTEGER key = static_cast<SQLINTEGER>(random.Between(1, highest));
    SQLLEN valueLength = static_cast<SQLLEN>(value.size()), keyLength = 0;
    const double start = Now();
    RawStatement statement(connection);
    statement.Check(SQLBindParameter(statement.handle(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, value.size(), 0,
                                     value.data(), valueLength, &valueLength),
                    "binding");
    statement.Check(SQLBindParameter(statement.handle(), 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &key, 0,
                                     &keyLength),
                    "binding");
    Execute(statement, "UPDATE " + connection.Quote(options.table) + " SET customer = ? WHERE id = ?");
    SQLLEN changed = 0;
    SQLRowCount(statement.handle(), &changed);
    times.push_back(Now() - start);
    if (changed != 1) throw std::runtime_error("an update changed " + std::to_string(changed) + " rows");
  }
  return Distribution("edit", times);
}

Metrics Distribution(const std::string& prefix, std::vector<double> seconds) {
  if (seconds.empty()) return {};
  const double first = seconds.front();
  std::ranges::sort(seconds);
  const auto at = [&](double share) { return seconds[static_cast<std::size_t>(share * (seconds.size() - 1) + 0.5)]; };
  return {{prefix + "_median", at(0.5)}, {prefix + "_p95", at(0.95)}, {prefix + "_first", first},
          {prefix + "_max", seconds.back()}};
}

}  // namespace bench
