#pragma once

// Shared set-up of the reliability tests: a fresh data source per round on
// either driver, the table opened the way the table chooser opens it, cell
// edits committed through the grid's own editor, and exact snapshots of a
// table to prove that nothing else changed.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <string>

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "support/DirectSql.h"
#include "support/GridEditing.h"
#include "support/ScratchMariaDb.h"
#include "support/ScratchPostgres.h"
#include "support/TestDataSources.h"

namespace reliability {

using support::Commit;
using support::OpenTable;

using Cell = std::optional<std::string>;
using Rows = support::DirectSql::Rows;

// One data source per round: the driver manager keeps a definition once
// read, so a name is never reused with another database.
class Sources {
 public:
  explicit Sources(QString prefix) : prefix_(std::move(prefix)) {}

  bool valid() const { return folder_.isValid(); }
  QString folder() const { return folder_.path(); }
  QString sqliteFile(const QString& source) const { return folder_.filePath(source + ".sqlite"); }

  // Empty when a server is asked for and no test server of it is set up.
  QString Fresh(bool postgres, const QStringList& options = {}) {
    return Fresh(postgres ? support::Driver::Postgres : support::Driver::Sqlite, options);
  }
  QString Fresh(support::Driver driver, const QStringList& options = {}) {
    const bool postgres = support::IsPostgres(driver);
    const QString source = prefix_ + support::DriverName(driver) + QString::number(++round_);
    mariadb_.reset();
    if (driver == support::Driver::MariaDb) {
      auto server = support::MariaDbFromEnvironment();
      if (!server) return {};
      mariadb_ = std::make_unique<support::ScratchMariaDb>(*server, source, options);
    } else if (postgres) {
      auto server = support::PostgresFromEnvironment();
      if (!server) return {};
      postgres_.reset();
      postgres_ = std::make_unique<support::ScratchPostgres>(*server, source);
      if (driver == support::Driver::PostgresPool) {
        // Made and dropped on the server itself; used through the pool.
        auto pool = support::PostgresRouteFromEnvironment(support::PostgresRoute::Pool);
        if (!pool) return {};
        const QString pooled = source + "Pooled";
        support::AddPostgresDataSource(pooled, *pool, postgres_->database(), options);
        return pooled;
      }
      if (!options.isEmpty()) {
        // Same database, further driver options, under a second name.
        const QString tuned = source + "Tuned";
        support::AddPostgresDataSource(tuned, *server, postgres_->database(), options);
        return tuned;
      }
    } else {
      support::AddSqliteDataSource(source, sqliteFile(source), options);
    }
    return source;
  }
  // The PostgreSQL database of the last round straight on the server, also
  // where that round's data source goes through the pool.
  QString directSource() const { return postgres_ ? postgres_->dataSourceName() : QString(); }
  QString database() const {
    return postgres_ ? postgres_->database() : mariadb_ ? mariadb_->database() : QString();
  }
  void Reset() {
    postgres_.reset();
    mariadb_.reset();
  }

