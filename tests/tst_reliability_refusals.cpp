// Writes the database turns down: its own rules (a trigger that raises,
// CHECK, NOT NULL, text in a number column), locks held by another session
// or another process, and a session the server ends under us. The user is
// told what happened with the column and the value, nothing is reported as
// saved that was not, and the next edit works.
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>
#include <QTest>

#include "frame/Appearance.h"
#include "support/CuttableProxy.h"
#include "frame/Application.h"
#include "frame/Settings.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Wizard.h"
#include "platform/ui/ProcessLauncher.h"
#include "platform/ui/RecordsetModel.h"
#include "platform/ui/ReferenceChoices.h"
#include "platform/ui/ReferenceEditor.h"
#include "platform/ui/ReferenceTip.h"
#include "support/MessageBoxRecorder.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

// Presses Esc on the grid once its wait notice shows, keeping the notice's
// text, while `work` runs.
QString EscOnceNoticed(ui::DataGrid& grid, const std::function<void()>& work) {
  const auto* notice = grid.findChild<QLabel*>("lockWaitNotice");
  QString shown;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
    if (!notice->isVisible() || !shown.isEmpty()) return;
    shown = notice->text();
    QTest::keyClick(&grid, Qt::Key_Escape);
  });
  ticker.start(10);
  work();
  return shown;
}

void BuildGuarded(support::DirectSql& sql, support::Driver driver) {
  if (driver == support::Driver::MariaDb) {
    sql.ExecScript(
        "CREATE TABLE guarded (id INTEGER PRIMARY KEY, name VARCHAR(20) NOT NULL, "
        "qty INTEGER NOT NULL CHECK (qty >= 0));\n"
        "CREATE TRIGGER guarded_names BEFORE UPDATE ON guarded FOR EACH ROW IF NEW.name = 'forbidden' THEN "
        "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'names may not be forbidden'; END IF");
  } else if (driver == support::Driver::Postgres) {
    sql.ExecScript(
        "CREATE TABLE guarded (id INTEGER PRIMARY KEY, name VARCHAR(20) NOT NULL, qty INTEGER NOT NULL CHECK (qty >= 0));\n"
        "CREATE FUNCTION guard() RETURNS trigger AS $$ BEGIN IF NEW.name = 'forbidden' THEN "
        "RAISE EXCEPTION 'names may not be forbidden'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql;\n"
        "CREATE TRIGGER guarded_names BEFORE UPDATE ON guarded FOR EACH ROW EXECUTE FUNCTION guard()");
  } else {
    sql.ExecScript(
        "CREATE TABLE guarded (id INTEGER PRIMARY KEY, name TEXT NOT NULL, qty INTEGER NOT NULL CHECK (qty >= 0)) STRICT;\n"
        "CREATE TRIGGER guarded_names BEFORE UPDATE OF name ON guarded WHEN NEW.name = 'forbidden' "
        "BEGIN SELECT RAISE(ABORT, 'names may not be forbidden'); END");
  }
  sql.ExecScript(
      "INSERT INTO guarded VALUES (1, 'bolt', 5);\n"
      "INSERT INTO guarded VALUES (2, 'nut', 9)");
}

void BuildGuarded(support::DirectSql& sql, bool postgres) {
  BuildGuarded(sql, postgres ? support::Driver::Postgres : support::Driver::Sqlite);
}

// The sqlite3 shell holding a lock in a process of its own until released.
class SqliteShellLock {
 public:
  SqliteShellLock(const QString& file, const QByteArray& begin) {
    shell_.start("sqlite3", {file});
    if (!shell_.waitForStarted()) return;
    shell_.write(begin + ";\nSELECT 'held';\n");
    QByteArray seen;
    while (!seen.contains("held") && shell_.waitForReadyRead(-1)) seen += shell_.readAllStandardOutput();
    held_ = seen.contains("held");
  }
  ~SqliteShellLock() { Release(); }
  SqliteShellLock(const SqliteShellLock&) = delete;
  SqliteShellLock& operator=(const SqliteShellLock&) = delete;
  bool held() const { return held_; }
  void Release() {
    if (shell_.state() == QProcess::NotRunning) return;
    shell_.write("ROLLBACK;\n.quit\n");
    shell_.closeWriteChannel();
    shell_.waitForFinished(-1);
  }

