// What the grid shows after a write, on both drivers: the value the database
// stored (triggers), the database's own refusal, and edits far down a table
// bigger than several fetch blocks, before and after all rows are read.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/RecordsetModel.h"
#include "support/DirectSql.h"
#include "support/GridEditing.h"
#include "support/ScratchPostgres.h"
#include "support/TestDataSources.h"

using Cell = std::optional<std::string>;
using support::Commit;
using support::OpenTable;

namespace {

constexpr int Rows = 2000;  // several fetch blocks

}  // namespace

class GridWritesTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  int round_ = 0;
  std::unique_ptr<support::ScratchPostgres> postgres_;

  QString freshSource(bool postgres) {
    const QString source = QString(postgres ? "GridPg%1" : "GridLite%1").arg(++round_);
    if (postgres) {
      auto server = support::PostgresFromEnvironment();
      if (!server) return {};
      postgres_.reset();
      postgres_ = std::make_unique<support::ScratchPostgres>(*server, source);
    } else {
      support::AddSqliteDataSource(source, folder_.filePath(source + ".sqlite"));
    }
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE stock (id INTEGER PRIMARY KEY, name VARCHAR(30), qty INTEGER);\n"
        "INSERT INTO stock VALUES (1, 'bolt', 5);\n"
        "INSERT INTO stock VALUES (2, 'nut', 9);\n"
        "CREATE TABLE counted (n INTEGER PRIMARY KEY, word VARCHAR(20));\n"
        "CREATE TABLE pairs (a INTEGER, b VARCHAR(5), v VARCHAR(10), PRIMARY KEY (a, b));\n"
        "INSERT INTO pairs VALUES (1, 'x', 'one');\n"
        "INSERT INTO pairs VALUES (1, 'y', 'two');\n"
        "INSERT INTO pairs VALUES (2, 'x', 'three')");
    sql.Exec(std::string("INSERT INTO counted ") +
             (postgres ? "SELECT n, 'w' || n FROM generate_series(1, " + std::to_string(Rows) + ") n"
                       : "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
                             std::to_string(Rows) + ") SELECT n, 'w' || n FROM c"));
    if (postgres) {
      sql.ExecScript(
          "CREATE FUNCTION shout() RETURNS trigger AS $$ BEGIN NEW.name := upper(NEW.name); "
          "RETURN NEW; END $$ LANGUAGE plpgsql;\n"
          "CREATE TRIGGER stock_shout BEFORE UPDATE ON stock FOR EACH ROW EXECUTE FUNCTION shout()");
    } else {
      sql.Exec(
          "CREATE TRIGGER stock_shout AFTER UPDATE OF name ON stock BEGIN "
          "UPDATE stock SET name = upper(new.name) WHERE id = new.id; END");
    }
    return source;
  }

  static void addDrivers() {
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgres") << true;
  }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { postgres_.reset(); }

  void theGridShowsWhatTheDatabaseStored_data() { addDrivers(); }
  void theGridShowsWhatTheDatabaseStored() {
    QFETCH(bool, postgres);
    const QString source = freshSource(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source, "stock"));
    grid.show();
    QVERIFY(Commit(grid, 0, 1, "washer"));
    QCOMPARE(grid.model()->index(0, 1).data().toString(), QString("WASHER"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT name FROM stock WHERE id = 1"), Cell("WASHER"));
    QCOMPARE(check.Scalar("SELECT name FROM stock WHERE id = 2"), Cell("nut"));
  }

  void aCompositeKeyFindsExactlyItsRow_data() { addDrivers(); }
  void aCompositeKeyFindsExactlyItsRow() {
    QFETCH(bool, postgres);
    const QString source = freshSource(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
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

  void aValueTheColumnRefusesKeepsTheRow_data() { addDrivers(); }
  void aValueTheColumnRefusesKeepsTheRow() {
    QFETCH(bool, postgres);
    if (!postgres) QSKIP("SQLite stores text in an INTEGER column as it is");
    const QString source = freshSource(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "stock"));
    grid.show();
    QVERIFY(!Commit(grid, 1, 2, "twelve"));
    QCOMPARE(failed.count(), 1);
    const QString message = failed.at(0).at(0).toString();
    QVERIFY2(message.contains("\"qty\"") && message.contains("twelve") &&
                 message.contains("invalid input syntax"),
             qPrintable(message));
    QCOMPARE(grid.model()->index(1, 2).data().toString(), QString("9"));
    // The connection is usable again at once.
    QVERIFY(Commit(grid, 1, 2, "12"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT qty FROM stock WHERE id = 2"), Cell("12"));
  }

  void editsFarDownBeforeAndAfterEveryRowIsRead_data() { addDrivers(); }
  void editsFarDownBeforeAndAfterEveryRowIsRead() {
    QFETCH(bool, postgres);
    const QString source = freshSource(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source, "counted"));
    grid.show();
    auto* model = qobject_cast<ui::RecordsetModel*>(grid.model());
    QVERIFY(model);
    while (model->rowCount() < 700 && model->canFetchMore({})) model->fetchMore({});
    QVERIFY(model->canFetchMore({}));
    QVERIFY(Commit(grid, 650, 1, "six fifty-one"));
    model->fetchAll();
    QCOMPARE(model->rowCount(), Rows);
    QVERIFY(Commit(grid, Rows - 2, 1, "next to last"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT word FROM counted WHERE n = 651"), Cell("six fifty-one"));
    QCOMPARE(check.Scalar("SELECT word FROM counted WHERE n = " + std::to_string(Rows - 1)),
             Cell("next to last"));
    QCOMPARE(check.Scalar("SELECT count(*) FROM counted WHERE word = 'w' || n"),
             Cell(std::to_string(Rows - 2)));
    QCOMPARE(model->index(650, 1).data().toString(), QString("six fifty-one"));
    QCOMPARE(model->index(Rows - 1, 1).data().toString(), QString("w%1").arg(Rows));
  }
};

QTEST_MAIN(GridWritesTest)
#include "tst_grid_writes.moc"
