// Edits while the grid's read of an SQLite table is unfinished: the read is
// closed so that the write can commit, and taken up again after the last key
// read only where the table's order provably follows that key. Rows must
// never be lost, repeated or reordered, whatever the table looks like.
#include <QTemporaryDir>
#include <QTest>

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ado/StatementWait.h"
#include "support/DirectSql.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/RecordsetModel.h"
#include "support/GridEditing.h"
#include "support/TestDataSources.h"

namespace {

using support::OpenTable;

constexpr int Rows = 2000;  // several read blocks

std::string Text(const ado::RecordsetPtr& recordset, std::size_t row, int column) {
  const ado::CellView cell = recordset->cell(row, column);
  return cell.isNull ? "<null>" : std::string(cell.text);
}

// Every row of the recordset, key and word, as one text per row.
std::vector<std::string> Contents(const ado::RecordsetPtr& recordset) {
  std::vector<std::string> rows;
  for (std::size_t row = 0; row < recordset->rowCount(); ++row)
    rows.push_back(Text(recordset, row, 0) + "|" + Text(recordset, row, 1));
  return rows;
}

std::vector<std::string> Contents(support::DirectSql& sql, const std::string& table, const std::string& order) {
  std::vector<std::string> rows;
  for (const auto& row : sql.Query("SELECT * FROM \"" + table + "\" ORDER BY " + order))
    rows.push_back(row[0].value_or("<null>") + "|" + row[1].value_or("<null>"));
  return rows;
}

// A wait whose user has asked to stop before the statement ran.
class StoppedWait final : public ado::StatementWait {
 public:
  void Run(const std::function<void()>& statement, const std::function<void()>&) override { statement(); }
  bool cancelRequested() const override { return true; }
};

}  // namespace

class ReadResumptionTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  int round_ = 0;

  // A data source with the table `t` of Rows rows (k, word) made by `create`.
  QString freshTable(const std::string& create) {
    const QString source = QString("Resume%1").arg(++round_);
    support::AddSqliteDataSource(source, folder_.filePath(source + ".sqlite"));
    support::DirectSql sql(source);
    sql.Exec(create);
    sql.Exec("INSERT INTO t WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
             std::to_string(Rows) + ") SELECT n, 'w' || n FROM c");
    return source;
  }

 private slots:
  void initTestCase() {
    support::UsePrivateDataSources();
    QVERIFY(folder_.isValid());
  }

  void editsBetweenReadsKeepEveryRowOnceInOrder() {
    const QString source = freshTable("CREATE TABLE t (k INTEGER PRIMARY KEY, word TEXT)");
    auto recordset = OpenTable(source, "t");
    recordset->FetchMore(300);
    const std::size_t read = recordset->rowCount();
    recordset->UpdateCell(100, 1, "first edit");
    // The read was closed, not finished, and its lock is gone: another
    // connection can commit at once.
    QCOMPARE(recordset->rowCount(), read);
    QVERIFY(!recordset->allRowsFetched());
    support::DirectSql other(source);
    other.Exec("UPDATE t SET word = 'changed elsewhere' WHERE k = 1999");
    // Reading on, editing the last row read each time, then reading again.
    for (int round = 0; round < 4; ++round) {
      recordset->FetchMore(257);
      recordset->UpdateCell(recordset->rowCount() - 1, 1, "edit " + std::to_string(round));
      QVERIFY(!recordset->allRowsFetched());
    }
    recordset->FetchMore(static_cast<std::size_t>(-1));
    QVERIFY(recordset->allRowsFetched());
    QCOMPARE(recordset->rowCount(), std::size_t(Rows));
    const std::vector<std::string> shown = Contents(recordset);
    QCOMPARE(shown, Contents(other, "t", "k"));
    QCOMPARE(shown[100], std::string("101|first edit"));
    QCOMPARE(shown[1998], std::string("1999|changed elsewhere"));
  }

  // Another program writes while the read is paused: keys moved ahead of
  // the point the read goes on from, or behind it, rows deleted and added.
  // The rows read from the start show every row of the table once, in
  // order: they are read anew.
  void rowsOthersMoveWhileTheReadPausesAreShownOnce() {
    const QString source = freshTable("CREATE TABLE t (k INTEGER PRIMARY KEY, word TEXT)");
    auto recordset = OpenTable(source, "t");
    recordset->FetchMore(300);
    recordset->UpdateCell(100, 1, "mine");
    QVERIFY(!recordset->allRowsFetched());
    support::DirectSql other(source);
    other.ExecScript("UPDATE t SET k = 5000 WHERE k = 50;\nUPDATE t SET k = -1 WHERE k = 1500;\n"
                     "DELETE FROM t WHERE k = 1200;\nINSERT INTO t VALUES (6000, 'new')");
    recordset->FetchMore(static_cast<std::size_t>(-1));
    QCOMPARE(Contents(recordset), Contents(other, "t", "k"));
  }

  void aMovedKeyFinishesTheReadFirst() {
    const QString source = freshTable("CREATE TABLE t (k INTEGER PRIMARY KEY, word TEXT)");
    auto recordset = OpenTable(source, "t");
    recordset->FetchMore(300);
    recordset->UpdateCell(10, 1, "suspends the read");
    QVERIFY(!recordset->allRowsFetched());
    // Row 6 moves past every row read so far; reading on after the last key
    // would bring it back a second time.
    recordset->UpdateCell(5, 0, "5000");
    QVERIFY(recordset->allRowsFetched());
    QCOMPARE(recordset->rowCount(), std::size_t(Rows));
    int seen = 0;
    for (std::size_t row = 0; row < recordset->rowCount(); ++row) seen += Text(recordset, row, 0) == "5000" ? 1 : 0;
    QCOMPARE(seen, 1);
    QCOMPARE(Text(recordset, 5, 0), std::string("5000"));
    QCOMPARE(Text(recordset, 6, 0), std::string("7"));
  }

  // The read goes in rowid order, so any rowid table resumes after the last
  // rowid read, whatever its key; a table without rowids finishes the read.
  void everyRowidTableResumesAfterItsLastRowid_data() {
    QTest::addColumn<QString>("create");
    QTest::addColumn<QString>("order");
    // INT is no rowid alias: the key is an ordinary unique column.
    QTest::newRow("INT key") << "CREATE TABLE t (k INT PRIMARY KEY, word TEXT)" << "rowid";
    QTest::newRow("descending key") << "CREATE TABLE t (k INTEGER PRIMARY KEY DESC, word TEXT)" << "rowid";
    QTest::newRow("without rowid") << "CREATE TABLE t (k INTEGER PRIMARY KEY, word TEXT) WITHOUT ROWID" << "k";
    QTest::newRow("two-column key") << "CREATE TABLE t (k INTEGER, word TEXT, PRIMARY KEY (k, word))" << "rowid";
    QTest::newRow("text key") << "CREATE TABLE t (k TEXT PRIMARY KEY, word TEXT)" << "rowid";
  }
  void everyRowidTableResumesAfterItsLastRowid() {
    QFETCH(QString, create);
    QFETCH(QString, order);
    const QString source = freshTable(create.toStdString());
    auto recordset = OpenTable(source, "t");
    recordset->FetchMore(300);
    QVERIFY(!recordset->allRowsFetched());
    const std::vector<std::string> before = Contents(recordset);
    recordset->UpdateCell(100, 1, "edited");
    QCOMPARE(recordset->allRowsFetched(), order != "rowid");
    recordset->FetchMore(static_cast<std::size_t>(-1));
    QCOMPARE(recordset->rowCount(), std::size_t(Rows));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT word FROM t WHERE k = 101"), std::optional<std::string>("edited"));
    // The rows read before the edit kept their places.
    const std::vector<std::string> after = Contents(recordset);
    for (std::size_t row = 0; row < before.size(); ++row)
      if (row != 100) QCOMPARE(after[row], before[row]);
    std::vector<std::string> sorted = after, stored = Contents(check, "t", order.toStdString());
    std::ranges::sort(sorted);
    std::ranges::sort(stored);
    QCOMPARE(sorted, stored);
  }

  // A new read of the session (a sort, a find) pauses the unfinished one it
  // is to replace; stopped, it leaves that read to go on where it was:
  // every row once, in its order, also through an edit.
  void aReadStoppedForAnotherGoesOnWhereItWas_data() {
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<QString>("order");
    QTest::newRow("table's order") << -1 << "k";
    QTest::newRow("sorted") << 1 << "word DESC";
  }
  void aReadStoppedForAnotherGoesOnWhereItWas() {
    QFETCH(int, sortColumn);
    QFETCH(QString, order);
    const QString source = freshTable("CREATE TABLE t (k INTEGER PRIMARY KEY, word TEXT)");
    support::DirectSql other(source);
    auto recordset = OpenTable(source, "t");
    ado::RowView view;
    view.sortColumn = sortColumn;
    view.descending = true;
    recordset->setView(view);
    recordset->Requery();
    recordset->FetchMore(300);
    const std::vector<std::string> before = Contents(recordset);
    QVERIFY(!recordset->allRowsFetched());
    ado::RowView found;
    found.findText = "w1";
    found.findColumns = {1};
    recordset->setView(found);
    {
      StoppedWait stopped;
      ado::StatementWait::Scope scope(stopped);
      QVERIFY_THROWS_EXCEPTION(ado::Error, recordset->Requery());
    }
    recordset->setView(view);
    QCOMPARE(Contents(recordset), before);
    // Another program writes meanwhile, to a row the read has not reached,
    // keeping its place in either order: the read goes on in the file as it
    // is now, not in a copy taken when the new read came.
    other.Exec("UPDATE t SET word = word || ' later' WHERE k = 1999");
    recordset->FetchMore(200);
    // Its text grows, its place in either order stays.
    const std::string edited = Text(recordset, 10, 1) + " edited";
    recordset->UpdateCell(10, 1, edited);
    recordset->FetchMore(static_cast<std::size_t>(-1));
    QCOMPARE(Contents(recordset), Contents(other, "t", order.toStdString()));
    QCOMPARE(Text(recordset, 10, 1), edited);
  }
};

QTEST_MAIN(ReadResumptionTest)
#include "tst_read_resumption.moc"