 private:
  QProcess shell_;
  bool held_ = false;
};

// A lock on row 1 of "guarded" held by someone else until released. A
// server: another session holds the row FOR UPDATE. SQLite: the sqlite3
// shell, another process, holds BEGIN IMMEDIATE on the file. With
// `readers`, readers wait too: the whole table (the file) is locked.
class HeldLock {
 public:
  HeldLock(support::Driver driver, const QString& source, const QString& sqliteFile, bool readers = false) {
    if (driver == support::Driver::Sqlite) {
      shell_ = std::make_unique<SqliteShellLock>(sqliteFile, readers ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE");
      held_ = shell_->held();
      return;
    }
    session_ = std::make_unique<support::DirectSql>(source);
    if (readers && driver == support::Driver::MariaDb) {
      session_->Exec("LOCK TABLES guarded WRITE");
      unlock_ = "UNLOCK TABLES";
      held_ = true;
      return;
    }
    session_->Exec("BEGIN");
    if (readers) session_->Exec("LOCK TABLE guarded IN ACCESS EXCLUSIVE MODE");
    held_ = readers || session_->Query("SELECT id FROM guarded WHERE id = 1 FOR UPDATE").size() == 1;
  }
  bool held() const { return held_; }
  void Release() {
    if (session_) session_->Exec(unlock_);
    if (shell_) shell_->Release();
    session_.reset();
    shell_.reset();
  }

 private:
  std::unique_ptr<support::DirectSql> session_;
  std::unique_ptr<SqliteShellLock> shell_;
  bool held_ = false;
  std::string unlock_ = "ROLLBACK";
};

// What a grid showed while one of its writes waited.
struct SeenWhileWaiting {
  int ticks = 0;               // of a timer: the event loop kept turning
  QString notice;              // the text over the grid once it showed
  bool editorOpened = false;   // a key typed into the grid began an edit
  QString secondWriteRefusal;  // what a second write tried meanwhile was told
};

}  // namespace

