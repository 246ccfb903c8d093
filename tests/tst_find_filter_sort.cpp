// Find, filter and sort done by the database, through the grid as a user
// drives it: awkward values, edits under a view, refresh and Esc keeping
// the current row; what the grid tells meanwhile (the rows found, the row's
// place, a change saved, the headings' tool tips).
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "platform/ui/FindBar.h"
#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;
using support::Driver;

namespace {

// The ids of the rows shown, in order.
QStringList Ids(ui::DataGrid& grid) {
  auto* model = grid.recordsetModel();
  model->fetchAll();
  QStringList ids;
  for (int row = 0; row < model->rowCount(); ++row) ids << Shown(grid, row, 0);
  return ids;
}

void Find(ui::DataGrid& grid, const QString& text, int column = -1) {
  grid.openFind();
  grid.findBar()->findChild<QComboBox*>()->setCurrentIndex(column + 1);
  auto* line = grid.findBar()->findChild<QLineEdit*>();
  line->clear();
  // Typed as a user types, letters beyond ASCII too.
  for (const QChar character : text)
    QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(character), Qt::NoModifier);
  // Enter right after typing finds at once.
  QTest::keyClick(line, Qt::Key_Return);
}

void Select(ui::DataGrid& grid, int row, int column) { grid.setCurrentIndex(grid.model()->index(row, column)); }

}  // namespace

class FindFilterSortTest : public QObject {
  Q_OBJECT
  Sources sources_{"View"};

