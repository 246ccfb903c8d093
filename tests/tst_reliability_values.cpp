// Values that do not survive a trip through text unchanged, and values
// meant to do harm. Editing another column of a row must leave such values
// exactly as stored (storage class and all), and whatever the user types
// must arrive byte for byte.
#include <QSignalSpy>
#include <QTest>

#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

std::string Hex(const std::string& bytes) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += Digits[c >> 4];
    hex += Digits[c & 15];
  }
  return hex;
}

}  // namespace

class ReliabilityValuesTest : public QObject {
  Q_OBJECT
  Sources sources_{"Values"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  // 0.1 + 0.2 has no short decimal form; 'blurk' and '10blurk' sit in an
  // INTEGER column as text, beside a row holding the number 10.
  void sqliteValuesThatDoNotReadBackStayAsStored_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("with a key") << "keyed";
    QTest::newRow("without a key") << "loose";
  }
  void sqliteValuesThatDoNotReadBackStayAsStored() {
    QFETCH(QString, table);
    const QString source = sources_.Fresh(false);
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE keyed (id INTEGER PRIMARY KEY, r REAL, n INTEGER, label TEXT);\n"
        "INSERT INTO keyed VALUES (1, 0.1 + 0.2, 'blurk', 'same');\n"
        "INSERT INTO keyed VALUES (2, 0.5, '10blurk', 'same');\n"
        "INSERT INTO keyed VALUES (3, 0.5, 10, 'same');\n"
        "CREATE TABLE loose (r REAL, n INTEGER, label TEXT);\n"
        "INSERT INTO loose SELECT r, n, label FROM keyed ORDER BY id");
    const std::string name = table.toStdString();
    const std::string stored = "SELECT typeof(r), quote(r), typeof(n), quote(n) FROM " + name + " ORDER BY rowid";
    const Rows before = sql.Query(stored);
    QCOMPARE(before[0][2], Cell("text"));
    QCOMPARE(before[2][2], Cell("integer"));
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, name));
    grid.show();
    const int label = grid.model()->columnCount() - 1;
    for (int row = 0; row < 3; ++row)
      QVERIFY2(Commit(grid, row, label, QString("edited %1").arg(row + 1)), qPrintable(LastMessage(failed)));
    QCOMPARE(sql.Query(stored), before);
    QCOMPARE(sql.Query("SELECT label FROM " + name + " ORDER BY rowid"),
             (Rows{{Cell("edited 1")}, {Cell("edited 2")}, {Cell("edited 3")}}));
    QCOMPARE(Shown(grid, 1, label - 1), QString("10blurk"));
  }

  // float4 0.1 is not 0.1; a timestamp with microseconds must keep all six
  // digits, also as the value that finds the row.
  void postgresValuesThatDoNotReadBackStayAsStored_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("with a key") << "keyed";
    QTest::newRow("without a key") << "loose";
  }
  void postgresValuesThatDoNotReadBackStayAsStored() {
    QFETCH(QString, table);
    const QString source = sources_.Fresh(true);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE keyed (id INTEGER PRIMARY KEY, f float4, ts timestamp(6), label text);\n"
        "INSERT INTO keyed VALUES (1, 0.1, '2024-01-02 03:04:05.123456', 'same');\n"
        "INSERT INTO keyed VALUES (2, 0.1, '2024-01-02 03:04:05.123457', 'same');\n"
        "INSERT INTO keyed VALUES (3, 0.1, '2024-01-02 03:04:05.1', 'same');\n"
        "CREATE TABLE loose (f float4, ts timestamp(6), label text);\n"
        "INSERT INTO loose SELECT f, ts, label FROM keyed ORDER BY id");
    const std::string name = table.toStdString();
    const std::string stored =
        "SELECT f::text, f::float8::text, ts::text FROM " + name + " ORDER BY ts";
    const Rows before = sql.Query(stored);
    QCOMPARE(before[0][2], Cell("2024-01-02 03:04:05.1"));
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, name));
    grid.show();
    const int label = grid.model()->columnCount() - 1;
    for (int row = 0; row < 3; ++row)
      QVERIFY2(Commit(grid, row, label, "edited " + Shown(grid, row, label - 1)), qPrintable(LastMessage(failed)));
    QCOMPARE(sql.Query(stored), before);
    QCOMPARE(sql.Query("SELECT label = 'edited ' || ts::text FROM " + name), (Rows{{Cell("1")}, {Cell("1")}, {Cell("1")}}));
  }

  void hostileValuesArriveByteForByte_data() { AddAllDrivers(); }
  void hostileValuesArriveByteForByte() {
    QFETCH(support::Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    const bool mariadb = driver == support::Driver::MariaDb;
    support::DirectSql sql(source);
    // MariaDB's TEXT holds 64 KiB.
    sql.Exec(mariadb ? "CREATE TABLE notes (id INTEGER PRIMARY KEY, body MEDIUMTEXT)"
                     : "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)");
    sql.ExecScript(
        "CREATE TABLE victim (id INTEGER PRIMARY KEY, v VARCHAR(10));\n"
        "INSERT INTO victim VALUES (1, 'safe');\n"
        "INSERT INTO notes VALUES (1, 'a');\n"
        "INSERT INTO notes VALUES (2, 'b');\n"
        "INSERT INTO notes VALUES (3, 'c');\n"
        "INSERT INTO notes VALUES (4, 'd');\n"
        "INSERT INTO notes VALUES (5, 'e');\n"
        "INSERT INTO notes VALUES (6, 'f')");
    const std::string hexOf =
        driver == support::Driver::Postgres ? "upper(encode(convert_to(body, 'UTF8'), 'hex'))" : "hex(body)";
    const auto storedHex = [&](int id) { return sql.Scalar("SELECT " + hexOf + " FROM notes WHERE id = " + std::to_string(id)); };

    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "notes"));
    grid.show();
    const std::string injection = "'); DROP TABLE victim;--";
    const std::string composed = "e\xCC\x81 n\xCC\x83 \xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7 \xF0\x9F\x98\x80";
    std::string megabyte;
    while (megabyte.size() < 1024 * 1024) megabyte += "0123456789abcdef\xC3\xA9";
    QVERIFY(Commit(grid, 0, 1, QString::fromStdString(injection)));
    QVERIFY(Commit(grid, 1, 1, "NULL"));
    grid.setCurrentIndex(grid.model()->index(2, 1));
    grid.setCurrentCellToNull();
    QVERIFY(Commit(grid, 3, 1, ""));
    QVERIFY(Commit(grid, 4, 1, QString::fromStdString(composed)));
    QVERIFY2(Commit(grid, 5, 1, QString::fromStdString(megabyte)), qPrintable(LastMessage(failed)));
    QCOMPARE(failed.count(), 0);

    QCOMPARE(storedHex(1), Cell(Hex(injection)));
    QCOMPARE(sql.Query("SELECT id, v FROM victim"), (Rows{{Cell("1"), Cell("safe")}}));
    QCOMPARE(storedHex(2), Cell(Hex("NULL")));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM notes WHERE id = 3 AND body IS NULL"), Cell("1"));
    QCOMPARE(storedHex(4), Cell(""));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM notes WHERE id = 4 AND body IS NOT NULL"), Cell("1"));
    QCOMPARE(storedHex(5), Cell(Hex(composed)));
    QCOMPARE(storedHex(6), Cell(Hex(megabyte)));
    // The grid tells the text NULL from no value.
    auto* model = grid.recordsetModel();
    QCOMPARE(model->index(1, 1).data(ui::RecordsetModel::NullRole).toBool(), false);
    QCOMPARE(model->index(2, 1).data(ui::RecordsetModel::NullRole).toBool(), true);
    QCOMPARE(model->index(5, 1).data(Qt::EditRole).toString().toUtf8().size(), qsizetype(megabyte.size()));

    // Opening the editor on the long value and leaving it unchanged writes
    // nothing and cuts nothing.
    const QModelIndex longCell = model->index(5, 1);
    grid.setCurrentIndex(longCell);
    grid.edit(longCell);
    QVERIFY(grid.indexWidget(longCell));
    QVERIFY(grid.commitPendingEdit());
    QCOMPARE(storedHex(6), Cell(Hex(megabyte)));
  }
};

QTEST_MAIN(ReliabilityValuesTest)
#include "tst_reliability_values.moc"