class ReliabilityRefusalsTest : public QObject {
  Q_OBJECT
  Sources sources_{"Refusal"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  // A foreign key's cell shows the row it references in its tool tip (a
  // key of two columns too), its editor offers the referenced keys with
  // the describing column a block at a time and searched in the database,
  // and a value no referenced row holds is refused naming the table and
  // the value, whatever the driver's own words.
  void aForeignKeyShowsItsRowOffersItsKeysAndNamesWhatIsMissing_data() { AddAllDrivers(); }
  void aForeignKeyShowsItsRowOffersItsKeysAndNamesWhatIsMissing() {
    QFETCH(support::Driver, driver);
    const QString source =
        sources_.Fresh(driver, driver == support::Driver::Sqlite ? QStringList{"FKSupport=1"} : QStringList{});
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    std::string customers = "INSERT INTO customers VALUES (7, 'Ann Lee', 'Oslo')";
    for (int id = 1; id <= 250; ++id)
      if (id != 7) customers += ", (" + std::to_string(id) + ", 'name " + std::to_string(id) + "', NULL)";
    sql.ExecScript(
        "CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(40), city VARCHAR(40));\n"
        "CREATE TABLE sites (code VARCHAR(10), n INTEGER, label VARCHAR(20), PRIMARY KEY (code, n));\n"
        "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer INTEGER, site VARCHAR(10), n INTEGER, "
        "FOREIGN KEY (customer) REFERENCES customers (id), FOREIGN KEY (site, n) REFERENCES sites (code, n));\n" +
        customers + ";\nINSERT INTO sites VALUES ('B', 2, 'Bergen');\nINSERT INTO orders VALUES (1, 7, 'B', 2)");
    OpenedGrid opened = OpenInGrid(source, "orders");
    ui::DataGrid& grid = *opened.grid;
    const auto tip = [&](int column) { return ui::ReferenceTipOf(grid.model()->index(0, column)); };
    QCOMPARE(tip(1), QString("\"customers\" (id = 7):\nid: 7\nname: Ann Lee\ncity: Oslo"));
    QCOMPARE(tip(2), QString("\"sites\" (code = B, n = 2):\ncode: B\nn: 2\nlabel: Bergen"));
    QCOMPARE(tip(3), tip(2));
    QCOMPARE(tip(0), QString());

    auto* delegate = grid.itemDelegate();
    const std::unique_ptr<QWidget> composite(
        delegate->createEditor(grid.viewport(), QStyleOptionViewItem(), grid.model()->index(0, 2)));
    QVERIFY(!qobject_cast<ui::ReferenceEditor*>(composite.get()));
    const std::unique_ptr<QWidget> created(
        delegate->createEditor(grid.viewport(), QStyleOptionViewItem(), grid.model()->index(0, 1)));
    auto* editor = qobject_cast<ui::ReferenceEditor*>(created.get());
    QVERIFY(editor);
    ui::ReferenceChoices& choices = *editor->choices();
    const auto choice = [&](int row, int column) { return choices.index(row, column).data().toString(); };
    QCOMPARE(choices.rowCount(), int(ui::ReferenceChoices::BlockRows));
    QCOMPARE(choice(0, 0) + " " + choice(0, 1) + " / " + choice(99, 0), QString("1 name 1 / 100"));
    QCOMPARE(choices.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("name"));
    QVERIFY(choices.canFetchMore({}));
    choices.fetchMore({});
    QCOMPARE(choice(100, 0), QString("101"));
    editor->setEditText("aNn l");
    editor->searchNow();
    QCOMPARE(choices.rowCount(), 1);
    QCOMPARE(choice(0, 0) + " " + choice(0, 1), QString("7 Ann Lee"));
    QCOMPARE(editor->currentText(), QString("aNn l"));
    editor->setEditText("%");  // a plain character, bound
    editor->searchNow();
    QCOMPARE(choices.rowCount(), 0);

    QVERIFY(!Commit(grid, 0, 1, "999"));
    QVERIFY2(LastMessage(*opened.failed).contains("the table \"customers\" has no row with \"id\" = 999"),
             qPrintable(LastMessage(*opened.failed)));
    QVERIFY(!Commit(grid, 0, 3, "5"));
    QVERIFY2(LastMessage(*opened.failed).contains("the table \"sites\" has no row with \"code\" = B and \"n\" = 5"),
             qPrintable(LastMessage(*opened.failed)));
    QVERIFY2(Commit(grid, 0, 1, "12"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT customer FROM orders"), Cell("12"));
  }

  void theDatabasesRefusalIsShownAndTheConnectionGoesOn_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shownValue");
    QTest::addColumn<QString>("because");
    for (bool postgres : {false, true}) {
      const char* driver = postgres ? "postgres" : "sqlite";
      QTest::addRow("%s trigger", driver) << postgres << 1 << "forbidden" << "\"forbidden\"" << "names may not be forbidden";
      QTest::addRow("%s check", driver) << postgres << 2 << "-1" << "\"-1\""
                                        << (postgres ? "violates check constraint" : "CHECK constraint failed");
      QTest::addRow("%s not null", driver) << postgres << 2 << "" << "NULL"
                                           << (postgres ? "violates not-null constraint" : "NOT NULL constraint failed");
      QTest::addRow("%s text in a number", driver) << postgres << 2 << "twelve" << "\"twelve\""
                                                   << (postgres ? "invalid input syntax" : "cannot store TEXT value");
    }
  }
  void theDatabasesRefusalIsShownAndTheConnectionGoesOn() {
    QFETCH(bool, postgres);
    QFETCH(int, column);
    QFETCH(QString, value);
    QFETCH(QString, shownValue);
    QFETCH(QString, because);
    const QString source = sources_.Fresh(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    BuildGuarded(sql, postgres);
    const Rows before = Snapshot(sql, postgres, "guarded");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "guarded"));
    grid.show();
    const QString header = grid.model()->headerData(column, Qt::Horizontal).toString();
    const QString was = Shown(grid, 0, column);
    QVERIFY(!Commit(grid, 0, column, value));
    QCOMPARE(failed.count(), 1);
    const QString message = LastMessage(failed);
    QVERIFY2(message.contains("column \"" + header + "\"") && message.contains(shownValue) &&
                 message.contains(because),
             qPrintable(message));
    QCOMPARE(Snapshot(sql, postgres, "guarded"), before);
    QCOMPARE(Shown(grid, 0, column), was);
    // The same connection takes the next edit.
    QVERIFY2(Commit(grid, 0, column, column == 1 ? "allowed" : "7"), qPrintable(LastMessage(failed)));
    QCOMPARE(sql.Scalar("SELECT " + header.toStdString() + " FROM guarded WHERE id = 1"),
             Cell(column == 1 ? "allowed" : "7"));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 2"), Cell("nut"));
  }

  void aRowLockedByAnotherSessionMeansBusyThenARetryWorks_data() { AddAllDrivers(); }
  void aRowLockedByAnotherSessionMeansBusyThenARetryWorks() {
    QFETCH(support::Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildGuarded(sql, driver);
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(source, "guarded"));
    grid.show();
    const Rows before = Snapshot(sql, driver, "guarded");
    {
      HeldLock lock(driver, source, sources_.sqliteFile(source));
      QVERIFY2(lock.held(), "the other session did not take the lock");
      QVERIFY(!Commit(grid, 0, 1, "waiting"));
      const QString message = LastMessage(failed);
      QVERIFY2(message.contains("The database is busy") && message.contains("\"name\"") &&
                   message.contains("\"waiting\"") && message.contains("Try again later"),
               qPrintable(message));
      QCOMPARE(Shown(grid, 0, 1), QString("bolt"));
      // Still responsive: other rows can be read and edits tried meanwhile.
      QCOMPARE(Shown(grid, 1, 1), QString("nut"));
      lock.Release();
    }
    QCOMPARE(Snapshot(sql, driver, "guarded"), before);
    QVERIFY2(Commit(grid, 0, 1, "later"), qPrintable(LastMessage(failed)));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("later"));
    QCOMPARE(failed.count(), 1);
  }

