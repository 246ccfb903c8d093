// Tables and files built to be hard: as many columns as the database
// allows, a database file replaced or deleted while its table is open. The
// table still opens, an edit reaches exactly the cell shown, and what went
// wrong with a file is said in its own words.
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
};

QTEST_MAIN(HostileShapesTest)
#include "tst_hostile_shapes.moc"
