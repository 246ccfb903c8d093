// Edits find their row in the database's own terms, never through the
// driver's text of a value: rows that look alike are told apart, values
// reach the database as typed and come back as stored, a change by someone
// else is never overwritten, and an editor closed unchanged writes nothing.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ado/AdoError.h"
#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;
using support::Driver;

namespace {

std::size_t RowNamed(const ado::Recordset& rows, const std::string& name) {
  for (std::size_t row = 0; row < rows.rowCount(); ++row)
    if (rows.cell(row, 1).text == name) return row;
  throw std::runtime_error("no row named " + name);
}

struct Rewrite {
  std::string name;
  Driver driver;
  std::string setup;
  std::string between;  // what another program does after the table was read
  std::function<void(ado::Recordset&)> act;
  bool refused;
  std::string check;  // a query over the table, and what it must give
  std::string expected;
};

const std::vector<Rewrite>& Rewrites() {
  // Three rows of one INSERT, which share their version; CLUSTER puts bob
  // first, and ann where bob was.
  const std::string pgRows = "INSERT INTO pay VALUES (1, 'ann', 10), (2, 'bob', 20), (3, 'cid', 30);\n"
                             "CREATE INDEX pay_order ON pay ((salary % 20), id)";
  const std::string pgMove = "CLUSTER pay USING pay_order";
  const std::string pgCheck = "SELECT string_agg(name || '=' || salary, ',' ORDER BY id) FROM pay";
  const auto raiseBob = [](ado::Recordset& rows) { rows.UpdateCell(RowNamed(rows, "bob"), 2, "99"); };
  const auto deleteBob = [](ado::Recordset& rows) { rows.DeleteRows({RowNamed(rows, "bob")}); };
  static const std::vector<Rewrite> rewrites = {
      {"postgres key, moved", Driver::Postgres,
       "CREATE TABLE pay (id integer PRIMARY KEY, name text, salary integer);\n" + pgRows, pgMove, raiseBob, false,
       pgCheck, "ann=10,bob=99,cid=30"},
      {"postgres no key, moved, edit", Driver::Postgres,
       "CREATE TABLE pay (id integer, name text, salary integer);\n" + pgRows, pgMove, raiseBob, true, pgCheck,
       "ann=10,bob=20,cid=30"},
      {"postgres no key, moved, delete", Driver::Postgres,
       "CREATE TABLE pay (id integer, name text, salary integer);\n" + pgRows, pgMove, deleteBob, true, pgCheck,
       "ann=10,bob=20,cid=30"},
      {"sqlite rowid typed as 1e3", Driver::Sqlite,
       "CREATE TABLE pay (id INTEGER PRIMARY KEY, name TEXT, salary INTEGER);\n"
       "INSERT INTO pay VALUES (1, 'ann', 10);\nINSERT INTO pay VALUES (2, 'bob', 20)",
       "",
       [](ado::Recordset& rows) {
         const std::size_t bob = RowNamed(rows, "bob");
         rows.UpdateCell(bob, 0, "1e3");
         if (rows.cell(bob, 1).text != "bob" || rows.cell(bob, 0).text != "1000")
           throw std::runtime_error("the row shown is not the row stored");
         rows.UpdateCell(bob, 2, "99");
       },
       false, "SELECT group_concat(id || '=' || name || '=' || salary, ',') FROM (SELECT * FROM pay ORDER BY id)",
       "1=ann=10,1000=bob=99"},
      {"sqlite BLOB changed elsewhere", Driver::Sqlite,
       "CREATE TABLE pay (id INTEGER PRIMARY KEY, name TEXT, photo BLOB);\n"
       "INSERT INTO pay VALUES (1, 'ann', x'01');\nINSERT INTO pay VALUES (2, 'bob', x'02')",
       "UPDATE pay SET photo = x'03' WHERE id = 2", deleteBob, true,
       "SELECT group_concat(name || '=' || hex(photo), ',') FROM (SELECT * FROM pay ORDER BY id)", "ann=01,bob=03"},
      {"sqlite infinities put back", Driver::Sqlite,
       "CREATE TABLE pay (id INTEGER PRIMARY KEY, name TEXT, x REAL);\n"
       "INSERT INTO pay VALUES (1, 'ann', 9e999);\nINSERT INTO pay VALUES (2, 'bob', -9e999)",
       "",
       [](ado::Recordset& rows) {
         rows.DeleteRows({0, 1});
         rows.DropRows(0, 2);
         rows.Undo();
       },
       false,
       "SELECT group_concat(name || '=' || (x > 1e308) || (x < -1e308), ',') FROM (SELECT * FROM pay ORDER BY id)",
       "ann=10,bob=01"},
  };
  return rewrites;
}

}  // namespace

