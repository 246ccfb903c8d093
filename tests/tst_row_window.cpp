// Tables of any size: the rows counted in the background, read where the
// user looks (the end, the middle, the start) in the table's own order, let
// go when far away and read again with what changed meanwhile.
#include <QAbstractItemModelTester>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>

#include <atomic>

#include "platform/ado/RowCount.h"
#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;
using support::Driver;

namespace {

constexpr int TableRows = 30000;

// The ids (t) or values (k, c) in the order the table's rows have: t by
// its primary key, c by its two-column key on PostgreSQL (its rowid on
// SQLite), k (no key) by rowid or physical place; or sorted by the values.
// All filled in an order unlike that.
QStringList Expected(support::DirectSql& sql, bool postgres, const std::string& table, bool sorted = false) {
  const std::string place = table == "t" ? "id" : !postgres ? "rowid" : table == "c" ? "b, a" : "ctid";
  const std::string order = sorted ? "v, " + place : place;
  QStringList values;
  for (const auto& row : sql.Query("SELECT " + std::string(table == "t" ? "id" : "v") + " FROM " + table +
                                   " ORDER BY " + order))
    values << QString::fromStdString(row[0].value_or("NULL"));
  return values;
}

// Shows the row as the user reaches it, and waits for its read.
bool Reach(ui::DataGrid& grid, int row) {
  grid.setCurrentIndex(grid.model()->index(row, 0));
  grid.scrollTo(grid.model()->index(row, 0));
  return QTest::qWaitFor([&] { return grid.dataSource()->rowHeld(static_cast<std::size_t>(row)); }, 5000);
}

bool ShowsFrom(ui::DataGrid& grid, int first, int count, const QStringList& expected) {
  for (int row = first; row < first + count; ++row)
    if (Shown(grid, row, 0) != expected.at(row)) {
      qWarning() << "row" << row << "shows" << Shown(grid, row, 0) << "not" << expected.at(row);
      return false;
    }
  return true;
}

// The grid shows the table's rows [first, first + count) as `expected`
// has them, with their numbers, once read.
bool ShowsTableRows(ui::DataGrid& grid, std::size_t first, int count, const QStringList& expected) {
  const auto* model = grid.recordsetModel();
  for (std::size_t row = first; row < first + static_cast<std::size_t>(count); ++row) {
    const int shown = static_cast<int>(row - model->pageBase());
    if (!QTest::qWaitFor([&] { return Shown(grid, shown, 0) == expected.at(static_cast<int>(row)); }, 5000) ||
        model->headerData(shown, Qt::Vertical, Qt::DisplayRole).toULongLong() != row + 1) {
      qWarning() << "table row" << row << "shows" << Shown(grid, shown, 0);
      return false;
    }
  }
  return true;
}

// The first column of a row of the recordset.
QString IdAt(const ado::RecordsetPtr& rows, std::size_t row) {
  const std::string_view text = rows->cell(row, 0).text;
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t CurrentTableRow(const ui::DataGrid& grid) {
  return grid.recordsetModel()->pageBase() + static_cast<std::size_t>(grid.currentIndex().row());
}

}  // namespace

class RowWindowTest : public QObject {
  Q_OBJECT
  Sources sources_{"Window"};