  // A write waiting for another session's lock leaves the window turning,
  // shows that it waits over the grid and takes no other input: Esc
  // cancels it, and nothing is written (of a paste, no line); a lock
  // released meanwhile lets it through.
  void aWriteWaitingForALockKeepsTheWindowTurningAndEscCancelsIt_data() {
    QTest::addColumn<support::Driver>("driver");
    QTest::addColumn<bool>("released");
    QTest::addColumn<bool>("paste");  // two lines, the locked row's first
    for (auto driver : {support::Driver::Sqlite, support::Driver::Postgres, support::Driver::MariaDb}) {
      const QString name = support::DriverName(driver);
      QTest::newRow(qPrintable(name + " esc")) << driver << false << false;
      QTest::newRow(qPrintable(name + " released")) << driver << true << false;
      QTest::newRow(qPrintable(name + " esc paste")) << driver << false << true;
    }
  }
  void aWriteWaitingForALockKeepsTheWindowTurningAndEscCancelsIt() {
    QFETCH(support::Driver, driver);
    QFETCH(bool, released);
    QFETCH(bool, paste);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildGuarded(sql, driver);
    OpenedGrid opened = OpenInGrid(source, "guarded");
    ui::DataGrid& grid = *opened.grid;
    ui::RecordsetModel& model = *grid.recordsetModel();
    const int row = Shown(grid, 0, 0) == "1" ? 0 : 1;
    const Rows before = Snapshot(sql, driver, "guarded");
    HeldLock lock(driver, source, sources_.sqliteFile(source));
    QVERIFY2(lock.held(), "the other session did not take the lock");

    grid.setCurrentIndex(model.index(1 - row, 1));
    SeenWhileWaiting seen;
    const auto* notice = grid.findChild<QLabel*>("lockWaitNotice");
    QVERIFY(notice && !notice->isVisible());
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &ticker, [&] {
      ++seen.ticks;
      if (!notice->isVisible() || !seen.notice.isEmpty()) return;
      seen.notice = notice->text();
      QTest::keyClick(grid.viewport(), Qt::Key_X);
      seen.editorOpened = grid.indexWidget(grid.currentIndex()) != nullptr;
      if (!model.setData(model.index(1 - row, 1), "second")) seen.secondWriteRefusal = LastMessage(*opened.failed);
      if (released)
        lock.Release();
      else
        QTest::keyClick(&grid, Qt::Key_Escape);
    });
    ticker.start(10);
    const bool saved = paste ? model.pasteBlock(row, 1, QList<QStringList>{{"waiting"}, {"pasted"}})
                             : model.setData(model.index(row, 1), "waiting");
    ticker.stop();
    lock.Release();

