// Edits find their row in the database's own terms, never through the
// driver's text of a value: rows that look alike are told apart, values
// reach the database as typed and come back as stored, a change by someone
// else is never overwritten, and an editor closed unchanged writes nothing.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

int RowShowing(const ui::DataGrid& grid, int column, const QString& text) {
  for (int row = 0; row < grid.model()->rowCount(); ++row)
    if (Shown(grid, row, column) == text) return row;
  return -1;
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
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("shownFirst");  // column 0 of the row to edit
    QTest::addColumn<QString>("untouched");   // WHERE clause of the row that must keep 'same'
    QTest::newRow("sqlite REAL key") << false
        << "CREATE TABLE t (k REAL PRIMARY KEY, v TEXT);\nINSERT INTO t VALUES (0.1 + 0.2, 'same');\n"
           "INSERT INTO t VALUES (0.3, 'same')"
        << "t" << "0.30000000000000004" << "k = 0.3";
    QTest::newRow("sqlite DECIMAL, no key") << false
        << "CREATE TABLE t (amount DECIMAL(10,2), v TEXT);\nINSERT INTO t VALUES (0.1 + 0.2, 'same');\n"
           "INSERT INTO t VALUES (0.3, 'same')"
        << "t" << "0.30000000000000004" << "amount = 0.3";
    QTest::newRow("postgres infinity, no key") << true
        << "CREATE TABLE t (valid_to timestamp, v text);\nINSERT INTO t VALUES ('infinity', 'same');\n"
           "INSERT INTO t VALUES ('9999-12-31 23:59:59', 'same')"
        << "t" << "infinity" << "valid_to <> 'infinity'";
    QTest::newRow("postgres partial unique index") << true
        << "CREATE TABLE t (code text, active boolean, v text);\nCREATE UNIQUE INDEX ON t (code) WHERE active;\n"
           "INSERT INTO t VALUES ('a', false, 'same');\nINSERT INTO t VALUES ('a', true, 'same')"
        << "t" << "a" << "active";
    QTest::newRow("postgres inherited rows") << true
        << "CREATE TABLE t (id integer PRIMARY KEY, v text);\nCREATE TABLE child () INHERITS (t);\n"
           "INSERT INTO t VALUES (1, 'same');\nINSERT INTO child VALUES (1, 'same')"
        << "t" << "1" << "tableoid = 'child'::regclass";
    // One transaction: both rows get the same version and the same place.
    QTest::newRow("postgres row of an inheriting table") << true
        << "CREATE TABLE t (id integer PRIMARY KEY, v text);\nCREATE TABLE child () INHERITS (t);\n"
           "DO $$BEGIN INSERT INTO child VALUES (1, 'same'); INSERT INTO t VALUES (2, 'same'); END$$"
        << "t" << "1" << "tableoid = 't'::regclass";
    QTest::newRow("postgres partitions") << true
        << "CREATE TABLE t (id integer, v text) PARTITION BY LIST (id);\n"
           "CREATE TABLE t1 PARTITION OF t FOR VALUES IN (1);\nCREATE TABLE t2 PARTITION OF t FOR VALUES IN (2);\n"
           "INSERT INTO t VALUES (1, 'same'), (2, 'same')"
        << "t" << "2" << "id = 1";
  }
  void editsReachExactlyTheRowShown() {
    QFETCH(bool, postgres);
    QFETCH(QString, setup);
    QFETCH(QString, table);
    QFETCH(QString, shownFirst);
    QFETCH(QString, untouched);
    const QString source = sources_.Fresh(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
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

  // An emptied cell stores the empty text in a text column and NULL in
  // any other, decided by the column's type on both drivers; an editor
  // closed as it opened writes nothing (a NULL stays NULL, bytes that are
  // not UTF-8 stay as they are).
  void emptiedAndUntouchedCells_data() { AddDrivers(); }
  void emptiedAndUntouchedCells() {
    QFETCH(bool, postgres);
    const QString source = sources_.Fresh(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE cells (id integer PRIMARY KEY, b boolean, t text, n text, raw text);\n"
        "INSERT INTO cells VALUES (1, true, 'x', NULL, 'ok')");
    if (!postgres) sql.Exec("UPDATE cells SET raw = CAST(X'C328' AS TEXT)");
    OpenedGrid opened = OpenInGrid(source, "cells");
    ui::DataGrid& grid = *opened.grid;
    QVERIFY2(Commit(grid, 0, 1, ""), qPrintable(LastMessage(*opened.failed)));
    QVERIFY2(Commit(grid, 0, 2, ""), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Query("SELECT b IS NULL, t FROM cells"), (Rows{{Cell(postgres ? "1" : "1"), Cell("")}}));
    const Rows before = Snapshot(sql, postgres, "cells");
    for (int column : {3, 4}) {
      const QModelIndex index = grid.model()->index(0, column);
      grid.setCurrentIndex(index);
      grid.edit(index);
      QVERIFY(qobject_cast<QLineEdit*>(grid.indexWidget(index)));
      QVERIFY(grid.commitPendingEdit());
    }
    QCOMPARE(Snapshot(sql, postgres, "cells"), before);
    QCOMPARE(opened.failed->count(), 0);
  }

  // Another session changed the cell after the grid read it: the edit is
  // refused, the other value stays and is shown, whatever the type (also
  // those that cannot be compared through their text).
  void aChangeBySomeoneElseIsNeverOverwritten_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("theirs");
    QTest::newRow("sqlite NUMERIC(12,2)") << false << "NUMERIC(12,2)" << "10.25";
    QTest::newRow("sqlite REAL past 15 digits") << false << "REAL" << "0.30000000000000004";
    QTest::newRow("postgres money") << true << "money" << "10.25";
    QTest::newRow("postgres float8") << true << "float8" << "0.30000000000000004";
    QTest::newRow("postgres real") << true << "real" << "10.25";
  }
  void aChangeBySomeoneElseIsNeverOverwritten() {
    QFETCH(bool, postgres);
    QFETCH(QString, type);
    QFETCH(QString, theirs);
    const QString source = sources_.Fresh(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.ExecScript("CREATE TABLE account (id integer PRIMARY KEY, balance " + type.toStdString() + ");\n"
                   "INSERT INTO account VALUES (1, 0.3)");
    OpenedGrid opened = OpenInGrid(source, "account");
    ui::DataGrid& grid = *opened.grid;
    sql.Exec("UPDATE account SET balance = " + theirs.toStdString() + " WHERE id = 1");
    const Rows changed = Snapshot(sql, postgres, "account");
    QVERIFY(!Commit(grid, 0, 1, "99"));
    QVERIFY2(LastMessage(*opened.failed).contains("changed by someone else"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(Snapshot(sql, postgres, "account"), changed);
    QVERIFY(Shown(grid, 0, 1).contains("10.25") || Shown(grid, 0, 1) == "0.30000000000000004");
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
