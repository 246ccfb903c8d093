// What the grid shows after a write, on every driver: the value the database
// stored (triggers, a value it altered with a warning, a value written over
// with the same), the database's own refusal, and edits far down a table
// bigger than several fetch blocks, before and after all rows are read.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "platform/ado/AdoError.h"
#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;
using support::Driver;

namespace {

constexpr int TableRows = 2000;  // several fetch blocks

std::string Setup(Driver driver) {
  const std::string n = std::to_string(TableRows);
  std::string script =
      "CREATE TABLE stock (id INTEGER PRIMARY KEY, name VARCHAR(30), qty INTEGER);\n"
      "INSERT INTO stock VALUES (1, 'bolt', 5);\n"
      "INSERT INTO stock VALUES (2, 'nut', 9);\n"
      "CREATE TABLE counted (n INTEGER PRIMARY KEY, word VARCHAR(20));\n"
      "CREATE TABLE pairs (a INTEGER, b VARCHAR(5), v VARCHAR(10), PRIMARY KEY (a, b));\n"
      "INSERT INTO pairs VALUES (1, 'x', 'one');\n"
      "INSERT INTO pairs VALUES (1, 'y', 'two');\n"
      "INSERT INTO pairs VALUES (2, 'x', 'three');\n";
  switch (driver) {
    case Driver::Postgres:
    case Driver::PostgresPool:
      return script + "INSERT INTO counted SELECT n, 'w' || n FROM generate_series(1, " + n + ") n;\n" +
             "CREATE FUNCTION shout() RETURNS trigger AS $$ BEGIN NEW.name := upper(NEW.name); "
             "RETURN NEW; END $$ LANGUAGE plpgsql;\n"
             "CREATE TRIGGER stock_shout BEFORE UPDATE ON stock FOR EACH ROW EXECUTE FUNCTION shout()";
    case Driver::MariaDb:
      return script + "INSERT INTO counted SELECT seq, CONCAT('w', seq) FROM seq_1_to_" + n + ";\n" +
             "CREATE TRIGGER stock_shout BEFORE UPDATE ON stock FOR EACH ROW SET NEW.name = UPPER(NEW.name)";
    case Driver::Sqlite:
      break;
  }
  return script + "INSERT INTO counted WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
         n + ") SELECT n, 'w' || n FROM c;\n" +
         "CREATE TRIGGER stock_shout AFTER UPDATE OF name ON stock BEGIN "
         "UPDATE stock SET name = upper(new.name) WHERE id = new.id; END";
}

}  // namespace

class GridWritesTest : public QObject {
  Q_OBJECT
  Sources sources_{"Grid"};

