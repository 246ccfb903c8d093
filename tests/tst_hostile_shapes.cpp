// Tables and files built to be hard: as many columns as the database
// allows, a database file replaced or deleted while its table is open. The
// table still opens, an edit reaches exactly the cell shown, and what went
// wrong with a file is said in its own words.
#include <QFile>
#include <QTest>

#include <string>

#include "platform/ado/AdoError.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

// "c1 <type>, c2 <type>, ..." and the row "v1, v2, ...".
std::string ColumnList(int count, const std::string& lastType) {
  std::string list;
  for (int column = 1; column <= count; ++column)
    list += (column > 1 ? ", c" : "c") + std::to_string(column) + (column == count ? " " + lastType : " TEXT");
  return list;
}

std::string RowValues(int count, int row, const std::string& last) {
  std::string values;
  for (int column = 1; column < count; ++column)
    values += "'r" + std::to_string(row) + "c" + std::to_string(column) + "', ";
  return values + last;
}

}  // namespace

class HostileShapesTest : public QObject {
  Q_OBJECT
  Sources sources_{"Hostile"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  // SQLite holds at most 2,000 columns in a table and in a result; the
  // rowid and the storage marks the read adds do not fit beside them.
  void aTableOfAsManyColumnsAsTheDatabaseHoldsOpensAndItsLastColumnIsWrittenExactly_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<std::string>("table");  // after "CREATE TABLE wide (c1 TEXT, ..."
    QTest::addColumn<std::string>("lastType");
    QTest::addColumn<std::string>("lastValue");  // of the row not edited, as SQL
    QTest::addColumn<QString>("lastShown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::string>("stored");  // quote() of the edited cell
    QTest::newRow("rowid table, 2000 columns") << 2000 << std::string(")") << std::string("INTEGER") << std::string("7")
                                                << QString("7") << QString("42") << std::string("42");
    QTest::newRow("rowid table, 1999 columns, text in an integer column")
        << 1999 << std::string(")") << std::string("INTEGER") << std::string("'seven'") << QString("seven")
        << QString("x'y") << std::string("'x''y'");
    QTest::newRow("rowid table with a text key, 2000 columns, a BLOB in a text column")
        << 2000 << std::string(", PRIMARY KEY (c1))") << std::string("TEXT") << std::string("x'00ff'")
        << QString("X'00FF'") << QString("last") << std::string("'last'");
    QTest::newRow("without rowid, 2000 columns")
        << 2000 << std::string(", PRIMARY KEY (c1)) WITHOUT ROWID") << std::string("REAL") << std::string("0.5")
        << QString("0.5") << QString("2.25") << std::string("2.25");
  }
  void aTableOfAsManyColumnsAsTheDatabaseHoldsOpensAndItsLastColumnIsWrittenExactly() {
    QFETCH(int, columns);
    QFETCH(std::string, table);
    QFETCH(std::string, lastType);
    QFETCH(std::string, lastValue);
    QFETCH(QString, lastShown);
    QFETCH(QString, typed);
    QFETCH(std::string, stored);
    const QString source = sources_.Fresh(false);
    support::DirectSql sql(source);
    sql.Exec("CREATE TABLE wide (" + ColumnList(columns, lastType) + table);
    sql.Exec("INSERT INTO wide VALUES (" + RowValues(columns, 1, lastValue) + ")");
    sql.Exec("INSERT INTO wide VALUES (" + RowValues(columns, 2, "NULL") + ")");
    const std::string last = "c" + std::to_string(columns);
    const Rows before = sql.Query("SELECT * FROM wide ORDER BY c1");

    OpenedGrid opened = OpenInGrid(source, "wide");
    ui::DataGrid& grid = *opened.grid;
    QCOMPARE(grid.model()->columnCount(), columns);
    QCOMPARE(grid.model()->rowCount(), 2);
    QCOMPARE(grid.model()->headerData(columns - 1, Qt::Horizontal).toString(), QString::fromStdString(last));
    QCOMPARE(Shown(grid, 0, columns - 1), lastShown);
    QCOMPARE(Shown(grid, 1, columns - 2), QString("r2c%1").arg(columns - 1));
    QVERIFY2(Commit(grid, 1, columns - 1, typed), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(Shown(grid, 1, columns - 1), typed);

    QCOMPARE(sql.Scalar("SELECT quote(" + last + ") FROM wide WHERE c1 = 'r2c1'"), Cell(stored));
    Rows after = sql.Query("SELECT * FROM wide ORDER BY c1");
    after[1].back() = before[1].back();
    QVERIFY(after == before);  // nothing else changed
  }

  // Another program deletes, moves or replaces the database's file while
  // its table is open: the connection still reads the file it opened.
  void aFileDeletedMovedOrReplacedWhileOpenIsSaid_data() {
    QTest::addColumn<QString>("done");
    QTest::addColumn<QString>("said");
    QTest::newRow("deleted") << QString("delete") << QString("was deleted after the table was opened");
    QTest::newRow("moved") << QString("move") << QString("was moved to \"%1.moved\"");
    QTest::newRow("replaced") << QString("replace") << QString("was replaced by another file");
  }
  void aFileDeletedMovedOrReplacedWhileOpenIsSaid() {
    QFETCH(QString, done);
    QFETCH(QString, said);
    const QString source = sources_.Fresh(false);
    const QString file = sources_.sqliteFile(source);
    {
      support::DirectSql sql(source);
      sql.ExecScript("CREATE TABLE kept (id INTEGER PRIMARY KEY, name TEXT);\n"
                     "INSERT INTO kept VALUES (1, 'old one'), (2, 'old two')");
    }
    OpenedGrid opened = OpenInGrid(source, "kept");
    ui::DataGrid& grid = *opened.grid;
    QCOMPARE(Shown(grid, 1, 1), QString("old two"));
    const QString moved = file + ".moved";
    if (done == "delete") {
      QVERIFY(QFile::remove(file));
    } else {
      QVERIFY(QFile::rename(file, moved));
    }
    if (done == "replace") {
      // A new file of the same name: its rows are not those shown.
      QVERIFY(QFile::copy(moved, file));
      support::DirectSql(source).Exec("UPDATE kept SET name = 'new two' WHERE id = 2");
      QVERIFY(QFile::remove(moved));
    }
    const QString expected = said.contains("%1") ? said.arg(file) : said;
    QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
    grid.setCurrentIndex(grid.model()->index(1, 1));
    QTest::keyClick(&grid, Qt::Key_F2);
    QCOMPARE(refused.count(), 1);
    QVERIFY2(refused.at(0).at(0).toString().contains(expected), qPrintable(refused.at(0).at(0).toString()));
    QVERIFY(!refused.at(0).at(0).toString().contains("readonly"));
    // Read again, the rows would come from the file no longer there.
    QTest::keyClick(&grid, Qt::Key_F5);
    QVERIFY2(LastMessage(*opened.failed).contains(expected), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(Shown(grid, 1, 1), QString("old two"));
    if (done == "replace")
      QCOMPARE(support::DirectSql(source).Scalar("SELECT name FROM kept WHERE id = 2"), Cell("new two"));
    if (done == "move") QVERIFY(QFile::exists(moved));
  }
};

QTEST_MAIN(HostileShapesTest)
#include "tst_hostile_shapes.moc"
