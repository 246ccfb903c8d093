// The statements each database's dialect builds, without a database: a
// write reaches its row by the row's identity and, where rows carry no
// version, only while the row holds what was read; every value the user
// gave is bound, never part of the text; reads of a view and of a window
// take the forms each database accepts.
#include <QTest>

#include <algorithm>
#include <string>

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "platform/ado/RowView.h"
#include "platform/ado/detail/ChangePlanner.h"
#include "platform/ado/detail/PackedCells.h"
#include "platform/ado/detail/TableRead.h"
#include "platform/ado/detail/WindowQuery.h"
#include "platform/ado/detail/dialect/Dialect.h"

using namespace ado;

namespace {

using Cell = std::optional<std::string>;

// A value no statement may carry as text.
const std::string Hostile = "x' OR '1'='1";

enum class Kind { SqliteRowid, SqliteKey, PostgresKeyed, PostgresInherited, MariaDb, Other };

// A table "t" of an integer key "id" and a text "name", read as each
// database reads it.
struct Table {
  TableRead read;
  std::vector<ColumnInfo> columns;
  StoredRow row;  // a row as read: visible cells, then hidden ones
};

Table Build(Kind kind) {
  Table table;
  TableRead& read = table.read;
  table.columns.resize(2);
  table.columns[0].name = "id";
  table.columns[0].sqlType = 4;  // SQL_INTEGER
  table.columns[1].name = "name";
  table.columns[1].sqlType = 12;  // SQL_VARCHAR
  const bool mariaDb = kind == Kind::MariaDb;
  const std::string q = mariaDb ? "`" : "\"";
  read.tableName = "t";
  read.quotedTable = q + "t" + q;
  read.quotedColumns = {q + "id" + q, q + "name" + q};
  read.visibleList = "*";
  read.holdsText = {false, true};
  read.key = {0};
  table.row = {"7", "ann"};
  switch (kind) {
    case Kind::SqliteRowid:
    case Kind::SqliteKey:
      read.dialect = &ChooseDialect("SQLite", "libsqlite3odbc.so");
      read.visibleList = read.quotedColumns[0] + ", " + read.quotedColumns[1];
      read.usualStorage = {'i', 't'};
      read.rowidName = "rowid";
      if (kind == Kind::SqliteRowid) {
        read.identity = TableRead::Identity::SqliteRowid;
        read.orderKeys = {"rowid"};
        read.rowidAt = 2;
        read.marksAt = 3;
        read.hiddenColumns = {"rowid", "NULL"};
        table.row.insert(table.row.end(), {"7", std::nullopt});
      } else {
        read.identity = TableRead::Identity::SqliteKey;
        read.orderKeys = {read.quotedColumns[0]};
        read.marksAt = 2;
        read.hiddenColumns = {"NULL"};
        table.row.push_back(std::nullopt);
      }
      break;
    case Kind::PostgresKeyed:
    case Kind::PostgresInherited:
      read.dialect = &ChooseDialect("PostgreSQL", "psqlodbcw.so");
      read.identity = TableRead::Identity::PostgresTuple;
      read.ownOid = "16384";
      read.baseTypes = {"int4", "text"};
      read.typesReadAsText = {"", ""};
      if (kind == Kind::PostgresKeyed) {
        read.orderColumns = {0};
        read.orderKeys = {read.quotedColumns[0]};
        read.hiddenColumns = {"ctid", "xmin"};
        table.row.insert(table.row.end(), {"(0,1)", "733"});
      } else {
        read.key.clear();
        read.orderKeys = {"tableoid", "ctid"};
        read.hiddenColumns = {"tableoid", "ctid", "xmin"};
        table.row.insert(table.row.end(), {"16390", "(0,1)", "733"});
      }
      break;
    case Kind::MariaDb:
      read.dialect = &ChooseDialect("MariaDB", "libmaodbc.so");
      read.identity = TableRead::Identity::PrimaryKey;
      read.knownColumns = true;
      read.orderKeys = {read.quotedColumns[0]};
      read.exactMatch = {"`id` = CAST(? AS SIGNED)",
                         "CAST(CONVERT(`name` USING utf8mb4) AS BINARY) = CAST(CONVERT(? USING utf8mb4) AS BINARY)"};
      read.valueAs = {"", ""};
      break;
    case Kind::Other:
      read.dialect = &ChooseDialect("SomeBase", "libsomebase.so");
      read.identity = TableRead::Identity::PrimaryKey;
      read.orderKeys = {};
      break;
  }
  return table;
}

std::size_t Markers(const std::string& sql) {
  // Question marks outside quoted text and names.
  std::size_t markers = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '?') {
      ++markers;
    }
  }
  return markers;
}

