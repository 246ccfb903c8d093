// Edits that meet other people's work: rows changed or deleted since they
// were read, rows that cannot be told apart, SQLite rowids handed out again
// after a VACUUM by another process, and a refused write in the middle of
// a table still being read lazily. Each case checks what the user is told
// and that the database holds exactly what it should, row for row.
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

// Runs SQL in the sqlite3 shell, a process of its own, as another program
// working on the same file would.
void RunSqliteShell(const QString& file, const QString& script) {
  QProcess shell;
  shell.start("sqlite3", {"-bail", file});
  QVERIFY2(shell.waitForStarted(), "sqlite3 shell not found");
  shell.write(script.toUtf8() + "\n.quit\n");
  shell.closeWriteChannel();
  QVERIFY(shell.waitForFinished(-1));
  QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
}

}  // namespace

class ReliabilityConflictsTest : public QObject {
  Q_OBJECT
  Sources sources_{"Conflict"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  void rowsChangedOrDeletedByOthersAreLeftAsTheyAre_data() { AddAllDriversAndPool(); }
  void rowsChangedOrDeletedByOthersAreLeftAsTheyAre() {
    QFETCH(support::Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql other(source);
    other.ExecScript(
        "CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(20), qty INTEGER);\n"
        "INSERT INTO items VALUES (1, 'bolt', 1);\n"
        "INSERT INTO items VALUES (2, 'nut', 2);\n"
        "INSERT INTO items VALUES (3, 'screw', 3);\n"
        "INSERT INTO items VALUES (4, 'nail', 4)");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "items"));
    grid.show();
    QCOMPARE(grid.model()->rowCount(), 4);

    // Changed meanwhile: the other change stays, the grid shows it.
    other.Exec("UPDATE items SET name = 'NUT', qty = 20 WHERE id = 2");
    const Rows changed = Snapshot(other, driver, "items");
    QVERIFY(!Commit(grid, 1, 1, "mine"));
    QVERIFY2(LastMessage(failed).contains("changed by someone else") && LastMessage(failed).contains("\"name\"") &&
                 LastMessage(failed).contains("\"mine\""),
             qPrintable(LastMessage(failed)));
    QCOMPARE(Snapshot(other, driver, "items"), changed);
    QCOMPARE(Shown(grid, 1, 1), QString("NUT"));
    QCOMPARE(Shown(grid, 1, 2), QString("20"));

    // Deleted meanwhile: nothing is written anywhere.
    other.Exec("DELETE FROM items WHERE id = 3");
    const Rows deleted = Snapshot(other, driver, "items");
    QVERIFY(!Commit(grid, 2, 1, "gone"));
    QVERIFY2(LastMessage(failed).contains("someone else deleted the row, or changed its key"), qPrintable(LastMessage(failed)));
    QCOMPARE(Snapshot(other, driver, "items"), deleted);
    QCOMPARE(other.Scalar("SELECT count(*) FROM items WHERE name = 'gone'"), Cell("0"));

    // The other rows still take edits, one row at a time.
    QVERIFY(Commit(grid, 3, 1, "pin"));
    QCOMPARE(other.Query("SELECT id, name FROM items ORDER BY id"),
             (Rows{{Cell("1"), Cell("bolt")}, {Cell("2"), Cell("NUT")}, {Cell("4"), Cell("pin")}}));
    QCOMPARE(failed.count(), 2);
  }