  QString freshSource(Driver driver) {
    const QString source = sources_.Fresh(driver);
    if (!source.isEmpty()) support::DirectSql(source).ExecScript(Setup(driver));
    return source;
  }

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  void theGridShowsWhatTheDatabaseStored_data() { AddAllDriversAndPool(); }
  void theGridShowsWhatTheDatabaseStored() {
    QFETCH(Driver, driver);
    const QString source = freshSource(driver);
    QUORVANE_SKIP_WITHOUT(source);
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source, "stock"));
    grid.show();
    QVERIFY(Commit(grid, 0, 1, "washer"));
    QCOMPARE(grid.model()->index(0, 1).data().toString(), QString("WASHER"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT name FROM stock WHERE id = 1"), Cell("WASHER"));
    QCOMPARE(check.Scalar("SELECT name FROM stock WHERE id = 2"), Cell("nut"));
  }

  // A value the column holds already in another form ("12" for 12.00) is
  // stored, not taken for someone else's change, whether the driver counts
  // matched rows or (told so by the data source) changed ones.
  void aValueWrittenOverWithItselfIsStored_data() {
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("sqlite") << Driver::Sqlite << QStringList{};
    QTest::newRow("postgres") << Driver::Postgres << QStringList{};
    QTest::newRow("mariadb") << Driver::MariaDb << QStringList{};
    QTest::newRow("mariadb counting changed rows") << Driver::MariaDb << QStringList{"Option=0"};
  }
  void aValueWrittenOverWithItselfIsStored() {
    QFETCH(Driver, driver);
    QFETCH(QStringList, options);
    const QString source = sources_.Fresh(driver, options);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript("CREATE TABLE prices (id INTEGER PRIMARY KEY, price DECIMAL(10,2), note VARCHAR(10));\n"
                   "INSERT INTO prices VALUES (1, 12.00, 'a')");
    OpenedGrid opened = OpenInGrid(source, "prices");
    QVERIFY2(Commit(*opened.grid, 0, 1, "12"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(opened.failed->count(), 0);
    QVERIFY2(Commit(*opened.grid, 0, 2, "b"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT note FROM prices WHERE id = 1"), Cell("b"));
  }

  // A value the database stores other than as typed, with a warning, is
  // reported with its column and the warning, and the cell shows what the
  // database holds. A new row, written all or none, is not stored at all.
  void aValueTheDatabaseAltersIsShownAsStored_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("enum outside its list, not strict") << "InitStmt=SET SESSION sql_mode=''" << 1 << "xl" << "";
    QTest::newRow("decimal rounded") << "" << 2 << "1.005" << "1.01";
  }
  void aValueTheDatabaseAltersIsShownAsStored() {
    QFETCH(QString, options);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    const QString source = sources_.Fresh(Driver::MariaDb, options.isEmpty() ? QStringList{} : QStringList{options});
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript("CREATE TABLE shirts (id INT PRIMARY KEY, size ENUM('s', 'm', 'l'), price DECIMAL(6,2));\n"
                   "INSERT INTO shirts VALUES (1, 'm', 2.50)");
    OpenedGrid opened = OpenInGrid(source, "shirts");
    QVERIFY(!Commit(*opened.grid, 0, column, typed));
    const QString message = LastMessage(*opened.failed);
    const QString name = column == 1 ? "size" : "price";
    QVERIFY2(message.contains("\"" + name + "\"") && message.contains("\"" + typed + "\"") &&
                 message.contains("truncated"),
             qPrintable(message));
    QCOMPARE(Shown(*opened.grid, 0, column), stored);
    QCOMPARE(sql.Scalar("SELECT " + name.toStdString() + " FROM shirts"), Cell(stored.toStdString()));

    const ado::RecordsetPtr rows = OpenTable(source, "shirts");
    try {
      rows->InsertRow(0, {{0, "2"}, {column, typed.toStdString()}});
      QFAIL("a new row the database altered was stored");
    } catch (const ado::Error& error) {
      QVERIFY2(QString(error.what()).contains("truncated"), error.what());
    }
    QCOMPARE(sql.Scalar("SELECT count(*) FROM shirts"), Cell("1"));
  }

  void aCompositeKeyFindsExactlyItsRow_data() { AddAllDriversAndPool(); }
  void aCompositeKeyFindsExactlyItsRow() {
    QFETCH(Driver, driver);
    const QString source = freshSource(driver);
    QUORVANE_SKIP_WITHOUT(source);
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source, "pairs"));
    grid.show();
    support::DirectSql check(source);
    // Another column of the same row changed meanwhile: the key still finds it.
    check.Exec("UPDATE pairs SET v = 'TWO' WHERE a = 1 AND b = 'y'");
    QVERIFY(!Commit(grid, 1, 2, "deux"));  // but the edited cell itself changed
    QCOMPARE(grid.model()->index(1, 2).data().toString(), QString("TWO"));
    QVERIFY(Commit(grid, 1, 2, "deux"));
    QVERIFY(Commit(grid, 2, 1, "z"));  // a key column itself
    const auto rows = check.Query("SELECT a, b, v FROM pairs ORDER BY a, b");
    QCOMPARE(rows.size(), size_t(3));
    QCOMPARE(rows[0][2], Cell("one"));
    QCOMPARE(rows[1][2], Cell("deux"));
    QCOMPARE(rows[2][1], Cell("z"));
    QCOMPARE(rows[2][2], Cell("three"));
  }

  void aValueTheColumnRefusesKeepsTheRow_data() {
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<QString>("refusal");
    // SQLite stores text in an INTEGER column as it is.
    QTest::newRow("postgres") << Driver::Postgres << "invalid input syntax";
    QTest::newRow("mariadb") << Driver::MariaDb << "Incorrect integer value";
  }
  void aValueTheColumnRefusesKeepsTheRow() {
    QFETCH(Driver, driver);
    QFETCH(QString, refusal);
    const QString source = freshSource(driver);
    QUORVANE_SKIP_WITHOUT(source);
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "stock"));
    grid.show();
    QVERIFY(!Commit(grid, 1, 2, "twelve"));
    QCOMPARE(failed.count(), 1);
    const QString message = failed.at(0).at(0).toString();
    QVERIFY2(message.contains("\"qty\"") && message.contains("twelve") &&
                 message.contains(refusal),
             qPrintable(message));
    QCOMPARE(grid.model()->index(1, 2).data().toString(), QString("9"));
    // The connection is usable again at once.
    QVERIFY(Commit(grid, 1, 2, "12"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT qty FROM stock WHERE id = 2"), Cell("12"));
  }

  void editsFarDownBeforeAndAfterEveryRowIsRead_data() { AddAllDriversAndPool(); }
  void editsFarDownBeforeAndAfterEveryRowIsRead() {
    QFETCH(Driver, driver);
    const QString source = freshSource(driver);
    QUORVANE_SKIP_WITHOUT(source);
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source, "counted"));
    grid.show();
    auto* model = qobject_cast<ui::RecordsetModel*>(grid.model());
    QVERIFY(model);
    while (model->rowCount() < 700 && model->canFetchMore({})) model->fetchMore({});
    QVERIFY(model->canFetchMore({}));
    QVERIFY(Commit(grid, 650, 1, "six fifty-one"));
    model->fetchAll();
    QCOMPARE(model->rowCount(), TableRows);
    QVERIFY(Commit(grid, TableRows - 2, 1, "next to last"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT word FROM counted WHERE n = 651"), Cell("six fifty-one"));
    QCOMPARE(check.Scalar("SELECT word FROM counted WHERE n = " + std::to_string(TableRows - 1)),
             Cell("next to last"));
    QCOMPARE(check.Scalar(driver == Driver::MariaDb ? "SELECT count(*) FROM counted WHERE word = CONCAT('w', n)"
                                                    : "SELECT count(*) FROM counted WHERE word = 'w' || n"),
             Cell(std::to_string(TableRows - 2)));
    QCOMPARE(model->index(650, 1).data().toString(), QString("six fifty-one"));
    QCOMPARE(model->index(TableRows - 1, 1).data().toString(), QString("w%1").arg(TableRows));
  }
};

QTEST_MAIN(GridWritesTest)
#include "tst_grid_writes.moc"
