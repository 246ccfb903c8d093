// The editor's grid over a real SQLite table: lazy rows, in-place edits that
// reach the database, NULL, copying, read-only cells, and edits still open
// when the editor goes away.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <utility>

#include "frame/Appearance.h"
#include "pages/Form3.h"
#include "pages/Wizard.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/PageWindow.h"
#include "platform/ui/RecordsetModel.h"
#include "support/DirectSql.h"
#include "support/GridEditing.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestDataSources.h"

using Cell = std::optional<std::string>;
using support::OpenTable;

namespace {

constexpr int BigRows = 1000;

// Types into a freshly opened editor of the cell and ends the edit with `key`.
void EditCell(ui::DataGrid& grid, int row, int column, const QString& text, Qt::Key key = Qt::Key_Return) {
  const QModelIndex index = grid.model()->index(row, column);
  grid.setCurrentIndex(index);
  QTest::keyClick(&grid, Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(index));
  QVERIFY(editor);
  editor->selectAll();
  editor->insert(text);
  QTest::keyClick(editor, key);
  // The delegate commits and closes the editor from the event loop.
  QTRY_VERIFY(!grid.indexWidget(index));
}

}  // namespace

class DataGridTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  int sourceNumber_ = 0;
  QString source_;
  std::unique_ptr<support::DirectSql> sql_;
  std::unique_ptr<support::MessageBoxRecorder> boxes_;

  Cell Stored(const std::string& query) { return sql_->Scalar(query); }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    support::UsePrivateDataSources();
    ui::SetProgramEnder([] {});
    frame::SetProgramFolder(folder_.filePath("program").toStdString());
  }

  void init() {
    // A fresh database for every case: data source definitions are read once
    // per process, so each case gets a name of its own.
    source_ = QString("Grid%1").arg(++sourceNumber_);
    support::AddSqliteDataSource(source_, folder_.filePath(source_ + ".sqlite"));
    sql_ = std::make_unique<support::DirectSql>(source_);
    sql_->ExecScript(
        "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT NOT NULL, note TEXT, qty INTEGER, "
        "price REAL, blob BLOB);\n"
        "INSERT INTO items VALUES (1, 'pen', 'blue', 3, 1.25, x'00FF10');\n"
        "INSERT INTO items VALUES (2, 'ink', NULL, NULL, 0.1, NULL);\n"
        "INSERT INTO items VALUES (3, 'pad', '', 7, NULL, NULL);\n"
        "CREATE TABLE big (n INTEGER PRIMARY KEY, word TEXT);\n"
        "CREATE TABLE nothing_here (n INTEGER PRIMARY KEY, word TEXT)");
    sql_->Exec("INSERT INTO big WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
               std::to_string(BigRows) + ") SELECT n, 'w' || n FROM c");
    boxes_ = std::make_unique<support::MessageBoxRecorder>();
  }

  void cleanup() {
    boxes_.reset();
    sql_.reset();
  }

  void modelKeepsItsContractWhileFetchingLazily() {
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "big"));
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    tester.setUseFetchMore(true);
    // Every row has its place once the first screen is shown; only the
    // first are read.
    QTRY_COMPARE(grid.model()->rowCount(), BigRows);
    const std::size_t firstRows = grid.dataSource()->heldRows();
    QVERIFY2(firstRows > 0 && firstRows < BigRows, qPrintable(QString::number(firstRows)));
    QCOMPARE(grid.model()->columnCount(), 2);
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QString("word"));
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(0, 0));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(grid.model()->rowCount(), BigRows);
    QCOMPARE(grid.currentIndex().row(), BigRows - 1);
    // Read where it is shown, after the event loop's turn.
    QTRY_COMPARE(grid.model()->index(BigRows - 1, 1).data().toString(), QString("w%1").arg(BigRows));
  }

  // Columns open as wide as their values on screen need, a long text
  // capped at a third of the grid; rows read but not shown leave them as
  // they are, rows scrolled into view widen them up to the cap. A grid
  // grown fits them again, but for those the user sized.
  void columnsFitTheValuesOnScreenAndAgainWhenTheGridGrows() {
    sql_->ExecScript("CREATE TABLE widths (n INTEGER, word TEXT, story TEXT);\n"
                     "INSERT INTO widths WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 2000) "
                     "SELECT n, CASE WHEN n <= 300 THEN 'a' ELSE 'a word much longer than those on screen' END, "
                     "CASE WHEN n = 1 THEN printf('%.400c', 'x') ELSE 'x' END FROM c");
    ui::DataGrid grid;
    grid.resize(900, 300);
    grid.setDataSource(OpenTable(source_, "widths"));
    QCOMPARE(grid.columnWidth(2), grid.horizontalHeader()->defaultSectionSize());  // not before it is shown
    grid.show();
    QCoreApplication::processEvents();
    const int word = grid.columnWidth(1);
    QCOMPARE(grid.columnWidth(2), grid.viewport()->width() / 3);
    QVERIFY2(word >= 40 && word < grid.columnWidth(2) / 2, qPrintable(QString::number(word)));
    grid.recordsetModel()->fetchAll();
    QCoreApplication::processEvents();
    QCOMPARE(grid.model()->rowCount(), 2000);
    QCOMPARE(grid.columnWidth(1), word);
    grid.scrollToBottom();
    QTRY_VERIFY(grid.dataSource()->rowHeld(1999));  // read once shown
    QTRY_VERIFY2(grid.columnWidth(1) > word, qPrintable(QString::number(grid.columnWidth(1))));
    // A double-click on the heading's edge fits it to the values on screen,
    // as the user's width.
    emit grid.horizontalHeader()->sectionHandleDoubleClicked(1);
    const int sized = grid.columnWidth(1);
    // Maximized: the long text gets a third of the wider grid, up to 60
    // characters; the column the user sized keeps its width.
    const int story = grid.columnWidth(2);
    grid.scrollToTop();
    grid.resize(1800, 600);
    QTRY_VERIFY(grid.columnWidth(2) > story);
    QCOMPARE(grid.columnWidth(2),
             std::min(grid.viewport()->width() / 3, 60 * grid.fontMetrics().averageCharWidth()));
    QCOMPARE(grid.columnWidth(1), sized);
  }

  // Numbers, dates and keys show whole, also where the rows read later (the
  // end of the table) need more than the first screen; long text does not.
  void numbersDatesAndKeysAreNeverCut_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("whole");
    QTest::newRow("text key") << 0 << true;
    QTest::newRow("integer") << 1 << true;
    QTest::newRow("decimal") << 2 << true;
    QTest::newRow("timestamp") << 3 << true;
    QTest::newRow("long text") << 4 << false;
  }
  void numbersDatesAndKeysAreNeverCut() {
    QFETCH(int, column);
    QFETCH(bool, whole);
    sql_->ExecScript(
        "CREATE TABLE ledger (code TEXT PRIMARY KEY, n INTEGER, amount NUMERIC(14,2), at TIMESTAMP, note TEXT);\n"
        "INSERT INTO ledger WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 500) "
        "SELECT 'k' || n, n, 1.5, '2024-01-02', 'short' FROM c;\n"
        "INSERT INTO ledger VALUES (printf('%.90c', 'k'), 1234567890123, -987654321.25, '2024-12-31 23:59:59.123456', "
        "printf('%.300c', 'n'))");
    ui::DataGrid grid;
    grid.resize(500, 300);
    grid.setDataSource(OpenTable(source_, "ledger"));
    grid.show();
    QCoreApplication::processEvents();
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(0, 0));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    const QModelIndex last = grid.model()->index(500, column);
    QTRY_COMPARE(last.data().toString().size() > 5, true);
    grid.scrollTo(last);  // columns are measured where they are in view
    const int needed = grid.sizeHintForIndex(last).width();
    if (whole)
      QTRY_VERIFY2(grid.columnWidth(column) >= needed,
                   qPrintable(QString("%1 < %2").arg(grid.columnWidth(column)).arg(needed)));
    else
      QVERIFY(grid.columnWidth(column) < needed);
  }

  // A line break inside a value shows as a mark; a value the cell cannot
  // show whole comes in full, or cut with its size, in a tool tip.
  void longValuesAreReadable() {
    sql_->ExecScript("CREATE TABLE notes (n INTEGER, body TEXT);\n"
                     "INSERT INTO notes VALUES (1, 'short'), (2, 'first line' || char(10) || 'second'), "
                     "(3, printf('%.5000c', 'y'))");
    ui::DataGrid grid;
    grid.resize(600, 300);
    grid.setDataSource(OpenTable(source_, "notes"));
    grid.show();
    QCoreApplication::processEvents();
    const QModelIndex twoLines = grid.model()->index(1, 1);
    QCOMPARE(twoLines.data().toString(), QString("first line\nsecond"));  // the value itself, as stored
    auto* delegate = qobject_cast<QStyledItemDelegate*>(grid.itemDelegate());
    QCOMPARE(delegate->displayText(twoLines.data(), QLocale()), QString("first line\u21b5second"));
    const auto tip = [&](int row) {
      QToolTip::hideText();
      const QPoint at = grid.visualRect(grid.model()->index(row, 1)).center();
      QHelpEvent help(QEvent::ToolTip, at, grid.viewport()->mapToGlobal(at));
      QCoreApplication::sendEvent(grid.viewport(), &help);
      // Shown as plain text, its spaces kept (as no-break spaces).
      return QToolTip::isVisible() ? QToolTip::text().replace(QChar::Nbsp, QLatin1Char(' ')) : QString();
    };
    QCOMPARE(tip(0), QString());
    const QString two = tip(1);
    QVERIFY2(two.contains("first line") && two.contains("second"), qPrintable(two));
    const QString cut = tip(2);
    QVERIFY2(cut.contains(QString(3000, 'y') + "... (5.0 KB)") && !cut.contains(QString(3001, 'y')),
             qPrintable(cut.right(80)));
  }

  void aZeroRowTableShowsItsColumns() {
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "nothing_here"));
    QCOMPARE(grid.model()->rowCount(), 0);
    QCOMPARE(grid.model()->columnCount(), 2);
    QVERIFY(!grid.model()->canFetchMore({}));
  }

  void nullIsShownApartFromTheEmptyText() {
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "items"));
    QAbstractItemModel* model = grid.model();
    QCOMPARE(model->index(1, 2).data().toString(), QString("NULL"));
    QVERIFY(model->index(1, 2).data(ui::RecordsetModel::NullRole).toBool());
    QVERIFY(model->index(1, 2).data(Qt::ForegroundRole).isValid());
    QCOMPARE(model->index(2, 2).data().toString(), QString(""));
    QVERIFY(!model->index(2, 2).data(ui::RecordsetModel::NullRole).toBool());
    QCOMPARE(model->index(0, 5).data().toString(), QString("0x00FF10"));
    // Numbers line up on the right, texts stay on the left.
    for (const auto& [column, right] : {std::pair{3, true}, {4, true}, {1, false}, {5, false}})
      QCOMPARE(model->index(1, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>().testFlag(Qt::AlignRight),
               right);
  }

  void committedEditsReachTheDatabaseAndEscapeCancels() {
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "items"));
    grid.show();
    EditCell(grid, 0, 2, "red ünïcode");
    QCOMPARE(Stored("SELECT note FROM items WHERE id = 1"), Cell("red ünïcode"));
    QCOMPARE(grid.model()->index(0, 2).data().toString(), QString("red ünïcode"));
    EditCell(grid, 1, 1, "never saved", Qt::Key_Escape);
    QCOMPARE(Stored("SELECT name FROM items WHERE id = 2"), Cell("ink"));
    // Floating point: the second edit of the same cell is no conflict.
    EditCell(grid, 1, 4, "0.3");
    EditCell(grid, 1, 4, "0.7");
    QCOMPARE(Stored("SELECT price FROM items WHERE id = 2"), Cell("0.7"));
    QVERIFY2(boxes_->boxes().empty(), boxes_->boxes().empty() ? "" : boxes_->boxes()[0].text.c_str());
    // Only the edited rows changed.
    QCOMPARE(Stored("SELECT name || '/' || note || '/' || qty FROM items WHERE id = 3"), Cell("pad//7"));
  }

  void emptyEditsAndNullFollowTheColumnType() {
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "items"));
    grid.show();
    EditCell(grid, 0, 2, "");  // a text column keeps the empty text
    QCOMPARE(Stored("SELECT typeof(note) || ':' || note FROM items WHERE id = 1"), Cell("text:"));
    EditCell(grid, 0, 3, "");  // any other column gets no value
    QCOMPARE(Stored("SELECT typeof(qty) FROM items WHERE id = 1"), Cell("null"));
    EditCell(grid, 1, 3, "42");  // NULL to a value
    QCOMPARE(Stored("SELECT qty FROM items WHERE id = 2"), Cell("42"));
    grid.setCurrentIndex(grid.model()->index(2, 2));
    QTest::keyClick(&grid, Qt::Key_0, Qt::ControlModifier);  // value to NULL
    QCOMPARE(Stored("SELECT typeof(note) FROM items WHERE id = 3"), Cell("null"));
    QCOMPARE(grid.model()->index(2, 2).data().toString(), QString("NULL"));
    QVERIFY(boxes_->boxes().empty());
  }

  void refusedEditsSayWhy() {
    ui::DataGrid grid;
    QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
    grid.setDataSource(OpenTable(source_, "items"));
    grid.show();
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setCurrentIndex(grid.model()->index(0, 1));
    grid.setCurrentCellToNull();  // NOT NULL: refused before or by the database
    QCOMPARE(refused.count() + failed.count(), 1);
    const QString message = (refused.isEmpty() ? failed : refused).at(0).at(0).toString();
    QVERIFY2(message.contains("name"), qPrintable(message));
    QCOMPARE(Stored("SELECT name FROM items WHERE id = 1"), Cell("pen"));
    QCOMPARE(grid.model()->index(0, 1).data().toString(), QString("pen"));
    refused.clear();
    grid.setCurrentIndex(grid.model()->index(0, 5));
    QTest::keyClick(&grid, Qt::Key_F2);  // binary data is read-only
    QCOMPARE(refused.count(), 1);
    QVERIFY(!refused.at(0).at(0).toString().isEmpty());
    QVERIFY(!grid.indexWidget(grid.model()->index(0, 5)));
  }

  // Showing rows asks the data source nothing about keys or column facts;
  // an edit that cannot be written is still refused before an editor opens.
  void whatShowingDoesNotAskIsSettledWhenAnEditStarts() {
    sql_->ExecScript(
        "CREATE TABLE readings (x REAL);\n"
        "INSERT INTO readings VALUES (0.5);\n"
        "CREATE VIEW reading_view AS SELECT x FROM readings;\n"
        "CREATE TABLE counted (id INTEGER PRIMARY KEY AUTOINCREMENT, word TEXT);\n"
        "INSERT INTO counted (word) VALUES ('one')");
    struct Case {
      const char* table;
      int column;
      QString because;
    };
    const Case cases[] = {{"reading_view", 0, "cannot be found again"}, {"counted", 0, "numbered by the database"}};
    for (const Case& edit : cases) {
      ui::DataGrid grid;
      QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
      grid.setDataSource(OpenTable(source_, edit.table));
      grid.resize(400, 200);
      grid.show();
      grid.grab();  // a paint asks every visible cell for its flags
      const QModelIndex cell = grid.model()->index(0, edit.column);
      grid.setCurrentIndex(cell);
      QTest::keyClick(&grid, Qt::Key_F2);
      QCOMPARE(refused.count(), 1);
      QVERIFY2(refused.at(0).at(0).toString().contains(edit.because), qPrintable(refused.at(0).at(0).toString()));
      QVERIFY(!grid.indexWidget(cell));
      QVERIFY(!(grid.model()->flags(cell) & Qt::ItemIsEditable));
      QTest::keyClick(&grid, Qt::Key_7);  // typing over the cell is refused the same way
      QCOMPARE(refused.count(), 2);
      QVERIFY(!grid.indexWidget(cell));
    }
    QCOMPARE(Stored("SELECT x FROM readings"), Cell("0.5"));
  }

  void aRowChangedMeanwhileIsNotOverwritten() {
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source_, "items"));
    grid.show();
    sql_->Exec("UPDATE items SET note = 'theirs' WHERE id = 1");
    EditCell(grid, 0, 2, "mine");
    QCOMPARE(failed.count(), 1);
    const QString message = failed.at(0).at(0).toString();
    QVERIFY2(message.contains("note") && message.contains("mine"), qPrintable(message));
    QCOMPARE(Stored("SELECT note FROM items WHERE id = 1"), Cell("theirs"));
    QCOMPARE(grid.model()->index(0, 2).data().toString(), QString("theirs"));
  }

  // Cells go whole, binary values as "0x..." whatever their size: also
  // those the cell shows by their beginning, and those held cut.
  void copyGivesTabSeparatedCells_data() {
    QTest::addColumn<int>("bytes");
    for (int bytes : {3, 256, 257, 300, 300 * 1000}) QTest::addRow("%d bytes", bytes) << bytes;
  }
  void copyGivesTabSeparatedCells() {
    QFETCH(int, bytes);
    sql_->Exec("UPDATE items SET blob = randomblob(" + std::to_string(bytes) + ") WHERE id = 1");
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "items"));
    grid.show();
    grid.selectionModel()->select(
        QItemSelection(grid.model()->index(0, 1), grid.model()->index(1, 2)),
        QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("pen\tblue\nink\tNULL\n"));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("name\tnote\npen\tblue\nink\tNULL\n"));
    grid.selectionModel()->select(grid.model()->index(0, 5), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied.size(), 2 + 2 * bytes + 1);
    QCOMPARE(copied, "0x" + QString::fromStdString(*Stored("SELECT hex(blob) FROM items WHERE id = 1")) + "\n");
  }

  // Home and End stay in the row, with Ctrl they go to the table's first and
  // last cell (reading the last rows, not those between), also where the
  // table is shown a page at a time. The selection goes with the current
  // cell, so that what a command acts on is what the user sees: also after
  // Ctrl's jumps, which a view leaves selecting what it did.
  void keysMoveAsInASpreadsheet_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("pageRows");  // 0: the whole table in one page
    QTest::addColumn<int>("row");       // of the table
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("lastRead");
    const Qt::KeyboardModifiers none, control(Qt::ControlModifier);
    QTest::newRow("Home") << int(Qt::Key_Home) << none << 0 << 5 << 0 << false;
    QTest::newRow("End") << int(Qt::Key_End) << none << 0 << 5 << 1 << false;
    QTest::newRow("Ctrl+Home") << int(Qt::Key_Home) << control << 0 << 0 << 0 << false;
    QTest::newRow("Ctrl+End") << int(Qt::Key_End) << control << 0 << BigRows - 1 << 1 << true;
    QTest::newRow("Ctrl+Down") << int(Qt::Key_Down) << control << 0 << 6 << 0 << false;
    QTest::newRow("Ctrl+End, paged") << int(Qt::Key_End) << control << 100 << BigRows - 1 << 1 << true;
    // From the last page, whose rows the page's move lets go.
    QTest::newRow("Ctrl+Home, paged") << int(Qt::Key_Home) << control << 100 << 0 << 0 << false;
  }
  void keysMoveAsInASpreadsheet() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, pageRows);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, lastRead);
    ui::DataGrid grid;
    grid.setPageRows(static_cast<std::size_t>(pageRows));
    grid.setDataSource(OpenTable(source_, "big"));
    grid.show();
    ui::RecordsetModel* model = grid.recordsetModel();
    if (pageRows > 0 && key == Qt::Key_Home) {
      QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
      QVERIFY(model->pageBase() > 0);
    }
    // Cells selected around the current one, which the jump must not leave
    // selected.
    const QModelIndex start = model->index(5, key == Qt::Key_Home ? 1 : 0);
    grid.setCurrentIndex(start);
    grid.selectionModel()->select(QItemSelection(start, model->index(7, 1)), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&grid, Qt::Key(key), modifiers);
    QCOMPARE(model->pageBase() + static_cast<std::size_t>(grid.currentIndex().row()), static_cast<std::size_t>(row));
    QCOMPARE(grid.currentIndex().column(), column);
    QCOMPARE(grid.selectionModel()->selectedIndexes(), QModelIndexList{grid.currentIndex()});
    if (lastRead) QTRY_VERIFY(grid.dataSource()->rowHeld(BigRows - 1));
    QTest::qWait(50);
    QCOMPARE(grid.dataSource()->rowHeld(BigRows - 1), lastRead);
  }

  // Typing on a cell replaces its text, F2 edits after it; Ctrl+A selects
  // every cell read.
  void typingReplacesF2KeepsAndCtrlASelectsAll() {
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source_, "items"));
    grid.show();
    const QModelIndex index = grid.model()->index(0, 1);
    for (const auto& [f2, stored] : {std::pair{false, "Qx"}, std::pair{true, "Qxx"}}) {
      grid.setCurrentIndex(index);
      if (f2)
        QTest::keyClick(&grid, Qt::Key_F2);
      else
        QTest::keyClick(&grid, 'Q');
      auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(index));
      QVERIFY(editor);
      QTest::keyClicks(editor, "x");
      QTest::keyClick(editor, Qt::Key_Return);
      QTRY_VERIFY(!grid.indexWidget(index));
      QCOMPARE(Stored("SELECT name FROM items WHERE id = 1"), Cell(stored));
    }
    QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(grid.selectionModel()->selectedIndexes().size(), grid.model()->rowCount() * grid.model()->columnCount());
  }

  void anEditOpenWhenTheEditorClosesIsSaved() {
    pages::Wizard wizard;
    pages::Form3& editor = wizard.form3();
    editor.Show();
    editor.DataGrid1->setDataSource(OpenTable(source_, "items"));
    const QModelIndex index = editor.DataGrid1->model()->index(2, 1);
    editor.DataGrid1->setCurrentIndex(index);
    editor.DataGrid1->edit(index);
    auto* field = qobject_cast<QLineEdit*>(editor.DataGrid1->indexWidget(index));
    QVERIFY(field);
    field->setText("typed before closing");
    editor.close();
    QCOMPARE(Stored("SELECT name FROM items WHERE id = 3"), Cell("typed before closing"));
  }

  void aRefusedEditOnCloseIsShownToTheUser() {
    pages::Wizard wizard;
    pages::Form3& editor = wizard.form3();
    editor.Show();
    editor.DataGrid1->setDataSource(OpenTable(source_, "items"));
    const QModelIndex index = editor.DataGrid1->model()->index(0, 2);
    editor.DataGrid1->setCurrentIndex(index);
    editor.DataGrid1->edit(index);
    auto* field = qobject_cast<QLineEdit*>(editor.DataGrid1->indexWidget(index));
    QVERIFY(field);
    field->setText("lost?");
    sql_->Exec("DELETE FROM items WHERE id = 1");
    editor.close();
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    QVERIFY(boxes_->boxes()[0].text.find("lost?") != std::string::npos);
    QCOMPARE(boxes_->boxes()[0].icon, ui::MessageIcon::Warning);
  }
};

QTEST_MAIN(DataGridTest)
#include "tst_data_grid.moc"