 private:
  QString prefix_;
  QTemporaryDir folder_;
  int round_ = 0;
  std::unique_ptr<support::ScratchPostgres> postgres_;
  std::unique_ptr<support::ScratchMariaDb> mariadb_;
};

// The rows of a test table-driven over every driver: column "driver".
inline void AddAllDrivers() {
  QTest::addColumn<support::Driver>("driver");
  for (auto driver : {support::Driver::Sqlite, support::Driver::Postgres, support::Driver::MariaDb})
    QTest::newRow(support::DriverName(driver)) << driver;
}

// The same with a row for PostgreSQL behind a connection pooler, for the
// tests of writing.
inline void AddAllDriversAndPool() {
  AddAllDrivers();
  QTest::newRow(support::DriverName(support::Driver::PostgresPool)) << support::Driver::PostgresPool;
}

#define QUORVANE_SKIP_WITHOUT(source) \
  if ((source).isEmpty()) QSKIP("database test server not configured (run scripts/test)")

inline void AddDrivers() {
  QTest::addColumn<bool>("postgres");
  QTest::newRow("sqlite") << false;
  QTest::newRow("postgres") << true;
}

// The text of the last message a signal spy caught, empty when none.
inline QString LastMessage(const QSignalSpy& spy) { return spy.isEmpty() ? QString() : spy.last().at(0).toString(); }

// A table opened in a shown grid, its write failures caught, and its
// yes/no questions answered with `answer` and kept.
struct OpenedGrid {
  std::unique_ptr<ui::DataGrid> grid = std::make_unique<ui::DataGrid>();
  std::unique_ptr<QSignalSpy> failed = std::make_unique<QSignalSpy>(grid.get(), &ui::DataGrid::writeFailed);
  std::shared_ptr<QStringList> questions = std::make_shared<QStringList>();
};

// `pageRows`: the grid shows the table a page of that many rows at a time
// (0: as the program does).
inline OpenedGrid OpenInGrid(const QString& source, const std::string& table, bool answer = true,
                             std::size_t pageRows = 0) {
  OpenedGrid opened;
  opened.grid->setPageRows(pageRows);
  opened.grid->setDataSource(OpenTable(source, table));
  opened.grid->setConfirmation([answer, questions = opened.questions](const QString& question) {
    *questions << question;
    return answer;
  });
  opened.grid->show();
  return opened;
}

inline QString Shown(const ui::DataGrid& grid, int row, int column) {
  return grid.model()->index(row, column).data().toString();
}

// The first row of the grid whose cell in the column shows the text; -1: none.
inline int RowShowing(const ui::DataGrid& grid, int column, const QString& text) {
  for (int row = 0; row < grid.model()->rowCount(); ++row)
    if (Shown(grid, row, column) == text) return row;
  return -1;
}

// After step `number` of a table-driven test: its message (`because`; empty:
// none), the table as the database holds it (`query`'s rows, cells joined
// by blanks, NULL as "NULL", rows by "|"), and the grid showing the same
// rows, in any order.
inline void CheckStep(const QSignalSpy& failed, const char* because, int number, support::DirectSql& sql,
                      const std::string& query, const ui::DataGrid& grid, const QString& table) {
  const QString where = QString("step %1: %2").arg(number).arg(LastMessage(failed));
  if (*because)
    QVERIFY2(LastMessage(failed).contains(because), qPrintable(where));
  else
    QVERIFY2(failed.isEmpty(), qPrintable(where));
  QStringList rows, shown;
  for (const auto& row : sql.Query(query)) {
    QStringList cells;
    for (const auto& cell : row) cells << QString::fromStdString(cell.value_or("NULL"));
    rows << cells.join(' ');
  }
  for (int row = 0; row < grid.model()->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < grid.model()->columnCount(); ++column) cells << Shown(grid, row, column);
    shown << cells.join(' ');
  }
  QCOMPARE(rows.join('|'), table);
  shown.sort();
  rows.sort();
  QCOMPARE(shown, rows);  // the grid shows the rows as the database holds them
}

inline std::string Quoted(const std::string& name, char quote = '"') {
  std::string quoted(1, quote);
  for (char c : name) quoted += c == quote ? std::string(2, quote) : std::string(1, c);
  return quoted + quote;
}
// As the driver's SQL takes a name: MariaDB in its default mode quotes
// with backquotes.
inline std::string Quoted(const std::string& name, support::Driver driver) {
  return Quoted(name, driver == support::Driver::MariaDb ? '`' : '"');
}

// Every stored row with its physical place and the exact stored form of
// every value (SQLite: rowid and quote() of each column, which tells the
// storage class; PostgreSQL: ctid and the row's text; MariaDB, which has no
// place to show: each value's hexadecimal bytes), in storage order.
inline Rows Snapshot(support::DirectSql& sql, bool postgres, const std::string& table) {
  if (postgres)
    return sql.Query("SELECT ctid::text, t::text FROM " + Quoted(table) + " t ORDER BY ctid");
  std::string columns;
  std::string literal = "'";
  for (char c : table) literal += c == '\'' ? std::string("''") : std::string(1, c);
  literal += "'";
  for (const auto& row : sql.Query("SELECT name FROM pragma_table_info(" + literal + ")"))
    columns += ", quote(" + Quoted(*row[0]) + ")";
  return sql.Query("SELECT rowid" + columns + " FROM " + Quoted(table) + " ORDER BY rowid");
}

inline Rows Snapshot(support::DirectSql& sql, support::Driver driver, const std::string& table) {
  if (driver == support::Driver::MariaDb) {
    std::string columns;
    for (const auto& row : sql.Query("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                                     "DATABASE() AND TABLE_NAME = '" + table + "' ORDER BY ORDINAL_POSITION"))
      columns += std::string(columns.empty() ? "" : ", ") + "HEX(`" + *row[0] + "`)";
    return sql.Query("SELECT " + columns + " FROM `" + table + "`");
  }
  return Snapshot(sql, support::IsPostgres(driver), table);
}

}  // namespace reliability
