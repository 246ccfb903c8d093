// What the grid shows after a write, on every driver: the value the database
// stored (triggers, a value written over with the same), the database's own
// refusal (a value it would alter, with a warning, too), and edits far down
// a table bigger than several fetch blocks, before and after all rows are
// read.
// The editors that fit a value write exactly what the user chose: line
// breaks in their stored style, a boolean in the database's own spelling,
// a date chosen on the calendar with the rest of a timestamp kept.
#include <QCalendarWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "platform/ado/AdoError.h"
#include "platform/ui/DateCellEditor.h"
#include "platform/ui/LongTextEditor.h"
#include "platform/ui/RecordsetModel.h"
#include "platform/ui/ValueEditorDialog.h"
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

// The text as an SQL expression: carriage returns and line feeds by their
// codes.
std::string WithBreakCodes(Driver driver, const std::string& text) {
  const std::string code = driver == Driver::Postgres ? "chr" : "char";
  std::string expression = "'";
  for (char c : text) {
    if (c == '\r' || c == '\n')
      expression += "' || " + code + (c == '\r' ? "(13)" : "(10)") + " || '";
    else
      expression += c;
  }
  return expression + "'";
}

// How a line break is typed: in the cell's editor, or in the larger editor.
enum class Way { ShiftEnter, AltEnter, Window };

// Opens the current cell in the larger editor (Shift+F2).
ui::ValueEditorDialog* EditInWindow(ui::DataGrid& grid, int row, int column) {
  grid.setCurrentIndex(grid.model()->index(row, column));
  QTest::keyClick(&grid, Qt::Key_F2, Qt::ShiftModifier);
  return grid.findChild<ui::ValueEditorDialog*>();
}