  // id, name, note, n, flag: NULLs, wildcards, a quote, non-ASCII, case;
  // rows 3 to 5 stored in the reverse of the key's order.
  QString Fresh(Driver driver) {
    const QString source = sources_.Fresh(driver);
    if (source.isEmpty()) return source;
    support::DirectSql sql(source);
    sql.Exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(40), note VARCHAR(40), n INTEGER, flag BOOLEAN)");
    sql.ExecScript(
        "INSERT INTO t VALUES (1, 'Apple', NULL, 30, TRUE);\n"
        "INSERT INTO t VALUES (2, '50% off', 'x', NULL, FALSE);\n"
        "INSERT INTO t VALUES (5, 'apple pie', 'cr\xC3\xA8me', 10, FALSE);\n"
        "INSERT INTO t VALUES (4, 'it''s', 'Cr\xC3\xA8me', 20, FALSE);\n"
        "INSERT INTO t VALUES (3, 'a_b', 'y', 10, FALSE);\n"
        "INSERT INTO t VALUES (6, NULL, 'z', NULL, FALSE)");
    return source;
  }

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  // What each find and filter shows, and the order of a heading's clicks
  // with NULLs where the database puts them and ties in the row's order.
  void findFilterAndSortShowWhatTheDatabaseFinds_data() { AddAllDrivers(); }
  void findFilterAndSortShowWhatTheDatabaseFinds() {
    QFETCH(Driver, driver);
    const QString source = Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    OpenedGrid opened = OpenInGrid(source, "t");
    ui::DataGrid& grid = *opened.grid;

    const struct {
      QString text;
      int column;
      QStringList ids;
    } finds[] = {
        {"APPLE", -1, {"1", "5"}}, {"%", -1, {"2"}},         {"_", -1, {"3"}},
        {"'", -1, {"4"}},          {"r\u00e8me", 2, {"4", "5"}}, {"r\u00e8me", 1, {}},
        {"1", 3, {"3", "5"}},      {"3", -1, {"1", "3"}},
    };
    for (const auto& find : finds) {
      Find(grid, find.text, find.column);
      QCOMPARE(Ids(grid), find.ids);
      // The bar counts the rows found; each shows where it holds the text.
      const qsizetype found = find.ids.size();
      QTRY_COMPARE(grid.findBar()->matchCount(), found == 0   ? QString("no rows")
                                                 : found == 1 ? QString("1 row")
                                                              : QString("%1 rows").arg(found));
      for (int row = 0; row < found; ++row) {
        int marked = 0;
        for (int column = 0; column < grid.model()->columnCount(); ++column)
          marked += grid.model()->index(row, column).data(Qt::BackgroundRole).isValid();
        QVERIFY2(marked > 0, qPrintable(find.text));
      }
    }
    QTest::keyClick(grid.findBar()->findChild<QLineEdit*>(), Qt::Key_Escape);
    QVERIFY(!grid.findBar()->isVisible());
    QCOMPARE(Ids(grid), QStringList({"1", "2", "3", "4", "5", "6"}));
    QVERIFY(!grid.model()->index(0, 1).data(Qt::BackgroundRole).isValid());
    QCOMPARE(grid.findBar()->matchCount(), QString());

    // Filters combine; each can be cleared on its own.
    Select(grid, 5, 1);
    grid.filterByCurrentValue(false);  // name is not NULL
    QCOMPARE(Ids(grid), QStringList({"1", "2", "3", "4", "5"}));
    QVERIFY(grid.findBar()->isVisible());
    Select(grid, 2, 3);
    grid.filterByCurrentValue(true);  // n = 10
    QCOMPARE(Ids(grid), QStringList({"3", "5"}));
    Select(grid, 1, 2);
    grid.filterByCurrentValue(false);  // note <> 'crème'
    QCOMPARE(Ids(grid), QStringList({"3"}));
    grid.findBar()->filterCleared(0);
    QCOMPARE(Ids(grid), QStringList({"3"}));
    grid.findBar()->filterCleared(0);
    QCOMPARE(Ids(grid), QStringList({"1", "2", "3", "4", "6"}));
    grid.findBar()->filterCleared(0);
    QCOMPARE(Ids(grid), QStringList({"1", "2", "3", "4", "5", "6"}));
    Select(grid, 0, 4);
    grid.filterByCurrentValue(true);  // a boolean as the driver reads it
    QCOMPARE(Ids(grid), QStringList({"1"}));
    grid.findBar()->filterCleared(0);

    const bool nullsFirst = driver != Driver::Postgres;
    grid.sortByColumn(3);
    QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), 3);
    QCOMPARE(Ids(grid), nullsFirst ? QStringList({"2", "6", "3", "5", "4", "1"})
                                   : QStringList({"3", "5", "4", "1", "2", "6"}));
    grid.sortByColumn(3);
    QCOMPARE(grid.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(Ids(grid), nullsFirst ? QStringList({"1", "4", "5", "3", "6", "2"})
                                   : QStringList({"6", "2", "1", "4", "5", "3"}));
    QVERIFY(grid.model()->headerData(3, Qt::Horizontal, Qt::ToolTipRole)
                .toString()
                .contains(nullsFirst ? "come first ascending" : "come last ascending"));
    grid.sortByColumn(3);
    QCOMPARE(grid.horizontalHeader()->sortIndicatorSection(), -1);
    QCOMPARE(Ids(grid), QStringList({"1", "2", "3", "4", "5", "6"}));
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
  }

  // Under a filter and a sort an edit changes exactly its row, which stays
  // in view until F5 reads the rows again; F5 and Esc keep the current row
  // and column where the row is still shown.
  void editsRefreshAndEscKeepTheRows_data() { AddAllDrivers(); }
  void editsRefreshAndEscKeepTheRows() {
    QFETCH(Driver, driver);
    const QString source = Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    OpenedGrid opened = OpenInGrid(source, "t");
    ui::DataGrid& grid = *opened.grid;
    Select(grid, 2, 3);
    grid.filterByCurrentValue(true);  // n = 10: rows 3 and 5
    grid.sortByColumn(2);
    grid.sortByColumn(2);  // note descending: 'y', 'crème'
    QCOMPARE(Ids(grid), QStringList({"3", "5"}));
    const std::string all = "SELECT id, name, note, n FROM t ORDER BY id";
    const Rows before = sql.Query(all);
    QVERIFY2(Commit(grid, 0, 3, "99"), qPrintable(LastMessage(*opened.failed)));
    // No longer n = 10, still shown, marked.
    QCOMPARE(Ids(grid), QStringList({"3", "5"}));
    QCOMPARE(Shown(grid, 0, 3), QString("99"));
    const auto marked = [&](int row) {
      return grid.model()->headerData(row, Qt::Vertical, Qt::ToolTipRole).toString().contains("no longer shows it") &&
             grid.model()->index(row, 1).data(Qt::BackgroundRole).isValid();
    };
    QVERIFY(marked(0));
    QVERIFY(!marked(1));
    const Rows after = sql.Query(all);
    QCOMPARE(after.size(), before.size());
    for (std::size_t row = 0; row < after.size(); ++row)
      QCOMPARE(after[row] == before[row], row != 2);
    QCOMPARE(after[2][3], Cell("99"));

    Select(grid, 1, 2);
    QTest::keyClick(&grid, Qt::Key_F5);
    QCOMPARE(Ids(grid), QStringList({"5"}));
    QCOMPARE(grid.currentIndex().row(), 0);
    QCOMPARE(grid.currentIndex().column(), 2);

    grid.sortByColumn(2);  // the table's own order again
    Find(grid, "pie");
    QCOMPARE(Ids(grid), QStringList({"5"}));
    Select(grid, 0, 1);
    QTest::keyClick(grid.findBar()->findChild<QLineEdit*>(), Qt::Key_Escape);
    // PostgreSQL's own order is the rows' places, which the edit changed.
    QStringList ids = Ids(grid);
    ids.sort();
    QCOMPARE(ids, QStringList({"1", "2", "3", "4", "5", "6"}));
    QCOMPARE(Shown(grid, grid.currentIndex().row(), 0), QString("5"));
    QCOMPARE(grid.currentIndex().column(), 1);
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
  }

  // A SQLite read paused for a write goes on in rowid order; under a sort
  // every row must still come once, in the sorted order. The rowid is a
  // hidden column here, and the names are those a sorted read goes by.
  // The line beside the scroll bar says which row is current of how many
  // and marks a change saved; a pasted block is selected after the paste.
  void theGridTellsTheRowCountTheSavedRowsAndSelectsWhatWasPasted() {
    const QString source = Fresh(Driver::Sqlite);
    OpenedGrid opened = OpenInGrid(source, "t");
    ui::DataGrid& grid = *opened.grid;
    grid.setCurrentIndex(grid.model()->index(4, 2));
    QTRY_COMPARE(grid.rowPlace()->text(), QString("Row 5 of 6"));
    QVERIFY(Commit(grid, 4, 2, "changed"));
    QCOMPARE(grid.savedRows(), std::make_pair(4, 4));
    QCOMPARE(grid.rowPlace()->text(), QString("Row 5 of 6 \u00b7 saved"));
    // The row's number is washed green, the others not.
    const QImage numbers = grid.verticalHeader()->viewport()->grab().toImage();
    const auto greenish = [&](int row) {
      const QColor shade = numbers.pixelColor(numbers.width() * 3 / 4, grid.rowViewportPosition(row) + 3);
      return shade.green() > shade.red() + 20;
    };
    QVERIFY(greenish(4) && !greenish(3));
    QApplication::clipboard()->setText("x\ny\nz");
    grid.setCurrentIndex(grid.model()->index(1, 2));
    grid.paste();
    QCOMPARE(support::DirectSql(source).Scalar("SELECT group_concat(note, '') FROM t WHERE id BETWEEN 2 AND 4"),
             Cell("xyz"));
    QCOMPARE(grid.savedRows(), std::make_pair(1, 3));
    QModelIndexList pasted = grid.selectionModel()->selectedIndexes();
    std::sort(pasted.begin(), pasted.end());
    QCOMPARE(pasted, (QModelIndexList{grid.model()->index(1, 2), grid.model()->index(2, 2), grid.model()->index(3, 2)}));
    // The mark goes after a moment; the place stays.
    QTRY_COMPARE_WITH_TIMEOUT(grid.savedRows(), std::make_pair(-1, -1), 5000);
    QCOMPARE(grid.rowPlace()->text(), QString("Row 2 of 6"));
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
  }

  // A heading's tool tip gives the column's type, key, NOT NULL and default
  // as the database's catalogue has them (SQLite's driver gives a text
  // default without its quotes).
  void headingsTellTypeKeyNotNullAndDefault_data() { AddAllDrivers(); }
  void headingsTellTypeKeyNotNullAndDefault() {
    QFETCH(Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql(source).Exec(
        "CREATE TABLE shelf (id INTEGER PRIMARY KEY, label VARCHAR(20) NOT NULL DEFAULT 'new', qty INTEGER DEFAULT 7)");
    OpenedGrid opened = OpenInGrid(source, "shelf");
    const struct {
      int column;
      QStringList told, notTold;
    } headings[] = {
        {0, {"Type: ", "primary key", "Click to sort"}, {"Default"}},
        {1, {"Type: ", "NOT NULL", "Default: ", "new"}, {"primary key"}},
        {2, {"Type: ", "Default: 7"}, {"primary key", "NOT NULL"}},
    };
    for (const auto& heading : headings) {
      const QString tip = opened.grid->model()->headerData(heading.column, Qt::Horizontal, Qt::ToolTipRole).toString();
      for (const QString& part : heading.told) QVERIFY2(tip.contains(part), qPrintable(tip));
      for (const QString& part : heading.notTold) QVERIFY2(!tip.contains(part), qPrintable(tip));
    }
  }

  void aPausedSqliteReadKeepsTheSortedOrder() {
    const QString source = sources_.Fresh(Driver::Sqlite);
    support::DirectSql sql(source);
    sql.Exec("CREATE TABLE \"sorted rows\" (\"sorted rowid\" INT, v TEXT)");
    sql.Exec("INSERT INTO \"sorted rows\" WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c "
             "WHERE i < 2000) SELECT 2001 - i, 'v' || i FROM c ORDER BY random()");
    OpenedGrid opened = OpenInGrid(source, "sorted rows");
    ui::DataGrid& grid = *opened.grid;
    grid.sortByColumn(0);
    grid.sortByColumn(0);
    QVERIFY(grid.model()->rowCount() < 2000);
    QVERIFY2(Commit(grid, 0, 1, "edited"), qPrintable(LastMessage(*opened.failed)));
    const QStringList ids = Ids(grid);
    QCOMPARE(ids.size(), 2000);
    for (int row = 0; row < ids.size(); ++row) QCOMPARE(ids[row], QString::number(2000 - row));
    QCOMPARE(sql.Scalar("SELECT \"sorted rowid\" FROM \"sorted rows\" WHERE v = 'edited'"), Cell("2000"));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM \"sorted rows\" WHERE v <> 'edited'"), Cell("1999"));
  }
};

QTEST_MAIN(FindFilterSortTest)
#include "tst_find_filter_sort.moc"