  QString Fresh(bool postgres) {
    const QString source = sources_.Fresh(postgres);
    if (source.isEmpty()) return source;
    support::DirectSql sql(source);
    // 7919 is prime to the number of rows: every id once, scattered.
    const std::string scattered = "(i * 7919) % " + std::to_string(TableRows);
    const std::string numbers = postgres ? " FROM generate_series(0, " + std::to_string(TableRows - 1) + ") i"
                                         : " FROM s";
    // SQLite counts by a recursive query in the INSERT itself.
    const std::string with = postgres ? "" : " WITH RECURSIVE s(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM s "
                                             "WHERE i < " + std::to_string(TableRows - 1) + ")";
    sql.ExecScript("CREATE TABLE t (id INTEGER PRIMARY KEY, v VARCHAR(20));\n"
                   "CREATE TABLE k (v INTEGER);\n"
                   "CREATE TABLE c (v INTEGER, a INTEGER, b INTEGER, PRIMARY KEY (b, a));\n"
                   "INSERT INTO t" + with + " SELECT " + scattered + " + 1, 'v' || (" + scattered + " + 1)" + numbers +
                   ";\nINSERT INTO k" + with + " SELECT " + scattered + numbers +
                   ";\nINSERT INTO c" + with + " SELECT " + scattered + ", (" + scattered + ") % 7, (" + scattered +
                   ") / 7" + numbers);
    return source;
  }

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  void jumpsShowTheRowsOfTheTablesOrder_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("sorted");
    for (bool postgres : {false, true}) {
      const char* driver = postgres ? "postgres" : "sqlite";
      for (const char* table : {"t", "k", "c"})
        QTest::addRow("%s %s", driver, table) << postgres << QString(table) << false;
      QTest::addRow("%s k sorted", driver) << postgres << QString("k") << true;
    }
  }
  void jumpsShowTheRowsOfTheTablesOrder() {
    QFETCH(bool, postgres);
    QFETCH(QString, table);
    QFETCH(bool, sorted);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    // The catalogue's guess is 300 rows too high (SQLite's largest rowid;
    // PostgreSQL's statistics).
    const std::string column = table == "t" ? "id" : "v";
    if (postgres) sql.Exec("ANALYZE " + table.toStdString());
    sql.Exec("DELETE FROM " + table.toStdString() + " WHERE " + column + " BETWEEN 1000 AND 1299");
    const QStringList expected = Expected(sql, postgres, table.toStdString(), sorted);
    const int rows = static_cast<int>(expected.size());
    OpenedGrid opened = OpenInGrid(source, table.toStdString());
    ui::DataGrid& grid = *opened.grid;
    auto* model = grid.recordsetModel();
    if (sorted) grid.sortByColumn(0);
    QVERIFY(ShowsFrom(grid, 0, 50, expected));
    // From the first screen on, the row numbers have room for the last
    // place's number (headers measure in bold).
    QFont bold = grid.verticalHeader()->font();
    bold.setBold(true);
    QVERIFY(grid.verticalHeader()->width() >
            QFontMetrics(bold).horizontalAdvance(QString::number(grid.dataSource()->rowCount())));

    // The end (whether counted yet or not), the middle by the scroll bar,
    // then the start again.
    grid.setCurrentIndex(model->index(0, 0));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QTRY_VERIFY(model->rowCountKnown());
    QCOMPARE(model->rowCount(), rows);
    QCOMPARE(grid.currentIndex().row(), rows - 1);
    QTRY_COMPARE(grid.rowAt(grid.viewport()->height() - 1), rows - 1);
    QVERIFY(Reach(grid, rows - 50));
    QVERIFY(Reach(grid, rows - 1));
    QVERIFY(ShowsFrom(grid, rows - 50, 50, expected));
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
    const int middle = grid.rowAt(grid.viewport()->height() / 2);
    QVERIFY(middle > rows / 3 && middle < 2 * rows / 3);
    QVERIFY(Reach(grid, middle));
    QVERIFY(ShowsFrom(grid, middle - 10, 20, expected));
    // Only rows near those looked at are held.
    QVERIFY(!grid.dataSource()->rowHeld(0));
    QVERIFY(!grid.dataSource()->rowHeld(rows - 1));
    QVERIFY(grid.dataSource()->heldRows() < static_cast<std::size_t>(rows) / 2);
    // F5 keeps the current row far down without reading the rows before it.
    grid.setCurrentIndex(grid.model()->index(middle, 0));
    QTest::keyClick(&grid, Qt::Key_F5);
    QCOMPARE(grid.currentIndex().row(), middle);
    QCOMPARE(Shown(grid, middle, 0), expected.at(middle));
    QVERIFY(!grid.dataSource()->rowHeld(rows / 4));
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(Reach(grid, 0));
    QVERIFY(ShowsFrom(grid, 0, 50, expected));
    QCOMPARE(opened.failed->count(), 0);
    // Between reads nothing holds a transaction open on the server (a read
    // of rows around those shown may still be under way).
    if (postgres)
      QTRY_COMPARE(sql.Scalar("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                          "AND state LIKE 'idle in transaction%'"),
               Cell("0"));
  }

  // An edit far down after a jump; rows let go and read again show what
  // was written meanwhile, by us and by another session, and stay editable.
  void rowsLetGoAreReadAgainWithEditsMadeMeanwhile_data() { AddDrivers(); }
  void rowsLetGoAreReadAgainWithEditsMadeMeanwhile() {
    QFETCH(bool, postgres);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    OpenedGrid opened = OpenInGrid(source, "t");
    ui::DataGrid& grid = *opened.grid;
    QTRY_VERIFY(grid.recordsetModel()->rowCountKnown());
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(Reach(grid, TableRows - 2));
    QVERIFY2(Commit(grid, TableRows - 2, 1, "far"), qPrintable(LastMessage(*opened.failed)));
    const std::string last = std::to_string(TableRows), beforeLast = std::to_string(TableRows - 1);
    QCOMPARE(sql.Scalar("SELECT v FROM t WHERE id = " + beforeLast), Cell("far"));

    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(Reach(grid, 0));
    QVERIFY(!grid.dataSource()->rowHeld(TableRows - 2));
    sql.Exec("UPDATE t SET v = 'theirs' WHERE id = " + last);
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(Reach(grid, TableRows - 2));
    QCOMPARE(Shown(grid, TableRows - 2, 1), QString("far"));
    QCOMPARE(Shown(grid, TableRows - 1, 1), QString("theirs"));
    QVERIFY2(Commit(grid, TableRows - 1, 1, "mine"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT v FROM t WHERE id = " + last), Cell("mine"));
    // Undo reaches the edit made before the rows were let go.
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(Reach(grid, 0));
    grid.recordsetModel()->undo();
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT v FROM t WHERE id = " + last), Cell("theirs"));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM t WHERE v IN ('far', 'theirs')"), Cell("2"));
  }

  // A table of more rows than a page (here 1,000 of 30,000): the views
  // hold a page of places at a time, the table's scroll bar spans every row,
  // and the page goes where the user goes, with the rows' numbers, edits
  // and the current row.
  void aTableLargerThanAPageIsShownAPageAtATime_data() {
    QTest::addColumn<bool>("postgres");
    // Ctrl+End before the count, which finds 300 rows fewer than guessed.
    QTest::addColumn<bool>("early");
    for (bool postgres : {false, true})
      for (bool early : {false, true})
        QTest::addRow("%s%s", postgres ? "postgres" : "sqlite", early ? " end before the count" : "") << postgres
                                                                                                   << early;
  }
  void aTableLargerThanAPageIsShownAPageAtATime() {
    QFETCH(bool, postgres);
    QFETCH(bool, early);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    if (postgres) sql.Exec("ANALYZE t");
    if (early) sql.Exec("DELETE FROM t WHERE id BETWEEN 1000 AND 1299");
    const QStringList expected = Expected(sql, postgres, "t");
    const auto rows = static_cast<std::size_t>(expected.size());
    constexpr int Page = 1000;
    OpenedGrid opened = OpenInGrid(source, "t", true, Page);
    ui::DataGrid& grid = *opened.grid;
    auto* model = grid.recordsetModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // (A tester that reads on from its own reset handler sees its read as
    // nested in the reset.)
    tester.setUseFetchMore(false);
    if (!early) QTRY_VERIFY(model->rowCountKnown());
    const auto edit = [&](std::size_t row, const char* text) {
      const int shown = static_cast<int>(row - model->pageBase());
      QVERIFY2(Commit(grid, shown, 1, text), qPrintable(LastMessage(*opened.failed)));
      const std::string id = expected.at(static_cast<int>(row)).toStdString();
      QCOMPARE(sql.Scalar("SELECT v FROM t WHERE id = " + id), Cell(text));
    };

    grid.setFocus();
    grid.setCurrentIndex(model->index(0, 0));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QTRY_VERIFY(model->rowCountKnown());
    QTRY_COMPARE(model->tableRows(), rows);
    QVERIFY(model->paged() && model->rowCount() <= Page);
    QScrollBar* bar = grid.rowScrollBar();
    QVERIFY(bar != grid.verticalScrollBar() && bar->maximum() > static_cast<int>(rows) - 100);
    QCOMPARE(CurrentTableRow(grid), rows - 1);
    QVERIFY(ShowsTableRows(grid, rows - 30, 30, expected));
    QCOMPARE(bar->value(), bar->maximum());
    edit(rows - 2, "end");

    // The middle by the table's scroll bar; the page moves there.
    bar->setValue(bar->maximum() / 2);
    const std::size_t middle = model->pageBase() + static_cast<std::size_t>(grid.rowAt(grid.viewport()->height() / 2));
    QVERIFY(middle > rows / 3 && middle < 2 * rows / 3);
    QVERIFY(ShowsTableRows(grid, middle - 10, 20, expected));
    edit(middle, "middle");
    QVERIFY(model->rowCount() <= Page);

    // Back at the end, the edit made there before the page moved shows.
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QTRY_COMPARE(Shown(grid, grid.currentIndex().row() - 1, 1), QString("end"));
    // Keys go on past the page's edge, row by row.
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(ShowsTableRows(grid, 0, 30, expected));
    std::size_t down = 0;
    for (int press = 0; press < 500 && down < Page + 100; ++press) {
      QTest::keyClick(&grid, Qt::Key_PageDown);
      QVERIFY2(CurrentTableRow(grid) > down, qPrintable(QString::number(down)));
      down = CurrentTableRow(grid);
    }
    QVERIFY(down >= Page + 100);
    QVERIFY(ShowsTableRows(grid, down - 5, 10, expected));
    // F5 reads the table again from its first page, and goes back to the
    // current row far down.
    bar->setValue(bar->maximum() / 2);
    grid.setCurrentIndex(model->index(static_cast<int>(middle - model->pageBase()), 1));
    QVERIFY(ShowsTableRows(grid, middle, 1, expected));
    QTest::keyClick(&grid, Qt::Key_F5);
    QCOMPARE(CurrentTableRow(grid), middle);
    QTRY_COMPARE(Shown(grid, grid.currentIndex().row(), 1), QString("middle"));
    QCOMPARE(opened.failed->count(), 0);
  }

  // A sort read from the start goes on past the rows it asked for at
  // first: every row once, in the sort's order, ties in the key's.
  void aSortedReadGoesOnPastItsFirstRows_data() { AddDrivers(); }
  void aSortedReadGoesOnPastItsFirstRows() {
    QFETCH(bool, postgres);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.Exec("UPDATE t SET v = 'v' || (id % 300)");
    QStringList expected;
    for (const auto& row : sql.Query("SELECT id FROM t ORDER BY v DESC, id DESC LIMIT 3000"))
      expected << QString::fromStdString(row[0].value_or("NULL"));
    ado::RecordsetPtr rows = support::OpenTable(source, "t");
    ado::RowView view;
    view.sortColumn = 1;
    view.descending = true;
    rows->setView(view);
    rows->Requery();
    rows->FetchMore(static_cast<std::size_t>(expected.size()));
    QVERIFY(rows->rowCount() >= static_cast<std::size_t>(expected.size()));
    for (int row = 0; row < expected.size(); ++row)
      QCOMPARE(IdAt(rows, static_cast<std::size_t>(row)), expected.at(row));
  }

  // Rows added or changed here keep their places until the rows are read
  // anew, wherever the view now puts them; every other row keeps its place
  // too: read far away or at the end, none is missed or shown twice.
  void rowsWrittenHereKeepTheirPlaces_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("sortColumn");
    QTest::addColumn<int>("editedColumn");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("added");
    for (bool postgres : {false, true}) {
      const char* driver = postgres ? "postgres" : "sqlite";
      // The key moved to the end; the sorted value moved to the end; a
      // value of a table without a key (a new physical place on PostgreSQL).
      QTest::addRow("%s key", driver) << postgres << "t" << -1 << 0 << "88888" << "99999";
      QTest::addRow("%s sorted", driver) << postgres << "t" << 1 << 1 << "zy" << "99999";
      QTest::addRow("%s keyless", driver) << postgres << "k" << -1 << 0 << "-2" << "-1";
    }
  }
  void rowsWrittenHereKeepTheirPlaces() {
    QFETCH(bool, postgres);
    QFETCH(QString, table);
    QFETCH(int, sortColumn);
    QFETCH(int, editedColumn);
    QFETCH(QString, edit);
    QFETCH(QString, added);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    QStringList expected = Expected(sql, postgres, table.toStdString(), sortColumn >= 0);
    ado::RecordsetPtr rows = support::OpenTable(source, table.toStdString());
    ado::RowView view;
    view.sortColumn = sortColumn;
    rows->setView(view);
    rows->Requery();
    rows->SetRowCount(TableRows, true);
    rows->ReadRows(0, 300);
    ado::CellValues cells{{0, added.toStdString()}};
    if (table == "t") cells.emplace_back(1, "zz");
    rows->InsertRow(5, cells);
    rows->UpdateCell(11, editedColumn, edit.toStdString());
    expected.insert(5, added);
    if (editedColumn == 0) expected[11] = edit;
    const int places = TableRows + 1;
    QCOMPARE(rows->rowCount(), std::size_t(places));
    const auto shows = [&](int first, int count) {
      rows->ReadRows(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
      for (int row = first; row < first + count; ++row)
        if (const QString id = IdAt(rows, static_cast<std::size_t>(row)); id != expected.at(row)) {
          qWarning() << "row" << row << "shows" << id << "not" << expected.at(row);
          return false;
        }
      return true;
    };
    // Next to the rows held, in the middle, at the end.
    QVERIFY(shows(290, 40));
    QVERIFY(shows(places / 2, 20));
    QVERIFY(shows(places - 20, 20));
    QVERIFY(shows(0, 20));
  }

  // A place far from the rows held is read from its key on the key's
  // index: before the count from the key the guess puts there, settled by
  // the count (rows found elsewhere go, to be read again at their places);
  // after it, where every key value is a row, from the key the place has.
  void jumpsGoByTheKey_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("gaps");
    for (bool postgres : {false, true})
      for (bool gaps : {false, true})
        QTest::addRow("%s%s", postgres ? "postgres" : "sqlite", gaps ? ", keys with a gap" : "") << postgres << gaps;
  }
  void jumpsGoByTheKey() {
    QFETCH(bool, postgres);
    QFETCH(bool, gaps);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    if (gaps) sql.Exec("DELETE FROM t WHERE id BETWEEN 1000 AND 1299");
    if (postgres) sql.Exec("ANALYZE t");
    const QStringList expected = Expected(sql, postgres, "t");
    ado::RecordsetPtr rows = support::OpenTable(source, "t");
    rows->FetchMore(256);
    // As many places as the key has values: the guess, near enough.
    QCOMPARE(rows->EstimatedRowCount(), std::optional<std::size_t>(TableRows));
    rows->SetRowCount(TableRows, false);
    const std::size_t middle = TableRows / 2;
    QCOMPARE(rows->ReadRows(middle, 10), std::make_pair(std::size_t(0), std::size_t(0)));
    QCOMPARE(IdAt(rows, middle), QString::number(middle + 1));
    std::atomic<bool> arrived = false;
    auto count = rows->CountRows([&arrived] { arrived = true; });
    QTRY_VERIFY(arrived.load());
    QCOMPARE(count->keyRange(), std::optional<ado::KeyRange>(ado::KeyRange{1, TableRows}));
    rows->SetRowCount(*count->rows(), true, count->keyRange());
    QCOMPARE(rows->rowHeld(middle), !gaps);
    for (const std::size_t place : {middle, middle + 20, std::size_t(expected.size()) * 3 / 4}) {
      rows->ReadRows(place, 10);
      for (std::size_t row = place; row < place + 10; ++row)
        QCOMPARE(IdAt(rows, row), expected.at(static_cast<int>(row)));
    }
  }