// Every value bound, none in the text.
void VerifyBound(const std::string& sql, const BoundParameters& parameters) {
  QVERIFY2(sql.find(Hostile) == std::string::npos, sql.c_str());
  QCOMPARE(Markers(sql), parameters.size());
}

bool Has(const std::string& sql, const std::string& part) { return sql.find(part) != std::string::npos; }

}  // namespace

class SqlBuildersTest : public QObject {
  Q_OBJECT

 private slots:
  void aWriteReachesItsRowByItsIdentityWithEveryValueBound_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("identity");     // what names the row in every write
    QTest::addColumn<QString>("stillAsRead");  // what keeps an update off a changed row
    QTest::addColumn<QString>("target");
    QTest::newRow("SQLite rowid") << int(Kind::SqliteRowid) << "rowid = CAST(? AS INTEGER)"
                                  << "typeof(\"name\") = 'text'" << "\"t\"";
    QTest::newRow("SQLite WITHOUT ROWID") << int(Kind::SqliteKey) << "typeof(\"id\") = 'integer'"
                                          << "typeof(\"name\") = 'text'" << "\"t\"";
    QTest::newRow("PostgreSQL") << int(Kind::PostgresKeyed) << "ctid = CAST(? AS tid) AND xmin = CAST(? AS xid)"
                                << "" << "ONLY \"t\"";
    QTest::newRow("PostgreSQL, inherited row") << int(Kind::PostgresInherited)
                                               << "tableoid = CAST(? AS oid) AND ctid = CAST(? AS tid)" << ""
                                               << "\"t\"";
    QTest::newRow("MariaDB") << int(Kind::MariaDb) << "`id` = CAST(? AS SIGNED)"
                             << "CAST(CONVERT(`name` USING utf8mb4) AS BINARY)" << "`t`";
    QTest::newRow("other driver") << int(Kind::Other) << "\"id\" = ?" << "\"name\" = ?" << "\"t\"";
  }
  void aWriteReachesItsRowByItsIdentityWithEveryValueBound() {
    QFETCH(int, kind);
    QFETCH(QString, identity);
    QFETCH(QString, stillAsRead);
    QFETCH(QString, target);
    const Table table = Build(static_cast<Kind>(kind));
    const ChangePlanner planner(table.read, table.columns);
    const bool versioned = table.read.dialect->RowsCarryVersions(table.read);
    QCOMPARE(versioned, stillAsRead.isEmpty());

    PlannedStatement update = planner.UpdateRow(table.row, {CellChange{1, Hostile}});
    VerifyBound(update.sql, update.parameters);
    QVERIFY2(update.sql.starts_with("UPDATE " + target.toStdString() + " SET "), update.sql.c_str());
    QVERIFY2(Has(update.sql, identity.toStdString()), update.sql.c_str());
    // Without versions the changed cell must still hold what was read.
    if (!versioned) QVERIFY2(Has(update.sql, stillAsRead.toStdString()), update.sql.c_str());
    QCOMPARE(update.returnsRows, versioned);

    PlannedStatement remove = planner.DeleteRow(table.row);
    VerifyBound(remove.sql, remove.parameters);
    QVERIFY2(Has(remove.sql, identity.toStdString()), remove.sql.c_str());
    if (!versioned) QVERIFY2(Has(remove.sql, stillAsRead.toStdString()), remove.sql.c_str());

    // A key changed by the write: the read-back goes by the new key, or,
    // with a physical identity, by that identity.
    PlannedStatement readBack = planner.ReadBack(table.row, CellChange{0, "8"});
    VerifyBound(readBack.sql, readBack.parameters);
    QVERIFY(readBack.returnsRows);

    PlannedStatement insert = planner.InsertRow({CellChange{0, "9"}, CellChange{1, Hostile}});
    VerifyBound(insert.sql, insert.parameters);
    QCOMPARE(insert.parameters.size(), std::size_t(2));
    const std::optional<PlannedStatement> readInserted = planner.ReadInserted({CellChange{0, "9"}});
    // The new row is read back where nothing hands it back.
    QCOMPARE(readInserted.has_value() || insert.returnsRows, true);
    if (readInserted) VerifyBound(readInserted->sql, readInserted->parameters);
  }

  void aViewAndItsWindowsTakeEachDatabasesForms_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("contains");  // a find in a column
    QTest::addColumn<QString>("skipOnly");  // every row past the first ones
    QTest::addColumn<bool>("byKeys");       // a read goes on after a row's keys
    QTest::addColumn<QString>("keyValue");  // from a key on: the key's value as compared
    QTest::addColumn<bool>("integerKey");   // a place's key can be worked out (see KeyRange)
    QTest::newRow("SQLite rowid") << int(Kind::SqliteRowid) << "AS TEXT) LIKE ? ESCAPE '!'" << " LIMIT -1 OFFSET 5"
                                  << true << "rowid >= 7" << true;
    QTest::newRow("SQLite WITHOUT ROWID") << int(Kind::SqliteKey) << "AS TEXT) LIKE ? ESCAPE '!'"
                                          << " LIMIT -1 OFFSET 5" << false << "" << true;
    QTest::newRow("PostgreSQL") << int(Kind::PostgresKeyed) << "AS text) ILIKE ? ESCAPE '!'" << " OFFSET 5" << true
                                << "\"id\" >= CAST(? AS int4)" << true;
    QTest::newRow("PostgreSQL, inherited") << int(Kind::PostgresInherited) << "AS text) ILIKE ? ESCAPE '!'"
                                           << " OFFSET 5" << false << "" << false;
    QTest::newRow("MariaDB") << int(Kind::MariaDb) << "LIKE LOWER(?) ESCAPE '!'"
                             << " LIMIT 18446744073709551615 OFFSET 5" << true << "`id` >= CAST(? AS SIGNED)" << true;
  }
  void aViewAndItsWindowsTakeEachDatabasesForms() {
    QFETCH(int, kind);
    QFETCH(QString, contains);
    QFETCH(QString, skipOnly);
    QFETCH(bool, byKeys);
    QFETCH(QString, keyValue);
    QFETCH(bool, integerKey);
    const Table table = Build(static_cast<Kind>(kind));
    RowView view;
    view.findText = "50%_off!" + Hostile;
    view.findColumns = {1};
    view.filters = {{1, Hostile, 't', true}, {0, std::nullopt, 0, false}};
    ViewQuery found = BuildViewQuery(table.read, view);
    VerifyBound(found.sql, found.parameters);
    QVERIFY2(Has(found.sql, contains.toStdString()), found.sql.c_str());
    QVERIFY2(Has(found.sql, "IS NOT NULL"), found.sql.c_str());
    QCOMPARE(ContainsPattern("50%_off!"), std::string("%50!%!_off!!%"));

    // Sorted by a column, rows of equal values keep one order: the sort
    // ends with what names a row.
    RowView sorted;
    sorted.sortColumn = 1;
    sorted.descending = true;
    const ViewQuery bySort = BuildViewQuery(table.read, sorted);
    const std::vector<std::string> ties = table.read.dialect->TieBreakers(table.read, table.read.quotedColumns[1]);
    QVERIFY(!ties.empty());
    QVERIFY2(Has(bySort.sql, ties.back() + " DESC"), bySort.sql.c_str());

    QCOMPARE(ReadsByKeys(table.read, RowView{}), byKeys);
    QVERIFY(!ReadsByKeys(table.read, sorted));
    WindowStart skipping;
    skipping.skip = 5;
    const ViewQuery rest = BuildWindowQuery(table.read, RowView{}, skipping, NoRowLimit);
    QVERIFY2(rest.sql.ends_with(skipOnly.toStdString()), rest.sql.c_str());
    const ViewQuery some = BuildWindowQuery(table.read, RowView{}, skipping, 10);
    QVERIFY2(Has(some.sql, "LIMIT 10"), some.sql.c_str());
    if (byKeys) {
      // After a row and before one (read backwards), by its keys' values;
      // rows written here left out by theirs.
      WindowStart after;
      after.afterKeys = std::vector<std::string>{"7"};
      after.leaveOut = {{"9"}};
      const ViewQuery next = BuildWindowQuery(table.read, RowView{}, after, 10);
      VerifyBound(next.sql, next.parameters);
      QVERIFY2(Has(next.sql, " > ") && Has(next.sql, "NOT ("), next.sql.c_str());
      after.fromEnd = true;
      const ViewQuery before = BuildWindowQuery(table.read, RowView{}, after, 10);
      QVERIFY2(Has(before.sql, " < ") && Has(before.sql, " DESC"), before.sql.c_str());
      // From a place's key on, found on the key's index, skipping a few
      // rows past it; forwards only.
      WindowStart from;
      from.fromKeys = std::vector<std::string>{"7"};
      from.skip = 3;
      const ViewQuery seek = BuildWindowQuery(table.read, RowView{}, from, 10);
      VerifyBound(seek.sql, seek.parameters);
      QVERIFY2(Has(seek.sql, keyValue.toStdString()) && Has(seek.sql, "LIMIT 10 OFFSET 3"), seek.sql.c_str());
      from.fromEnd = true;
      QVERIFY_THROWS_EXCEPTION(Error, BuildWindowQuery(table.read, RowView{}, from, 10));
    } else {
      WindowStart after;
      after.afterKeys = std::vector<std::string>{"7"};
      QVERIFY_THROWS_EXCEPTION(Error, BuildWindowQuery(table.read, RowView{}, after, 10));
      after.afterKeys.reset();
      after.fromKeys = std::vector<std::string>{"7"};
      QVERIFY_THROWS_EXCEPTION(Error, BuildWindowQuery(table.read, RowView{}, after, 10));
    }
    const ViewQuery counted = BuildCountQuery(table.read, view, true);
    VerifyBound(counted.sql, counted.parameters);
    QVERIFY2(counted.sql.starts_with("SELECT count(*) FROM "), counted.sql.c_str());
    // The key's range with the count of the whole table, each end on the
    // key's index.
    const ViewQuery all = BuildCountQuery(table.read, RowView{}, true);
    const bool oneKey = table.read.orderKeys.size() == 1;
    QCOMPARE(Has(all.sql, "(SELECT min(") && Has(all.sql, "(SELECT max("), oneKey);
    QVERIFY(!Has(BuildCountQuery(table.read, RowView{}, false).sql, "min("));
    QCOMPARE(table.read.dialect->OrderKeyIsInteger(table.read, table.columns[0]), integerKey);
    QVERIFY(!table.read.dialect->OrderKeyIsInteger(table.read, table.columns[1]) ||
            kind == int(Kind::SqliteRowid));
    // A guess only of the whole table; its values bound.
    std::vector<std::string> parameters;
    QVERIFY(EstimateQuery(table.read, view, parameters).empty());
    const std::string guess = EstimateQuery(table.read, RowView{}, parameters);
    QCOMPARE(Markers(guess), parameters.size());
  }

  void aDialectIsChosenByWhatTheDriverSays() {
    const Dialect& sqlite = ChooseDialect("SQLite", "libsqlite3odbc.so");
    const Dialect& sqliteByDriver = ChooseDialect("", "sqlite3odbc.so");
    const Dialect& postgres = ChooseDialect("PostgreSQL", "psqlodbcw.so");
    const Dialect& mysql = ChooseDialect("MySQL", "libmyodbc8w.so");
    const Dialect& mariaDb = ChooseDialect("MariaDB", "libmaodbc.so");
    const Dialect& other = ChooseDialect("Firebird", "libOdbcFb.so");
    QCOMPARE(&sqlite, &sqliteByDriver);
    QCOMPARE(&mysql, &mariaDb);
    QVERIFY(&postgres != &sqlite && &postgres != &mariaDb && &other != &sqlite && &other != &postgres &&
            &other != &mariaDb);
  }

  // Cells past the columns a result may hold come packed in one text,
  // each unpacked as the driver would hand it over alone.
  void packedCellsComeBackAsTheDriverGivesThem_data() {
    QTest::addColumn<std::string>("packed");
    QTest::addColumn<std::vector<bool>>("binary");
    QTest::addColumn<std::vector<Cell>>("cells");  // empty: refused
    QTest::newRow("null, empty text, integer, real")
        << std::string("n,t,i3432,r2D302E35") << std::vector<bool>(4, false)
        << std::vector<Cell>{std::nullopt, Cell(""), Cell("42"), Cell("-0.5")};
    QTest::newRow("text up to its NUL byte, commas kept") << std::string("t612C00622C,n") << std::vector<bool>(2, false)
                                                         << std::vector<Cell>{Cell("a,"), std::nullopt};
    QTest::newRow("a BLOB as bytes or as the driver's text")
        << std::string("b00FF,b00ff") << std::vector<bool>{true, false}
        << std::vector<Cell>{Cell(std::string("\0\xff", 2)), Cell("X'00ff'")};
    QTest::newRow("a cell missing") << std::string("n") << std::vector<bool>(2, false) << std::vector<Cell>{};
    QTest::newRow("a cell too many") << std::string("n,n") << std::vector<bool>(1, false) << std::vector<Cell>{};
    QTest::newRow("no hexadecimal") << std::string("tZZ") << std::vector<bool>(1, false) << std::vector<Cell>{};
  }
  void packedCellsComeBackAsTheDriverGivesThem() {
    QFETCH(std::string, packed);
    QFETCH(std::vector<bool>, binary);
    QFETCH(std::vector<Cell>, cells);
    if (cells.empty()) {
      QVERIFY_THROWS_EXCEPTION(Error, UnpackCells(packed, binary));
      return;
    }
    QVERIFY(UnpackCells(packed, binary) == cells);
  }
};

QTEST_MAIN(SqlBuildersTest)
#include "tst_sql_builders.moc"