class ExactIdentityTest : public QObject {
  Q_OBJECT
  Sources sources_{"Exact"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  // Rows whose values the driver writes alike (REAL at 15 digits, DECIMAL
  // stored as REAL by SQLite, PostgreSQL's infinity), a partial unique index
  // that is no key, and rows of a parent and its child or of two partitions
  // at the same place: the edit changes the row shown, and only it.
  void editsReachExactlyTheRowShown_data() {
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("shownFirst");  // column 0 of the row to edit
    QTest::addColumn<QString>("untouched");   // WHERE clause of the row that must keep 'same'
    QTest::newRow("sqlite REAL key") << Driver::Sqlite
        << "CREATE TABLE t (k REAL PRIMARY KEY, v TEXT);\nINSERT INTO t VALUES (0.1 + 0.2, 'same');\n"
           "INSERT INTO t VALUES (0.3, 'same')"
        << "t" << "0.30000000000000004" << "k = 0.3";
    QTest::newRow("sqlite DECIMAL, no key") << Driver::Sqlite
        << "CREATE TABLE t (amount DECIMAL(10,2), v TEXT);\nINSERT INTO t VALUES (0.1 + 0.2, 'same');\n"
           "INSERT INTO t VALUES (0.3, 'same')"
        << "t" << "0.30000000000000004" << "amount = 0.3";
    QTest::newRow("postgres infinity, no key") << Driver::Postgres
        << "CREATE TABLE t (valid_to timestamp, v text);\nINSERT INTO t VALUES ('infinity', 'same');\n"
           "INSERT INTO t VALUES ('9999-12-31 23:59:59', 'same')"
        << "t" << "infinity" << "valid_to <> 'infinity'";
    QTest::newRow("postgres partial unique index") << Driver::Postgres
        << "CREATE TABLE t (code text, active boolean, v text);\nCREATE UNIQUE INDEX ON t (code) WHERE active;\n"
           "INSERT INTO t VALUES ('a', false, 'same');\nINSERT INTO t VALUES ('a', true, 'same')"
        << "t" << "a" << "active";
    QTest::newRow("postgres inherited rows") << Driver::Postgres
        << "CREATE TABLE t (id integer PRIMARY KEY, v text);\nCREATE TABLE child () INHERITS (t);\n"
           "INSERT INTO t VALUES (1, 'same');\nINSERT INTO child VALUES (1, 'same')"
        << "t" << "1" << "tableoid = 'child'::regclass";
    // One transaction: both rows get the same version and the same place.
    QTest::newRow("postgres row of an inheriting table") << Driver::Postgres
        << "CREATE TABLE t (id integer PRIMARY KEY, v text);\nCREATE TABLE child () INHERITS (t);\n"
           "DO $$BEGIN INSERT INTO child VALUES (1, 'same'); INSERT INTO t VALUES (2, 'same'); END$$"
        << "t" << "1" << "tableoid = 't'::regclass";
    QTest::newRow("postgres partitions") << Driver::Postgres
        << "CREATE TABLE t (id integer, v text) PARTITION BY LIST (id);\n"
           "CREATE TABLE t1 PARTITION OF t FOR VALUES IN (1);\nCREATE TABLE t2 PARTITION OF t FOR VALUES IN (2);\n"
           "INSERT INTO t VALUES (1, 'same'), (2, 'same')"
        << "t" << "2" << "id = 1";
    // Compared as doubles, text would reach both rows.
    QTest::newRow("mariadb BIGINT key past a double") << Driver::MariaDb
        << "CREATE TABLE t (k BIGINT PRIMARY KEY, v TEXT);\nINSERT INTO t VALUES (9007199254740993, 'same');\n"
           "INSERT INTO t VALUES (9007199254740992, 'same')"
        << "t" << "9007199254740993" << "k = 9007199254740992";
    QTest::newRow("mariadb unique NOT NULL DECIMAL key") << Driver::MariaDb
        << "CREATE TABLE t (k DECIMAL(30,20) NOT NULL UNIQUE, v TEXT);\n"
           "INSERT INTO t VALUES (0.30000000000000000001, 'same');\nINSERT INTO t VALUES (0.3, 'same')"
        << "t" << "0.30000000000000000001" << "k = 0.3";
  }
  void editsReachExactlyTheRowShown() {
    QFETCH(Driver, driver);
    QFETCH(QString, setup);
    QFETCH(QString, table);
    QFETCH(QString, shownFirst);
    QFETCH(QString, untouched);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript(setup.toStdString());
    OpenedGrid opened = OpenInGrid(source, table.toStdString());
    ui::DataGrid& grid = *opened.grid;
    const int row = RowShowing(grid, 0, shownFirst);
    QVERIFY2(row >= 0, qPrintable(Shown(grid, 0, 0) + " / " + Shown(grid, 1, 0)));
    const int v = grid.model()->columnCount() - 1;
    QVERIFY2(Commit(grid, row, v, "edited"), qPrintable(LastMessage(*opened.failed)));
    const std::string name = table.toStdString();
    QCOMPARE(sql.Scalar("SELECT count(*) FROM " + name + " WHERE v = 'edited'"), Cell("1"));
    QCOMPARE(sql.Scalar("SELECT v FROM " + name + " WHERE " + untouched.toStdString()), Cell("same"));
    // The grid shows the row it wrote, not another that looks alike.
    QCOMPARE(Shown(grid, row, 0), shownFirst);
    QCOMPARE(Shown(grid, row, v), QString("edited"));
  }

  // Rows that are not a plain table's own are shown, and refused with the
  // reason when an edit starts.
  // What names a row holds through what the database does to its table:
  // PostgreSQL rows that share their version (one INSERT) moved by CLUSTER, an SQLite rowid typed in another spelling, a BLOB changed
  // elsewhere, infinite REALs put back by an undo. The change reaches its
  // own row, or none, and says so.
  void aRowIsNamedByWhatTheTableSaysItIs_data() {
    QTest::addColumn<int>("round");
    for (std::size_t round = 0; round < Rewrites().size(); ++round)
      QTest::addRow("%s", Rewrites()[round].name.c_str()) << static_cast<int>(round);
  }
  void aRowIsNamedByWhatTheTableSaysItIs() {
    QFETCH(int, round);
    const Rewrite& rewrite = Rewrites()[round];
    const QString source = sources_.Fresh(rewrite.driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript(rewrite.setup);
    const ado::RecordsetPtr rows = OpenTable(source, "pay");
    rows->FetchMore(100);
    if (!rewrite.between.empty()) sql.ExecScript(rewrite.between);
    std::string failure;
    try {
      rewrite.act(*rows);
    } catch (const ado::Error& error) {
      failure = error.what();
    }
    QVERIFY2(failure.empty() != rewrite.refused, failure.c_str());
    QCOMPARE(sql.Scalar(rewrite.check), Cell(rewrite.expected));
  }

  void postgresViewsOpenReadOnly() {
    const QString source = sources_.Fresh(true);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE base (id integer PRIMARY KEY, at date);\nINSERT INTO base VALUES (1, 'infinity');\n"
        "CREATE VIEW base_view AS SELECT id, at FROM base;\n"
        "CREATE MATERIALIZED VIEW base_copy AS SELECT id, at FROM base");
    for (const char* name : {"base_view", "base_copy"}) {
      OpenedGrid opened = OpenInGrid(source, name);
      ui::DataGrid& grid = *opened.grid;
      QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
      QCOMPARE(Shown(grid, 0, 1), QString("infinity"));
      grid.setCurrentIndex(grid.model()->index(0, 1));
      QTest::keyClick(&grid, Qt::Key_F2);
      QCOMPARE(refused.count(), 1);
      QVERIFY2(refused.at(0).at(0).toString().contains("one plain table"), qPrintable(refused.at(0).at(0).toString()));
    }
  }

  // A typed text reaches the column whole (a time zone offset), types
  // without an equality operator are editable, and the server's own text
  // is shown: offsets, in the order the database has the instants.
  void valuesReachPostgresAsTypedAndComeBackAsStored() {
    const QString source = sources_.Fresh(true);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.Exec("ALTER DATABASE \"" + sources_.database().toStdString() + "\" SET timezone TO 'Europe/Oslo'");
    sql.ExecScript(
        "CREATE TABLE stamps (at timestamptz, j json, note text);\n"
        "INSERT INTO stamps VALUES ('2024-10-27 02:45:00+02', '{}', 'summer');\n"
        "INSERT INTO stamps VALUES ('2024-10-27 02:45:00+01', '[]', 'winter')");
    OpenedGrid opened = OpenInGrid(source, "stamps");
    ui::DataGrid& grid = *opened.grid;
    QCOMPARE(Shown(grid, 0, 0), QString("2024-10-27 02:45:00+02"));
    QCOMPARE(Shown(grid, 1, 0), QString("2024-10-27 02:45:00+01"));
    // Both cells of the repeated hour can be edited, again and again.
    QVERIFY2(Commit(grid, 0, 2, "first"), qPrintable(LastMessage(*opened.failed)));
    QVERIFY2(Commit(grid, 1, 2, "second"), qPrintable(LastMessage(*opened.failed)));
    QVERIFY2(Commit(grid, 0, 0, "2024-06-01 10:00:00+02"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM stamps WHERE at = '2024-06-01 08:00:00+00'"), Cell("1"));
    QCOMPARE(Shown(grid, 0, 0), QString("2024-06-01 10:00:00+02"));
    QVERIFY2(Commit(grid, 1, 1, "{\"a\": 1}"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT j::text FROM stamps WHERE note = 'second'"), Cell("{\"a\": 1}"));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM stamps WHERE note IN ('first', 'second')"), Cell("2"));
  }

  // MariaDB's own types reach the server as typed and come back as stored
  // (zero dates, bits and microseconds included) in a table whose name has
  // a blank and a backquote; raw bytes, tables without a key and tables
  // keyed by a floating-point value are read-only, with the reason.
  void valuesReachMariaDbAsTypedAndComeBackAsStored_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shown");  // as read
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("decimal") << 1 << "1.0000000001" << "2.5" << "2.5000000000";
    QTest::newRow("tinyint(1)") << 2 << "1" << "0" << "0";
    QTest::newRow("enum") << 3 << "m" << "l" << "l";
    QTest::newRow("set") << 4 << "a,c" << "b,c" << "b,c";
    QTest::newRow("datetime(6)") << 5 << "2024-01-02 03:04:05.123456" << "2025-05-05 05:05:05.000001"
                                 << "2025-05-05 05:05:05.000001";
    QTest::newRow("timestamp") << 6 << "2024-01-02 03:04:05" << "2024-07-01 12:00:00" << "2024-07-01 12:00:00";
    QTest::newRow("bit") << 7 << "5" << "255" << "255";
    QTest::newRow("json") << 9 << "{\"a\": 1}" << "{\"b\": 2}" << "{\"b\": 2}";
    QTest::newRow("zero date") << 10 << "0000-00-00" << "2024-02-29" << "2024-02-29";
    QTest::newRow("text in another case") << 11 << "abc" << "ABC" << "ABC";
  }
  void valuesReachMariaDbAsTypedAndComeBackAsStored() {
    QFETCH(int, column);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    const QString source = sources_.Fresh(Driver::MariaDb);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE `odd ``name` (id BIGINT PRIMARY KEY, d DECIMAL(30,10), flag TINYINT(1), "
        "size ENUM('s','m','l'), tags SET('a','b','c'), at DATETIME(6), stamp TIMESTAMP NULL, bits BIT(8), "
        "raw BLOB, doc JSON, day DATE, note VARCHAR(20));\n"
        "INSERT INTO `odd ``name` VALUES (9007199254740992, 1.0000000002, 0, 's', '', '2024-01-02 03:04:05.123457', "
        "NULL, b'0', NULL, '[]', '2024-02-29', 'abc');\n"
        "INSERT INTO `odd ``name` VALUES (9007199254740993, 1.0000000001, 1, 'm', 'a,c', "
        "'2024-01-02 03:04:05.123456', '2024-01-02 03:04:05', b'101', x'00ff', '{\"a\": 1}', '0000-00-00', 'abc');\n"
        "CREATE TABLE loose (a INT, b VARCHAR(5));\nINSERT INTO loose VALUES (1, 'x');\n"
        "CREATE TABLE floating (k DOUBLE PRIMARY KEY, b VARCHAR(5));\nINSERT INTO floating VALUES (0.1, 'x')");
    OpenedGrid opened = OpenInGrid(source, "odd `name");
    ui::DataGrid& grid = *opened.grid;
    const int row = RowShowing(grid, 0, "9007199254740993");
    QVERIFY(row >= 0);
    QCOMPARE(Shown(grid, row, column), shown);
    QVERIFY2(Commit(grid, row, column, typed), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(Shown(grid, row, column), stored);
    const std::string name = grid.model()->headerData(column, Qt::Horizontal).toString().toStdString();
    const std::string cast = column == 7 ? "CAST(`bits` + 0 AS CHAR)" : "CAST(`" + name + "` AS CHAR)";
    QCOMPARE(sql.Scalar("SELECT " + cast + " FROM `odd ``name` WHERE id = 9007199254740993"),
             Cell(stored.toStdString()));
    // The other row, alike but for the last digit of its key, kept its values.
    QCOMPARE(sql.Scalar("SELECT CONCAT_WS('|', d, flag, size, tags, at, bits + 0, doc, day, note) FROM `odd ``name` "
                        "WHERE id = 9007199254740992"),
             Cell("1.0000000002|0|s||2024-01-02 03:04:05.123457|0|[]|2024-02-29|abc"));

    QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
    grid.setCurrentIndex(grid.model()->index(row, 8));
    QTest::keyClick(&grid, Qt::Key_F2);
    QCOMPARE(refused.count(), 1);
    for (const char* keyless : {"loose", "floating"}) {
      OpenedGrid other = OpenInGrid(source, keyless);
      QSignalSpy otherRefused(other.grid.get(), &ui::DataGrid::editRefused);
      other.grid->setCurrentIndex(other.grid->model()->index(0, 1));
      QTest::keyClick(other.grid.get(), Qt::Key_F2);
      QCOMPARE(otherRefused.count(), 1);
      const QString reason = otherRefused.at(0).at(0).toString();
      QVERIFY2(reason.contains("no primary key"), qPrintable(reason));
    }
  }

  // An emptied cell stores the empty text in a text column and NULL in
  // any other, decided by the column's type on both drivers; an editor
  // closed as it opened writes nothing (a NULL stays NULL, bytes that are
  // not UTF-8 stay as they are).
  void emptiedAndUntouchedCells_data() { AddAllDrivers(); }
  void emptiedAndUntouchedCells() {
    QFETCH(Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE cells (id integer PRIMARY KEY, b boolean, t text, n text, raw text);\n"
        "INSERT INTO cells VALUES (1, true, 'x', NULL, 'ok')");
    if (driver == Driver::Sqlite) sql.Exec("UPDATE cells SET raw = CAST(X'C328' AS TEXT)");
    OpenedGrid opened = OpenInGrid(source, "cells");
    ui::DataGrid& grid = *opened.grid;
    QVERIFY2(Commit(grid, 0, 1, ""), qPrintable(LastMessage(*opened.failed)));
    QVERIFY2(Commit(grid, 0, 2, ""), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Query("SELECT b IS NULL, t FROM cells"), (Rows{{Cell("1"), Cell("")}}));
    const Rows before = Snapshot(sql, driver, "cells");
    for (int column : {3, 4}) {
      const QModelIndex index = grid.model()->index(0, column);
      grid.setCurrentIndex(index);
      grid.edit(index);
      QVERIFY(qobject_cast<QLineEdit*>(grid.indexWidget(index)));
      QVERIFY(grid.commitPendingEdit());
    }
    QCOMPARE(Snapshot(sql, driver, "cells"), before);
    QCOMPARE(opened.failed->count(), 0);
  }

  // Another session changed the cell after the grid read it: the edit is
  // refused, the other value stays and is shown, whatever the type (also
  // those that cannot be compared through their text).
  void aChangeBySomeoneElseIsNeverOverwritten_data() {
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("shown");
    QTest::newRow("sqlite NUMERIC(12,2)") << Driver::Sqlite << "NUMERIC(12,2)" << "10.25" << "10.25";
    QTest::newRow("sqlite REAL past 15 digits") << Driver::Sqlite << "REAL" << "0.30000000000000004"
                                                << "0.30000000000000004";
    QTest::newRow("postgres money") << Driver::Postgres << "money" << "10.25" << "10.25";
    QTest::newRow("postgres float8") << Driver::Postgres << "float8" << "0.30000000000000004"
                                     << "0.30000000000000004";
    QTest::newRow("postgres real") << Driver::Postgres << "real" << "10.25" << "10.25";
    // Equal to what was read as a double, or under the column's collation
    // (which pads with blanks).
    QTest::newRow("mariadb DECIMAL(30,20)") << Driver::MariaDb << "DECIMAL(30,20)" << "0.30000000000000000001"
                                            << "0.30000000000000000001";
    QTest::newRow("mariadb text with a trailing blank") << Driver::MariaDb << "VARCHAR(10)" << "'0.3 '" << "0.3 ";
  }
  void aChangeBySomeoneElseIsNeverOverwritten() {
    QFETCH(Driver, driver);
    QFETCH(QString, type);
    QFETCH(QString, theirs);
    QFETCH(QString, shown);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript("CREATE TABLE account (id integer PRIMARY KEY, balance " + type.toStdString() + ");\n"
                   "INSERT INTO account VALUES (1, 0.3)");
    OpenedGrid opened = OpenInGrid(source, "account");
    ui::DataGrid& grid = *opened.grid;
    sql.Exec("UPDATE account SET balance = " + theirs.toStdString() + " WHERE id = 1");
    const Rows changed = Snapshot(sql, driver, "account");
    QVERIFY(!Commit(grid, 0, 1, "99"));
    QVERIFY2(LastMessage(*opened.failed).contains("changed by someone else"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(Snapshot(sql, driver, "account"), changed);
    QVERIFY2(Shown(grid, 0, 1).contains(shown), qPrintable(Shown(grid, 0, 1)));
  }

  // What became of a row another session touched is told truly: changed
  // (and shown) where a key finds it; in a table without a key, changed or
  // deleted, never one of them guessed, and the row is struck through. A
  // duplicate added meanwhile never makes an edit reach two rows, even
  // without transactions.
  void whatBecameOfARowIsToldTruly_data() { AddDrivers(); }
  void whatBecameOfARowIsToldTruly() {
    QFETCH(bool, postgres);
    for (const bool withoutTransactions : {false, true}) {
      if (postgres && withoutTransactions) continue;
      const QString source = sources_.Fresh(postgres, withoutTransactions ? QStringList{"NoTXN=1"} : QStringList{});
      if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
      support::DirectSql sql(source);
      sql.ExecScript(
          "CREATE TABLE loose (a integer, b text);\n"
          "INSERT INTO loose VALUES (1, 'x');\n"
          "INSERT INTO loose VALUES (2, 'y')");
      OpenedGrid opened = OpenInGrid(source, "loose");
      ui::DataGrid& grid = *opened.grid;
      sql.Exec("INSERT INTO loose VALUES (1, 'x')");
      QVERIFY2(Commit(grid, 0, 1, "mine"), qPrintable(LastMessage(*opened.failed)));
      QCOMPARE(sql.Scalar("SELECT count(*) FROM loose WHERE b = 'mine'"), Cell("1"));
      QCOMPARE(sql.Scalar("SELECT count(*) FROM loose WHERE b = 'x'"), Cell("1"));
      sql.Exec("UPDATE loose SET a = 3 WHERE b = 'y'");
      QVERIFY(!Commit(grid, 1, 1, "gone?"));
      QVERIFY2(LastMessage(*opened.failed).contains("changed or deleted by someone else"),
               qPrintable(LastMessage(*opened.failed)));
      QVERIFY(grid.model()->index(1, 1).data(Qt::FontRole).value<QFont>().strikeOut());
      QVERIFY(!(grid.model()->flags(grid.model()->index(1, 1)) & Qt::ItemIsEditable));
      QCOMPARE(sql.Scalar("SELECT b FROM loose WHERE a = 3"), Cell("y"));
    }
  }
};

QTEST_MAIN(ExactIdentityTest)
#include "tst_exact_identity.moc"
