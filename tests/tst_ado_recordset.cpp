#include <sqlext.h>

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "platform/ado/AdoError.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "support/DirectSql.h"
#include "support/ScratchMariaDb.h"
#include "support/ScratchPostgres.h"
#include "support/TestDataSources.h"

namespace {

constexpr std::size_t LongTextBytes = 1024 * 1024;

// The statements that build the same sample data on every driver.
struct Dialect {
  const char* binaryType;
  const char* threeBytes;    // 00 FF 10
  const char* emptyBytes;
  const char* longText;      // LongTextBytes of 'x' and then "é"
  const char* textOf5000;    // 5000 times 'y'
  const char* bigBinary;     // 100000 bytes
  const char* countTo1000;   // INSERT INTO numbers (n) ...
  const char* wordType;      // declared shorter than some values where the database allows it
  const char* textType;      // holds LongTextBytes
  const char* wordOfN;       // 'w' followed by n
};

const Dialect Sqlite{"BLOB",
                     "X'00FF10'",
                     "X''",
                     "printf('%.*c', 1048576, 'x') || 'é'",
                     "printf('%.*c', 5000, 'y')",
                     "zeroblob(100000)",
                     "INSERT INTO numbers (n) WITH RECURSIVE c(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM c "
                     "WHERE k < 1000) SELECT k FROM c",
                     "VARCHAR(10)",
                     "TEXT",
                     "'w' || n"};
const Dialect Postgres{"BYTEA",
                       "'\\x00ff10'::bytea",
                       "''::bytea",
                       "repeat('x', 1048576) || 'é'",
                       "repeat('y', 5000)",
                       "decode(repeat('00', 100000), 'hex')",
                       "INSERT INTO numbers (n) SELECT generate_series(1, 1000)",
                       "VARCHAR",
                       "TEXT",
                       "'w' || n"};
// MariaDB refuses overlong values in its default (strict) mode, and its
// TEXT holds 64 KiB.
const Dialect MariaDb{"LONGBLOB",
                      "X'00FF10'",
                      "X''",
                      "CONCAT(REPEAT('x', 1048576), 'é')",
                      "REPEAT('y', 5000)",
                      "REPEAT(X'00', 100000)",
                      "INSERT INTO numbers (n) SELECT seq FROM seq_1_to_1000",
                      "TEXT",
                      "MEDIUMTEXT",
                      "CONCAT('w', n)"};

void BuildSampleData(const QString& source, const Dialect& dialect) {
  support::DirectSql sql(source);
  const std::string binary = dialect.binaryType;
  sql.Exec("CREATE TABLE sample (id INTEGER PRIMARY KEY, label VARCHAR(20), amount NUMERIC(10,2), born DATE, data " +
           binary + ", note " + dialect.textType + ")");
  sql.Exec(std::string("INSERT INTO sample VALUES (1, 'plain', 12.50, '2021-08-31', ") + dialect.threeBytes +
           ", NULL)");
  sql.Exec(std::string("INSERT INTO sample VALUES (2, '', NULL, NULL, ") + dialect.emptyBytes + ", '')");
  sql.Exec("INSERT INTO sample VALUES (3, NULL, -3, NULL, NULL, 'Grüße 日本 😀')");
  sql.Exec(std::string("INSERT INTO sample VALUES (4, 'long', 0, NULL, ") + dialect.bigBinary + ", " +
           dialect.longText + ")");
  sql.Exec(std::string("CREATE TABLE numbers (n INTEGER NOT NULL, word ") + dialect.wordType + ")");
  sql.Exec(dialect.countTo1000);
  // Every hundredth row carries a value far longer than its column claims.
  sql.Exec(std::string("UPDATE numbers SET word = CASE WHEN n % 100 = 0 THEN ") + dialect.textOf5000 +
           " ELSE " + dialect.wordOfN + " END");
}

ado::RecordsetPtr Query(const ado::ConnectionPtr& connection, const std::string& sql) {
  auto recordset = std::make_shared<ado::Recordset>();
  recordset->Open(sql, connection, ado::adOpenDynamic, ado::adLockOptimistic);
  return recordset;
}

}  // namespace