  // Rows that hold the same values are still told apart by the database's
  // own identity (rowid, ctid): an edit changes the one row edited.
  void identicalRowsAreToldApart_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("withoutTransactions");
    QTest::newRow("sqlite") << false << false;
    QTest::newRow("sqlite NoTXN") << false << true;
    QTest::newRow("postgres") << true << false;
  }
  void identicalRowsAreToldApart() {
    QFETCH(bool, postgres);
    QFETCH(bool, withoutTransactions);
    const QString source = sources_.Fresh(postgres, withoutTransactions ? QStringList{"NoTXN=1"} : QStringList{});
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE twins (a INTEGER, b VARCHAR(10));\n"
        "INSERT INTO twins VALUES (1, 'x');\n"
        "INSERT INTO twins VALUES (1, 'x');\n"
        "INSERT INTO twins VALUES (2, 'y');\n"
        "CREATE TABLE nulls (code VARCHAR(10) UNIQUE, label VARCHAR(10));\n"
        "INSERT INTO nulls VALUES (NULL, 'n');\n"
        "INSERT INTO nulls VALUES (NULL, 'n');\n"
        "INSERT INTO nulls VALUES ('c', 'm')");
    for (const std::string table : {"twins", "nulls"}) {
      ui::DataGrid grid;
      QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
      grid.setDataSource(OpenTable(source, table));
      grid.show();
      const std::string first = table == "twins" ? "a" : "code";
      const std::string second = table == "twins" ? "b" : "label";
      for (int column : {0, 1}) {
        QVERIFY2(Commit(grid, 0, column, "7"), qPrintable(LastMessage(failed)));
        QCOMPARE(Shown(grid, 0, column), QString("7"));
      }
      // Exactly one of the twins took both values; the other is as it was.
      QCOMPARE(sql.Scalar("SELECT count(*) FROM " + table + " WHERE " + first + " = '7' AND " + second + " = '7'"),
               Cell("1"));
      const std::string twin = table == "twins" ? "a = 1 AND b = 'x'" : "code IS NULL AND label = 'n'";
      QCOMPARE(sql.Scalar("SELECT count(*) FROM " + table + " WHERE " + twin), Cell("1"));
      QCOMPARE(sql.Scalar("SELECT count(*) FROM " + table), Cell("3"));
      QCOMPARE(failed.count(), 0);
    }
  }

  void aRowidHandedOutAgainNeverLeadsToAnotherRow() {
    const QString source = sources_.Fresh(false);
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE plain (a INTEGER, b TEXT);\n"
        "INSERT INTO plain VALUES (1, 'one');\n"
        "INSERT INTO plain VALUES (2, 'two');\n"
        "INSERT INTO plain VALUES (3, 'three')");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "plain"));
    grid.show();
    QCOMPARE(grid.model()->rowCount(), 3);
    // Another program removes the first row and compacts the file: the
    // remaining rows move down to rowids 1 and 2, and a new row takes 3.
    RunSqliteShell(sources_.sqliteFile(source),
                   "DELETE FROM plain WHERE a = 1; VACUUM; INSERT INTO plain VALUES (9, 'nine');");
    QCOMPARE(sql.Query("SELECT rowid, b FROM plain ORDER BY rowid"),
             (Rows{{Cell("1"), Cell("two")}, {Cell("2"), Cell("three")}, {Cell("3"), Cell("nine")}}));
    const Rows moved = Snapshot(sql, false, "plain");
    // Neither the row that left nor the ones that moved are written: rowids
    // that are no key are trusted only together with the whole row.
    for (int row : {0, 2}) {
      QVERIFY(!Commit(grid, row, 1, "uno"));
      QVERIFY2(LastMessage(failed).contains("changed or deleted by someone else"), qPrintable(LastMessage(failed)));
      QCOMPARE(Snapshot(sql, false, "plain"), moved);
    }
    // Opened again, the table takes edits where its rows are now.
    grid.setDataSource(OpenTable(source, "plain"));
    QVERIFY(Commit(grid, 1, 1, "drei"));
    QCOMPARE(sql.Query("SELECT rowid, a, b FROM plain ORDER BY rowid"),
             (Rows{{Cell("1"), Cell("2"), Cell("two")},
                   {Cell("2"), Cell("3"), Cell("drei")},
                   {Cell("3"), Cell("9"), Cell("nine")}}));
  }

  void aRolledBackWriteLeavesTheLazyReadWhole_data() { AddAllDrivers(); }
  void aRolledBackWriteLeavesTheLazyReadWhole() {
    QFETCH(support::Driver, driver);
    const bool postgres = driver == support::Driver::Postgres;
    constexpr int Total = 10000;
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    {
      support::DirectSql sql(source);
      sql.Exec("CREATE TABLE big (n INTEGER PRIMARY KEY, word VARCHAR(20) NOT NULL CHECK (word <> 'bad'))");
      sql.Exec(std::string("INSERT INTO big ") +
               (postgres ? "SELECT n, 'w' || n FROM generate_series(1, 10000) n"
                : driver == support::Driver::MariaDb
                    ? "SELECT seq, CONCAT('w', seq) FROM seq_1_to_10000"
                    : "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 10000) "
                      "SELECT n, 'w' || n FROM c"));
    }
    // The SQLite data source streams with StepAPI=1; psqlODBC reads through
    // a server cursor 50 rows at a time.
    const QString opened = postgres ? source + ";UseDeclareFetch=1;Fetch=50" : source;
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(opened, "big"));
    grid.show();
    auto* model = grid.recordsetModel();
    QVERIFY(!grid.dataSource()->rowHeld(Total - 1));

    QVERIFY(Commit(grid, 0, 1, "first"));
    QVERIFY(!Commit(grid, 1, 1, "bad"));
    QCOMPARE(failed.count(), 1);
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(model->rowCount(), Total);
    model->readRows(0, Total);
    QCOMPARE(failed.count(), 1);  // no failure while reading on
    QCOMPARE(Shown(grid, 0, 1), QString("first"));
    QCOMPARE(Shown(grid, 1, 1), QString("w2"));
    for (int row = 2; row < Total; ++row) {
      if (Shown(grid, row, 0) != QString::number(row + 1) || Shown(grid, row, 1) != QString("w%1").arg(row + 1))
        QFAIL(qPrintable(QString("row %1 shows %2 %3").arg(row).arg(Shown(grid, row, 0), Shown(grid, row, 1))));
    }
    // Edits go on after the end was reached.
    QVERIFY(Commit(grid, Total - 1, 1, "last"));
    support::DirectSql check(source);
    QCOMPARE(check.Query("SELECT n, word FROM big WHERE word NOT LIKE 'w%' ORDER BY n"),
             (Rows{{Cell("1"), Cell("first")}, {Cell("10000"), Cell("last")}}));
  }
};

QTEST_MAIN(ReliabilityConflictsTest)
#include "tst_reliability_conflicts.moc"