// Opens the cell's own editor with F2, which keeps its text.
QLineEdit* EditInCell(ui::DataGrid& grid, int row, int column) {
  const QModelIndex index = grid.model()->index(row, column);
  grid.setCurrentIndex(index);
  QTest::keyClick(&grid, Qt::Key_F2);
  return qobject_cast<QLineEdit*>(grid.indexWidget(index));
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

  // A value the database would store other than as typed, with a warning,
  // is not stored at all, whether typed into a cell or added in a new row:
  // the message gives its column and the warning, and the cell shows what
  // the database holds.
  void aValueTheDatabaseWouldAlterIsNotStored_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("held");
    QTest::newRow("enum outside its list, not strict") << "InitStmt=SET SESSION sql_mode=''" << 1 << "xl" << "m";
    QTest::newRow("enum outside its list, ANSI") << "InitStmt=SET SESSION sql_mode='ANSI'" << 1 << "XL" << "m";
    QTest::newRow("decimal rounded") << "" << 2 << "1.005" << "2.50";
  }
  void aValueTheDatabaseWouldAlterIsNotStored() {
    QFETCH(QString, options);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, held);
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
    QCOMPARE(Shown(*opened.grid, 0, column), held);
    QCOMPARE(sql.Scalar("SELECT " + name.toStdString() + " FROM shirts"), Cell(held.toStdString()));

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

  // "x", a line break, "y" typed after a value with LF or CR LF inside: the
  // break is written in the value's own style and the rest stays byte for
  // byte, typed in the cell (Shift+Enter, Alt+Enter) or in the larger editor.
  void lineBreaksKeepTheirStyle_data() { AddDrivers(); }
  void lineBreaksKeepTheirStyle() {
    QFETCH(bool, postgres);
    const Driver driver = postgres ? Driver::Postgres : Driver::Sqlite;
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    const std::vector<std::pair<std::string, Way>> cases = {
        {"one\ntwo", Way::ShiftEnter}, {"one\r\ntwo", Way::AltEnter}, {"one\r\ntwo", Way::ShiftEnter},
        {"one\ntwo", Way::Window},     {"one\r\ntwo", Way::Window}};
    sql.Exec("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)");
    for (std::size_t at = 0; at < cases.size(); ++at)
      sql.Exec("INSERT INTO notes VALUES (" + std::to_string(at) + ", " + WithBreakCodes(driver, cases[at].first) +
               ")");
    OpenedGrid opened = OpenInGrid(source, "notes");
    ui::DataGrid& grid = *opened.grid;
    for (std::size_t at = 0; at < cases.size(); ++at) {
      const auto& [stored, way] = cases[at];
      const int row = static_cast<int>(at);
      if (way == Way::Window) {
        ui::ValueEditorDialog* dialog = EditInWindow(grid, row, 1);
        QVERIFY(dialog);
        dialog->textEditor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(dialog->textEditor(), "x");
        QTest::keyClick(dialog->textEditor(), Qt::Key_Return);
        QTest::keyClicks(dialog->textEditor(), "y");
        dialog->accept();
        QTRY_VERIFY(!grid.findChild<ui::ValueEditorDialog*>());
      } else {
        QLineEdit* editor = EditInCell(grid, row, 1);
        QVERIFY(editor);
        QTest::keyClicks(editor, "x");
        QTest::keyClick(editor, Qt::Key_Return, way == Way::ShiftEnter ? Qt::ShiftModifier : Qt::AltModifier);
        QTest::keyClicks(editor, "y");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!grid.indexWidget(grid.model()->index(row, 1)));
      }
      const std::string lineBreak = stored.find('\r') == std::string::npos ? "\n" : "\r\n";
      QCOMPARE(sql.Scalar("SELECT body FROM notes WHERE id = " + std::to_string(at)),
               Cell(stored + "x" + lineBreak + "y"));
    }
    QCOMPARE(opened.failed->count(), 0);
  }

  // The larger editor writes on OK only, checked like any edit: a value
  // changed meanwhile by someone else stays theirs. Only text is edited
  // there.
  void theLargerEditorWritesOnOkOnly_data() { AddDrivers(); }
  void theLargerEditorWritesOnOkOnly() {
    QFETCH(bool, postgres);
    const QString source = sources_.Fresh(postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT, n INTEGER);\n"
                   "INSERT INTO notes VALUES (1, 'a', 1);\nINSERT INTO notes VALUES (2, 'b', 2)");
    OpenedGrid opened = OpenInGrid(source, "notes");
    ui::DataGrid& grid = *opened.grid;
    QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
    const Rows before = Snapshot(sql, postgres, "notes");
    ui::ValueEditorDialog* dialog = EditInWindow(grid, 0, 1);
    QVERIFY(dialog);
    QCOMPARE(dialog->textEditor()->toPlainText(), QString("a"));
    dialog->textEditor()->setPlainText("cancelled");
    dialog->reject();
    QTRY_VERIFY(!grid.findChild<ui::ValueEditorDialog*>());
    QCOMPARE(Snapshot(sql, postgres, "notes"), before);

    dialog = EditInWindow(grid, 0, 1);
    QVERIFY(dialog);
    dialog->textEditor()->setPlainText("mine");
    sql.Exec("UPDATE notes SET body = 'theirs' WHERE id = 1");
    dialog->accept();
    QTRY_VERIFY(!grid.findChild<ui::ValueEditorDialog*>());
    QCOMPARE(opened.failed->count(), 1);
    QVERIFY2(LastMessage(*opened.failed).contains("mine"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Query("SELECT body FROM notes ORDER BY id"), (Rows{{Cell("theirs")}, {Cell("b")}}));
    QCOMPARE(Shown(grid, 0, 1), QString("theirs"));

    QVERIFY(!EditInWindow(grid, 0, 2));
    QCOMPARE(refused.count(), 1);
  }

  // Space cycles a boolean through false, true and, where the column
  // accepts it, NULL; what is written is the database's own spelling.
  void spaceCyclesABoolean_data() {
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("cycle");  // as stored after each Space
    QTest::newRow("sqlite numbers") << Driver::Sqlite << "BOOLEAN" << "0" << QStringList{"1", "NULL", "0"};
    QTest::newRow("sqlite letters") << Driver::Sqlite << "BOOLEAN" << "'f'" << QStringList{"'t'", "NULL", "'f'"};
    QTest::newRow("sqlite not null") << Driver::Sqlite << "BOOLEAN NOT NULL" << "1" << QStringList{"0", "1", "0"};
    QTest::newRow("postgres") << Driver::Postgres << "boolean" << "false" << QStringList{"true", "NULL", "false"};
    QTest::newRow("postgres not null") << Driver::Postgres << "boolean NOT NULL" << "true"
                                       << QStringList{"false", "true", "false"};
  }
  void spaceCyclesABoolean() {
    QFETCH(Driver, driver);
    QFETCH(QString, type);
    QFETCH(QString, first);
    QFETCH(QStringList, cycle);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript("CREATE TABLE flags (id INTEGER PRIMARY KEY, b " + type.toStdString() + ");\n" +
                   "INSERT INTO flags VALUES (1, " + first.toStdString() + ");\nINSERT INTO flags VALUES (2, " +
                   first.toStdString() + ")");
    const std::string stored = driver == Driver::Sqlite ? "quote(b)" : "coalesce(b::text, 'NULL')";
    OpenedGrid opened = OpenInGrid(source, "flags");
    ui::DataGrid& grid = *opened.grid;
    const QModelIndex cell = grid.model()->index(0, 1);
    grid.setCurrentIndex(cell);
    for (const QString& expected : cycle) {
      QTest::keyClick(&grid, Qt::Key_Space);
      QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
      QCOMPARE(sql.Scalar("SELECT " + stored + " FROM flags WHERE id = 1"), Cell(expected.toStdString()));
      const auto state = expected == "NULL"                              ? Qt::PartiallyChecked
                          : QStringList{"1", "'t'", "true"}.contains(expected) ? Qt::Checked
                                                                            : Qt::Unchecked;
      QCOMPARE(cell.data(Qt::CheckStateRole).toInt(), static_cast<int>(state));
    }
    QVERIFY(!grid.indexWidget(cell));
    QCOMPARE(sql.Scalar("SELECT " + stored + " FROM flags WHERE id = 2"), Cell(first.toStdString()));
    QCOMPARE(opened.failed->count(), 0);
  }

  // A date chosen on the date editor's calendar replaces the date alone:
  // fractions of a second and the offset stay exactly as they were.
  void theCalendarReplacesOnlyTheDate_data() {
    QTest::addColumn<Driver>("driver");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("sqlite timestamp") << Driver::Sqlite << "TIMESTAMP" << "2024-03-01 12:34:56.123456+05:30"
                                      << "2024-02-29 12:34:56.123456+05:30";
    QTest::newRow("sqlite date") << Driver::Sqlite << "DATE" << "2024-03-01" << "2024-02-29";
    QTest::newRow("postgres timestamp") << Driver::Postgres << "timestamp(6)" << "2024-03-01 12:34:56.123456"
                                        << "2024-02-29 12:34:56.123456";
    QTest::newRow("postgres timestamptz") << Driver::Postgres << "timestamptz" << "2024-03-01 12:34:56.123456+05:30"
                                          << "2024-02-29 12:34:56.123456+05:30";
    QTest::newRow("postgres date") << Driver::Postgres << "date" << "2024-03-01" << "2024-02-29";
  }
  void theCalendarReplacesOnlyTheDate() {
    QFETCH(Driver, driver);
    QFETCH(QString, type);
    QFETCH(QString, stored);
    QFETCH(QString, chosen);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    if (driver == Driver::Postgres)  // the server shows an instant in this zone
      sql.Exec("ALTER DATABASE \"" + sources_.database().toStdString() + "\" SET timezone TO 'Asia/Kolkata'");
    sql.ExecScript("CREATE TABLE days (id INTEGER PRIMARY KEY, at " + type.toStdString() + ");\n" +
                   "INSERT INTO days VALUES (1, '" + stored.toStdString() + "')");
    OpenedGrid opened = OpenInGrid(source, "days");
    ui::DataGrid& grid = *opened.grid;
    QCOMPARE(Shown(grid, 0, 1), stored);
    auto* editor = qobject_cast<ui::DateCellEditor*>(EditInCell(grid, 0, 1));
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_F4);
    QTRY_VERIFY(editor->calendar()->isVisible());
    QCOMPARE(editor->calendar()->selectedDate(), QDate(2024, 3, 1));
    QTest::keyClick(editor->calendar()->focusWidget(), Qt::Key_Left);
    QTest::keyClick(editor->calendar()->focusWidget(), Qt::Key_Return);
    QVERIFY(!editor->calendar()->isVisible());
    QCOMPARE(editor->text(), chosen);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!grid.indexWidget(grid.model()->index(0, 1)));
    const std::string asText = driver == Driver::Postgres ? "at::text" : "at";
    // A session of its own, in the database's zone.
    QCOMPARE(support::DirectSql(source).Scalar("SELECT " + asText + " FROM days"), Cell(chosen.toStdString()));
    QCOMPARE(Shown(grid, 0, 1), chosen);
    QCOMPARE(opened.failed->count(), 0);
  }

  void editsFarDownWithoutReadingTheRowsBetween_data() { AddAllDriversAndPool(); }
  void editsFarDownWithoutReadingTheRowsBetween() {
    QFETCH(Driver, driver);
    const QString source = freshSource(driver);
    QUORVANE_SKIP_WITHOUT(source);
    ui::DataGrid grid;
    grid.setDataSource(OpenTable(source, "counted"));
    grid.show();
    auto* model = qobject_cast<ui::RecordsetModel*>(grid.model());
    QVERIFY(model);
    model->fetchAll();
    QCOMPARE(model->rowCount(), TableRows);
    QVERIFY(!grid.dataSource()->rowHeld(650));
    QVERIFY(Commit(grid, 650, 1, "six fifty-one"));
    QVERIFY(Commit(grid, TableRows - 2, 1, "next to last"));
    support::DirectSql check(source);
    QCOMPARE(check.Scalar("SELECT word FROM counted WHERE n = 651"), Cell("six fifty-one"));
    QCOMPARE(check.Scalar("SELECT word FROM counted WHERE n = " + std::to_string(TableRows - 1)),
             Cell("next to last"));
    QCOMPARE(check.Scalar(driver == Driver::MariaDb ? "SELECT count(*) FROM counted WHERE word = CONCAT('w', n)"
                                                    : "SELECT count(*) FROM counted WHERE word = 'w' || n"),
             Cell(std::to_string(TableRows - 2)));
    QCOMPARE(model->index(650, 1).data().toString(), QString("six fifty-one"));
    model->readRows(TableRows - 1, 1);
    QCOMPARE(model->index(TableRows - 1, 1).data().toString(), QString("w%1").arg(TableRows));
  }
};

QTEST_MAIN(GridWritesTest)
#include "tst_grid_writes.moc"