class TestAdoRecordset : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;
  std::unique_ptr<support::ScratchPostgres> postgres_;
  std::unique_ptr<support::ScratchMariaDb> mariadb_;

  void addSources() {
    QTest::addColumn<QString>("source");
    QTest::newRow("sqlite") << "RecordsetLite";
    QTest::newRow("postgres") << "RecordsetPg";
    QTest::newRow("mariadb") << "RecordsetMy";
  }

  ado::ConnectionPtr connect() {
    QFETCH(QString, source);
    if ((source == "RecordsetPg" && !postgres_) || (source == "RecordsetMy" && !mariadb_)) return nullptr;
    auto connection = ado::CreateConnection();
    connection->Open("Data Source=" + source.toStdString());
    return connection;
  }

 private slots:
  void initTestCase() {
    support::UsePrivateDataSources();
    QVERIFY(folder_.isValid());
    support::AddSqliteDataSource("RecordsetLite", folder_.filePath("sample.sqlite"));
    BuildSampleData("RecordsetLite", Sqlite);
    if (auto server = support::PostgresFromEnvironment()) {
      postgres_ = std::make_unique<support::ScratchPostgres>(*server, "RecordsetPg");
      BuildSampleData("RecordsetPg", Postgres);
    }
    if (auto server = support::MariaDbFromEnvironment()) {
      mariadb_ = std::make_unique<support::ScratchMariaDb>(*server, "RecordsetMy");
      BuildSampleData("RecordsetMy", MariaDb);
    }
  }
  void cleanupTestCase() {
    postgres_.reset();
    mariadb_.reset();
  }

  void valuesKeepNullEmptyTextNumbersDatesAndBytes_data() { addSources(); }
  void valuesKeepNullEmptyTextNumbersDatesAndBytes() {
    auto connection = connect();
    if (!connection) QSKIP("database test server not configured (run scripts/test)");
    auto rows = Query(connection, "SELECT id, label, amount, born, data, note FROM sample WHERE id < 4 ORDER BY id");
    QVERIFY(!rows->Eof());
    QCOMPARE(rows->FieldValue("label"), ado::Value::Text("plain"));
    QCOMPARE(rows->FieldValue("ID").kind(), ado::Value::Kind::Number);  // names ignore letter case
    QVERIFY(rows->FieldValue("amount").toString().starts_with("12.5"));
    QCOMPARE(rows->FieldValue("amount").kind(), ado::Value::Kind::Number);
    QCOMPARE(rows->FieldValue("born"), ado::Value::Text("2021-08-31"));
    QCOMPARE(rows->FieldValue("data"), ado::Value::Binary(std::string("\x00\xff\x10", 3)));
    QVERIFY(rows->FieldValue("note").isNull());
    rows->MoveNext();
    QCOMPARE(rows->FieldValue(1), ado::Value::Text(""));
    QVERIFY(!rows->FieldValue(1).isNull());
    QVERIFY(rows->FieldValue("amount").isNull());
    QCOMPARE(rows->FieldValue("data"), ado::Value::Binary(""));
    QCOMPARE(rows->FieldValue("note"), ado::Value::Text(""));
    rows->MoveNext();
    QVERIFY(rows->FieldValue("label").isNull());
    QCOMPARE(rows->FieldValue("amount").kind(), ado::Value::Kind::Number);
    QVERIFY(rows->FieldValue("amount").toString().starts_with("-3"));  // "-3" or "-3.00" as the driver writes it
    QCOMPARE(rows->FieldValue("note"), ado::Value::Text("Grüße 日本 😀"));
    QVERIFY(rows->FieldValue("data").isNull());
    rows->MoveNext();
    QVERIFY(rows->Eof());
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->FieldValue("label"));
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->MoveNext());
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->FieldValue("no_such_column"));
  }

  void longValuesComeBackWhole_data() { addSources(); }
  void longValuesComeBackWhole() {
    auto connection = connect();
    if (!connection) QSKIP("database test server not configured (run scripts/test)");
    auto rows = Query(connection, "SELECT note, data FROM sample WHERE id = 4");
    const std::string note = rows->FieldValue("note").toString();
    QCOMPARE(note.size(), LongTextBytes + 2);
    QCOMPARE(note.find_first_not_of('x'), LongTextBytes);
    QVERIFY(note.ends_with("é"));
    const std::string data = rows->FieldValue("data").toString();
    QCOMPARE(data.size(), std::size_t(100000));
    QCOMPARE(data.find_first_not_of('\0'), std::string::npos);
  }

  void blocksAndOverlongCellsAcrossBoundaries_data() { addSources(); }
  void blocksAndOverlongCellsAcrossBoundaries() {
    auto connection = connect();
    if (!connection) QSKIP("database test server not configured (run scripts/test)");
    auto rows = Query(connection, "SELECT n, word FROM numbers ORDER BY n");
    QCOMPARE(rows->rowCount(), std::size_t(0));  // nothing read before it is asked for
    const std::size_t first = rows->FetchMore(1);
    QVERIFY(first >= 1 && first < 1000);
    QVERIFY(!rows->allRowsFetched());
    int expected = 1;
    for (; !rows->Eof(); rows->MoveNext(), ++expected) {
      QCOMPARE(rows->FieldValue("n").toString(), std::to_string(expected));
      const std::string word = rows->FieldValue(1).toString();
      if (expected % 100 == 0)
        QCOMPARE(word, std::string(5000, 'y'));
      else
        QCOMPARE(word, "w" + std::to_string(expected));
    }
    QCOMPARE(expected, 1001);
    QCOMPARE(rows->rowCount(), std::size_t(1000));
    QVERIFY(rows->allRowsFetched());
    QCOMPARE(rows->FetchMore(10), std::size_t(0));
    QCOMPARE(std::string(rows->cell(499, 1).text), std::string(5000, 'y'));
    QCOMPARE(std::string(rows->cell(998, 0).text), std::string("999"));
  }

  void zeroRowsStillDescribeTheColumns_data() { addSources(); }
  void zeroRowsStillDescribeTheColumns() {
    auto connection = connect();
    if (!connection) QSKIP("database test server not configured (run scripts/test)");
    auto rows = Query(connection, "SELECT * FROM sample WHERE id < 0");
    QVERIFY(rows->Eof());
    QCOMPARE(rows->fieldCount(), 6);
    QCOMPARE(QString::fromStdString(rows->column(1).name), QString("label"));
    QCOMPARE(rows->column(0).sqlType, SQL_INTEGER);
    QVERIFY(rows->column(4).isBinary());
    QVERIFY(rows->column(1).isText());
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->column(6));
    QVERIFY(rows->allRowsFetched());
  }

  void columnMetadataFromThePostgresDriver() {
    QUORVANE_REQUIRE_POSTGRES(server);
    Q_UNUSED(server);
    QVERIFY(postgres_);
    auto connection = ado::CreateConnection();
    connection->Open("Data Source=RecordsetPg");
    support::DirectSql("RecordsetPg").Exec("CREATE TABLE counted (id SERIAL PRIMARY KEY, name VARCHAR(30) NOT NULL, memo TEXT)");
    auto rows = Query(connection, "SELECT id, name, memo FROM counted");
    QVERIFY(!rows->column(1).nullable);
    QVERIFY(rows->column(2).nullable);
    QCOMPARE(rows->column(1).size, std::size_t(30));
    QVERIFY(rows->column(0).autoIncrement);
    QVERIFY(!rows->column(1).autoIncrement);
    QCOMPARE(QString::fromStdString(rows->column(2).baseTable), QString("counted"));
  }

  void closedRecordsetRefusesEverything() {
    auto connection = ado::CreateConnection();
    connection->Open("Data Source=RecordsetLite");
    auto rows = Query(connection, "SELECT id FROM sample");
    QCOMPARE(rows->DataSource(), rows);
    rows->Close();
    QVERIFY(!rows->isOpen());
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->Eof());
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->FieldValue(0));
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->Close());
    QVERIFY(!rows->ReadOnlyReason(0).empty());
    // A closed recordset can be opened again.
    rows->Open("SELECT count(*) FROM sample", connection, ado::adOpenDynamic, ado::adLockOptimistic);
    QCOMPARE(rows->FieldValue(0).toString(), std::string("4"));
  }

  void openNeedsAnOpenConnection() {
    auto rows = std::make_shared<ado::Recordset>();
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->Open("SELECT 1", nullptr, ado::adOpenDynamic, ado::adLockOptimistic));
    auto closed = ado::CreateConnection();
    QVERIFY_THROWS_EXCEPTION(ado::Error, rows->Open("SELECT 1", closed, ado::adOpenDynamic, ado::adLockOptimistic));
    QVERIFY(!rows->isOpen());
  }

  void schemaRowsetNamesItsColumns() {
    auto connection = ado::CreateConnection();
    connection->Open("Data Source=RecordsetLite");
    auto tables = connection->OpenSchema(ado::adSchemaTables);
    QCOMPARE(tables->fieldCount(), 5);
    const char* names[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "REMARKS"};
    for (int index = 0; index < 5; ++index) QCOMPARE(QString::fromStdString(tables->column(index).name), QString(names[index]));
    QStringList seen;
    for (; !tables->Eof(); tables->MoveNext())
      seen << QString::fromStdString(tables->FieldValue("TABLE_NAME").toString() + "/" +
                                     tables->FieldValue("TABLE_TYPE").toString());
    QVERIFY2(seen.contains("sample/TABLE") && seen.contains("numbers/TABLE"), qPrintable(seen.join(", ")));
    QVERIFY_THROWS_EXCEPTION(ado::Error, connection->OpenSchema(4));
  }
};

QTEST_GUILESS_MAIN(TestAdoRecordset)
#include "tst_ado_recordset.moc"