    QVERIFY(seen.ticks > 0);
    QCOMPARE(seen.notice, QString("Waiting for another session's lock..."));
    QVERIFY(!notice->isVisible());
    QVERIFY(!seen.editorOpened);
    QVERIFY2(seen.secondWriteRefusal.contains("still being saved"), qPrintable(seen.secondWriteRefusal));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 2"), Cell("nut"));
    if (released) {
      QVERIFY2(saved, qPrintable(LastMessage(*opened.failed)));
      QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("waiting"));
      QCOMPARE(Shown(grid, row, 1), QString("waiting"));
      return;
    }
    QVERIFY(!saved);
    const QString message = LastMessage(*opened.failed);
    QVERIFY2(message.contains("you cancelled the change while it waited for another session's lock") &&
                 message.contains("not saved") && message.contains(paste ? "Nothing was pasted" : "\"waiting\""),
             qPrintable(message));
    QCOMPARE(Snapshot(sql, driver, "guarded"), before);
    QCOMPARE(Shown(grid, row, 1), QString("bolt"));
    // The same connection takes the next edit.
    QVERIFY2(model.setData(model.index(row, 1), "later"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("later"));
  }

  // A read that waits (here for a lock; on a large table for a sort)
  // leaves the window turning and says so over the grid: Esc stops it,
  // and the rows shown stay those of before.
  // (SQLite's driver refuses a read of a locked file at once: "database is
  // locked".)
  void aLongReadSaysSoAndEscStopsIt_data() {
    QTest::addColumn<support::Driver>("driver");
    for (auto driver : {support::Driver::Postgres, support::Driver::MariaDb})
      QTest::newRow(qPrintable(support::DriverName(driver))) << driver;
  }
  void aLongReadSaysSoAndEscStopsIt() {
    QFETCH(support::Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildGuarded(sql, driver);
    sql.Exec("INSERT INTO guarded VALUES (3, 'axle', 1)");
    OpenedGrid opened = OpenInGrid(source, "guarded");
    ui::DataGrid& grid = *opened.grid;
    const auto names = [&] { return QStringList{Shown(grid, 0, 1), Shown(grid, 1, 1), Shown(grid, 2, 1)}; };
    const QStringList before = names();
    QCOMPARE(before, (QStringList{"bolt", "nut", "axle"}));
    HeldLock lock(driver, source, sources_.sqliteFile(source), true);
    QVERIFY2(lock.held(), "the other session did not take the lock");
    const auto* notice = grid.findChild<QLabel*>("lockWaitNotice");
    const QString shown = EscOnceNoticed(grid, [&] { grid.sortByColumn(1); });
    lock.Release();
    QCOMPARE(shown, QString("Reading rows... Esc stops the read."));
    QVERIFY(!notice->isVisible());
    QVERIFY2(LastMessage(*opened.failed).contains("you stopped the read"), qPrintable(LastMessage(*opened.failed)));
    QCOMPARE(names(), before);
    // Without the lock the same sort goes through.
    grid.sortByColumn(1);
    QCOMPARE(names(), (QStringList{"axle", "bolt", "nut"}));
  }

  // A jump to the end of rows that can only be read from the start reads
  // them in steps, says how many so far, and Esc ends it at the last row
  // read.
  void aLongJumpToTheEndCountsItsRowsAndEscStopsIt() {
    const QString source = sources_.Fresh(support::Driver::Sqlite);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.Exec("CREATE VIEW many AS WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
             "WHERE n < 5000000) SELECT n, 'row ' || n AS word FROM c");
    OpenedGrid opened = OpenInGrid(source, "many");
    ui::DataGrid& grid = *opened.grid;
    const auto* notice = grid.findChild<QLabel*>("lockWaitNotice");
    grid.setCurrentIndex(grid.model()->index(0, 0));
    const QString shown = EscOnceNoticed(grid, [&] { QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier); });
    QVERIFY2(QRegularExpression("^Reading rows\\.\\.\\. [0-9,]+ read\\. Esc stops the read\\.$").match(shown).hasMatch(),
             qPrintable(shown));
    QVERIFY(!notice->isVisible());
    // At the last row read then, of the table (a page of it is shown); the
    // view, at the end of the rows, may have asked for a block more twice
    // (once as its scroll bar reached the end, once as it laid itself out).
    const ui::RecordsetModel* model = grid.recordsetModel();
    const std::size_t last = model->tableRows() - 1, current = model->pageBase() + grid.currentIndex().row();
    QVERIFY2(last > 0 && last < 4999999, qPrintable(QString::number(last)));
    QVERIFY2(current <= last && current + 2 * ui::RecordsetModel::FetchBlockRows >= last,
             qPrintable(QString("row %1 current, %2 last read").arg(current).arg(last)));
    QCOMPARE(Shown(grid, grid.currentIndex().row(), 0), QString::number(current + 1));
    QCOMPARE(opened.failed->count(), 0);
  }

  // The server ends every session of the program while the editor is open.
  void aLostConnectionIsNeverReportedAsSavedAndReopeningReconnects() {
    auto server = support::PostgresFromEnvironment();
    if (!server) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    const QString source = sources_.Fresh(true);
    support::DirectSql sql(source);
    BuildGuarded(sql, true);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    frame::SetProgramFolder(config.filePath("program").toStdString());
    frame::SetRandomDraw([] { return 0.5f; });
    ui::SetProcessLauncher([](const std::string&) {});
    ui::SetProgramEnder([] {});
    support::MessageBoxRecorder boxes;
    frame::WriteSetting(frame::AppName, frame::ProductName, frame::DataSourceNameKey, source.toStdString());
    pages::Wizard wizard;
    wizard.Start();
    pages::Form2& chooser = wizard.form2();
    QVERIFY(chooser.isVisible());
    const auto tables = chooser.List1->findItems("guarded", Qt::MatchExactly);
    QCOMPARE(tables.size(), 1);
    chooser.List1->setCurrentItem(tables.front());
    chooser.PushButton3_Click();
    ui::DataGrid& grid = *wizard.form3().DataGrid1;
    QVERIFY(Commit(grid, 0, 1, "before"));
    QVERIFY(boxes.boxes().empty());

    sql.Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
             "AND pid <> pg_backend_pid()");
    // The write finds its session ended before it sent anything: it goes
    // on a new session, once.
    QVERIFY(Commit(grid, 0, 1, "after"));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("after"));
    QVERIFY(boxes.boxes().empty());
    QVERIFY(Commit(grid, 0, 1, "retried"));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("retried"));

    // Back and forward again opens new sessions.
    wizard.form3().PushButton1_Click();
    chooser.PushButton3_Click();
    ui::DataGrid& reopened = *wizard.form3().DataGrid1;
    // PostgreSQL hands out an updated row last.
    const int row = Shown(reopened, 0, 1) == "retried" ? 0 : 1;
    QCOMPARE(Shown(reopened, row, 1), QString("retried"));
    QVERIFY(Commit(reopened, row, 1, "reconnected"));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("reconnected"));
    QVERIFY(boxes.boxes().empty());
  }

  // The network drops the program's connection while its write waits for
  // another session's lock. The old server session lives on and would
  // commit the write once the lock goes, so it is ended before the user is
  // told: "not saved" must stay true.
  void aWriteCutOffWhileWaitingIsEndedBeforeItIsCalledNotSaved() {
    auto server = support::PostgresFromEnvironment();
    if (!server) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    const QString source = sources_.Fresh(true);
    support::DirectSql sql(source);
    BuildGuarded(sql, true);
    support::CuttableProxy proxy(server->port.toInt());
    support::PostgresServer relayed = *server;
    relayed.port = QString::number(proxy.port());
    const QString cut = source + "Relayed";
    support::AddPostgresDataSource(cut, relayed, sources_.database());
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(cut, "guarded"));
    grid.show();
    const int row = Shown(grid, 0, 0) == "1" ? 0 : 1;
    support::DirectSql locker(source);
    locker.Exec("BEGIN");
    QCOMPARE(locker.Query("SELECT id FROM guarded WHERE id = 1 FOR UPDATE").size(), std::size_t(1));
    std::thread cutter([&proxy] {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      proxy.CutClients();
    });
    QVERIFY(!Commit(grid, row, 1, "late"));
    cutter.join();
    const QString message = LastMessage(failed);
    QVERIFY2(message.contains("connection to the database was lost") && message.contains("not saved") &&
                 !message.contains("not known"),
             qPrintable(message));
    // Its old session is over: it waits for the lock no more.
    QCOMPARE(sql.Scalar("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                        "wait_event_type = 'Lock'"),
             Cell("0"));
    locker.Exec("ROLLBACK");
    QTest::qWait(500);
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("bolt"));
  }

  // The network drops the connection while the server commits (a slow
  // deferred trigger) and the server session lives on. The program ends
  // it, and the row then tells whether the change was stored: the message
  // is true either way, and no session is left in a transaction.
  void aWriteCutOffDuringItsCommitIsSettledFromTheRow() {
    auto server = support::PostgresFromEnvironment();
    if (!server) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    const QString source = sources_.Fresh(true);
    support::DirectSql sql(source);
    BuildGuarded(sql, true);
    sql.ExecScript(
        "CREATE FUNCTION slow_commit() RETURNS trigger AS $$ BEGIN "
        "IF NEW.name = 'slow' THEN PERFORM pg_sleep(2); END IF; RETURN NEW; END $$ LANGUAGE plpgsql;\n"
        "CREATE CONSTRAINT TRIGGER slow_at_commit AFTER UPDATE ON guarded DEFERRABLE INITIALLY "
        "DEFERRED FOR EACH ROW EXECUTE FUNCTION slow_commit()");
    support::CuttableProxy proxy(server->port.toInt());
    support::PostgresServer relayed = *server;
    relayed.port = QString::number(proxy.port());
    const QString cut = source + "Relayed";
    support::AddPostgresDataSource(cut, relayed, sources_.database());
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(OpenTable(cut, "guarded"));
    grid.show();
    const int row = Shown(grid, 0, 0) == "1" ? 0 : 1;
    std::thread cutter([&proxy] {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      proxy.CutClients();
    });
    const bool saved = Commit(grid, row, 1, "slow");
    cutter.join();
    const Cell stored = sql.Scalar("SELECT name FROM guarded WHERE id = 1");
    if (saved) {
      QCOMPARE(stored, Cell("slow"));
    } else {
      const QString message = LastMessage(failed);
      QVERIFY2(message.contains("not saved") && !message.contains("not known"), qPrintable(message));
      QCOMPARE(stored, Cell("bolt"));
    }
    QCOMPARE(Shown(grid, row, 1), QString::fromStdString(*stored));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                        "state LIKE 'idle in transaction%'"),
             Cell("0"));
  }

  // The session ends while the change is being committed. Once the old
  // transaction is certainly over, a new session reads the row and the
  // user is told what it holds, whether the change was a cell edit or a
  // paste.
  void aSessionLostDuringTheCommitNeverClaimsAFalseOutcome_data() {
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<bool>("pasted");
    QTest::newRow("primary key, edit") << true << false;
    QTest::newRow("no key, edit") << false << false;
    QTest::newRow("primary key, paste") << true << true;
    QTest::newRow("no key, paste") << false << true;
  }
  void aSessionLostDuringTheCommitNeverClaimsAFalseOutcome() {
    QFETCH(bool, keyed);
    QFETCH(bool, pasted);
    auto server = support::PostgresFromEnvironment();
    if (!server) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    const QString source = sources_.Fresh(true);
    support::DirectSql sql(source);
    BuildGuarded(sql, true);
    if (!keyed) sql.Exec("ALTER TABLE guarded DROP CONSTRAINT guarded_pkey");
    // A deferred trigger runs at COMMIT and ends its own session there.
    sql.ExecScript(
        "CREATE FUNCTION end_session() RETURNS trigger AS $$ BEGIN "
        "IF NEW.name = 'vanish' THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF; "
        "RETURN NEW; END $$ LANGUAGE plpgsql;\n"
        "CREATE CONSTRAINT TRIGGER end_at_commit AFTER UPDATE ON guarded DEFERRABLE INITIALLY "
        "DEFERRED FOR EACH ROW EXECUTE FUNCTION end_session()");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    const ado::RecordsetPtr rows = OpenTable(source, "guarded");
    grid.setDataSource(rows);
    grid.show();
    const int row = Shown(grid, 0, 0) == "1" ? 0 : 1;
    QString message;
    if (pasted) {
      try {
        rows->WriteCells({{static_cast<std::size_t>(row), {{1, "vanish"}, {2, "7"}}}}, {}, 0);
      } catch (const ado::Error& error) {
        message = error.what();
      }
    } else {
      QVERIFY(!Commit(grid, row, 1, "vanish"));
      QCOMPARE(failed.count(), 1);
      message = failed.at(0).at(0).toString();
    }
    QVERIFY2(message.contains("connection to the database was lost"), qPrintable(message));
    QVERIFY2(pasted || message.contains("\"name\""), qPrintable(message));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("bolt"));
    // The old session is gone and the row is still in the version read, so
    // with a key or without, the change was certainly not saved.
    QVERIFY2(message.contains("not saved") && !message.contains("not known"), qPrintable(message));
    QCOMPARE(Shown(grid, row, 1), QString("bolt"));
    // The next write opens a new session.
    QVERIFY(Commit(grid, row, 1, "steady"));
    QCOMPARE(sql.Scalar("SELECT name FROM guarded WHERE id = 1"), Cell("steady"));
  }
};

QTEST_MAIN(ReliabilityRefusalsTest)
#include "tst_reliability_refusals.moc"