  // Places guessed before the count: rows read past those held from the
  // start stay right, the count settles the end, places past the rows go;
  // a count waiting on a lock is cancelled when the table is left.
  void aLateCountSettlesThePlaces_data() { AddDrivers(); }
  void aLateCountSettlesThePlaces() {
    QFETCH(bool, postgres);
    const QString source = Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    const QStringList expected = Expected(sql, postgres, "t");
    ado::RecordsetPtr rows = support::OpenTable(source, "t");
    rows->FetchMore(256);
    rows->SetRowCount(TableRows / 2, false);
    rows->ReadRows(TableRows / 2 - 20, 10);
    QCOMPARE(IdAt(rows, TableRows / 2 - 11), expected.at(TableRows / 2 - 11));
    QVERIFY(!rows->rowCountKnown());
    std::atomic<bool> arrived = false;
    auto count = rows->CountRows([&arrived] { arrived = true; });
    QTRY_VERIFY(arrived.load());
    QCOMPARE(count->rows(), std::optional<std::size_t>(TableRows));
    rows->SetRowCount(*count->rows(), true);
    QVERIFY(rows->rowHeld(TableRows / 2 - 11));
    rows->ReadRows(TableRows - 5, 5);
    QCOMPARE(IdAt(rows, TableRows - 1), expected.at(TableRows - 1));
    // A guess too high: the places past the last row are found empty.
    rows->Requery();
    rows->FetchMore(1);
    rows->SetRowCount(TableRows + 100, false);
    QCOMPARE(rows->ReadRows(TableRows - 10, 50), std::make_pair(std::size_t(TableRows), std::size_t(40)));
    // Rows read back from the end before the count keep their distance
    // from it when the count settles a guess too high or too low; rows
    // read from the start keep their places.
    for (const std::size_t guess : {TableRows + 300, TableRows - 300}) {
      rows->Requery();
      rows->FetchMore(1);
      rows->SetRowCount(guess, false);
      rows->ReadRows(guess - 50, 50);
      QCOMPARE(IdAt(rows, guess - 1), expected.last());
      rows->SetRowCount(TableRows, true);
      for (const int row : {0, TableRows - 50, TableRows - 1}) {
        QVERIFY(rows->rowHeld(row));
        QCOMPARE(IdAt(rows, row), expected.at(row));
      }
    }
    if (!postgres) return;

    support::DirectSql holder(source);
    holder.Exec("BEGIN");
    holder.Exec("LOCK TABLE t IN ACCESS EXCLUSIVE MODE");
    // Of this database only: other tests may wait for locks of their own.
    const std::string waiting = "SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = l.database "
                                "WHERE NOT l.granted AND d.datname = current_database()";
    {
      auto blocked = rows->CountRows({});
      QTRY_COMPARE(holder.Scalar(waiting), Cell("1"));
    }
    QTRY_COMPARE(holder.Scalar(waiting), Cell("0"));
    holder.Exec("COMMIT");
  }
};

QTEST_MAIN(RowWindowTest)
#include "tst_row_window.moc"
