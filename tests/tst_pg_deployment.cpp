// PostgreSQL as teams run it: behind a connection pooler in transaction
// pooling, on a standby or a server that only reads, with rights granted
// per column and rows kept from a role by policies.
#include <QBrush>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ado/AdoError.h"
#include "platform/ado/RowCount.h"
#include "platform/ui/RecordsetModel.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

// The server sessions the pool keeps per database and user
// (default_pool_size in scripts/lib/postgres-replicas.sh).
constexpr int PoolSessions = 4;

void BuildStock(support::DirectSql& sql) {
  sql.ExecScript("CREATE TABLE stock (id INTEGER PRIMARY KEY, name VARCHAR(20), amount INTEGER);\n"
                 "INSERT INTO stock SELECT n, 'part ' || n, n FROM generate_series(1, 600) n");
}

// More rows than the first screen reads, filled in an order unlike the
// ids'; with the id as the key, or without a key (read in physical order).
constexpr int ManyRows = 2000;
void BuildMany(support::DirectSql& sql, bool keyed) {
  sql.ExecScript(std::string("CREATE TABLE many (id INTEGER") + (keyed ? " PRIMARY KEY" : "") +
                 ", name VARCHAR(20));\nINSERT INTO many SELECT (n * 7919) % 2000 + 1, 'part ' || n "
                 "FROM generate_series(0, 1999) n");
}

// The ids in the table's order, as an ORDER BY gives them.
QStringList OrderedIds(support::DirectSql& sql, bool keyed) {
  QStringList ids;
  for (const auto& row : sql.Query(std::string("SELECT id FROM many ORDER BY ") + (keyed ? "id" : "ctid")))
    ids << QString::fromStdString(row[0].value_or("NULL"));
  return ids;
}

// The server ends every session of the database but the caller's: the
// grid's reads, its writes and its count alike.
void EndSessions(support::DirectSql& sql, const QString& database) {
  sql.Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + database.toStdString() +
           "' AND pid <> pg_backend_pid()");
}

QString SessionsIdleInTransaction(support::DirectSql& sql) {
  return QString::fromStdString(sql.Scalar("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                           "current_database() AND state LIKE 'idle in transaction%'")
                                    .value_or("?"));
}

void JumpToEnd(ui::DataGrid& grid) {
  grid.setFocus();
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
}

// The grid row that shows the id (PostgreSQL hands rows back in no set
// order).
int RowOf(const ui::DataGrid& grid, const QString& id) {
  for (int row = 0; row < grid.model()->rowCount(); ++row)
    if (Shown(grid, row, 0) == id) return row;
  return -1;
}

// An edit attempt by the user (F2) on a cell; the reason the grid gave
// for refusing it, empty when an editor opened.
// A column heading's tool tip: why the column cannot be changed, if so,
// then where its NULLs sort.
QString HeadingTip(const ui::DataGrid& grid, int column) {
  return grid.model()->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString();
}

QString EditAttempt(ui::DataGrid& grid, int row, int column) {
  QSignalSpy refused(&grid, &ui::DataGrid::editRefused);
  const QModelIndex index = grid.model()->index(row, column);
  grid.setCurrentIndex(index);
  QTest::keyClick(&grid, Qt::Key_F2);
  const QString reason = LastMessage(refused);
  if (reason.isEmpty() && grid.indexWidget(index)) grid.commitPendingEdit();
  return reason;
}

}  // namespace

class PgDeploymentTest : public QObject {
  Q_OBJECT
  Sources sources_{"Deployed"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  // Behind the pool a server session serves other clients between our
  // transactions: a setting our write needs must end with it.
  void aWriteLeavesNoSettingForThePoolsNextClient() {
    const QString source = sources_.Fresh(support::Driver::PostgresPool);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildStock(sql);
    {
      OpenedGrid opened = OpenInGrid(source, "stock");
      QVERIFY2(Commit(*opened.grid, RowOf(*opened.grid, "1"), 1, "washer"), qPrintable(LastMessage(*opened.failed)));
    }
    QCOMPARE(sql.Scalar("SELECT name FROM stock WHERE id = 1"), Cell("washer"));
    // Each client in a transaction holds a server session of its own, so
    // together they see every session of the pool.
    std::vector<std::unique_ptr<support::DirectSql>> clients;
    for (int client = 0; client < PoolSessions; ++client) {
      clients.push_back(std::make_unique<support::DirectSql>(source));
      clients.back()->Exec("BEGIN");
      QCOMPARE(clients.back()->Scalar("SHOW lock_timeout"), Cell("0"));
      QCOMPARE(clients.back()->Scalar("SHOW statement_timeout"), Cell("0"));
    }
    for (auto& client : clients) client->Exec("ROLLBACK");
  }

  // Rights per column and policies per row, for a role that is no owner.
  void rightsAndRowPoliciesAreNamed() {
    const QString source = sources_.Fresh(support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildStock(sql);
    // Roles belong to the whole server: one per database.
    const std::string role = "clerk_" + sources_.database().toStdString();
    sql.ExecScript("CREATE ROLE " + role + " LOGIN;\n"
                   "GRANT SELECT, DELETE ON stock TO " + role + ";\n"
                   "GRANT UPDATE (name) ON stock TO " + role + ";\n"
                   "ALTER TABLE stock ENABLE ROW LEVEL SECURITY;\n"
                   "CREATE POLICY reading ON stock FOR SELECT USING (true);\n"
                   "CREATE POLICY changing ON stock FOR UPDATE USING (id = 2);\n"
                   "CREATE POLICY deleting ON stock FOR DELETE USING (id = 2)");
    support::PostgresServer clerk = *support::PostgresFromEnvironment();
    clerk.user = QString::fromStdString(role);
    const QString clerkSource = source + "Clerk";
    support::AddPostgresDataSource(clerkSource, clerk, sources_.database());
    const Rows before = Snapshot(sql, true, "stock");
    {
      auto rows = OpenTable(clerkSource, "stock");
      ui::DataGrid grid;
      QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
      grid.setDataSource(rows);
      grid.show();
      const int first = RowOf(grid, "1");
      // A row the policy keeps from the role: said so, not blamed on others.
      QVERIFY(!Commit(grid, first, 1, "screw"));
      const QString kept = LastMessage(failed);
      QVERIFY2(kept.contains("the database's row security does not let you change this row") &&
                   !kept.contains("someone else"),
               qPrintable(kept));
      try {
        rows->DeleteRows({static_cast<std::size_t>(first)});
        QFAIL("a row the policy keeps was deleted");
      } catch (const ado::Error& error) {
        QVERIFY2(QString(error.what()).contains("row security"), error.what());
      }
      // Known before typing, on an edit attempt and in the heading.
      const QString amount = EditAttempt(grid, first, 2);
      QVERIFY2(amount.contains("\"amount\"") && amount.contains("UPDATE right"), qPrintable(amount));
      QVERIFY(HeadingTip(grid, 2).startsWith(amount + "\n"));
      QVERIFY(!HeadingTip(grid, 1).contains("right"));
      const QString adding = QString::fromStdString(rows->TableReadOnlyReason());
      QVERIFY2(adding.contains("INSERT right"), qPrintable(adding));
      QCOMPARE(Snapshot(sql, true, "stock"), before);
      // A row the policy lets through.
      QVERIFY2(Commit(grid, RowOf(grid, "2"), 1, "nut"), qPrintable(LastMessage(failed)));
      QCOMPARE(sql.Scalar("SELECT name FROM stock WHERE id = 2"), Cell("nut"));
    }
    sql.ExecScript("DROP OWNED BY " + role + ";\nDROP ROLE " + role);
  }

  // A database that only reads: a standby, a server whose transactions
  // are read-only by default, an SQLite file opened read-only by the data
  // source or by its permissions.
  void aServerThatOnlyReadsSaysSoBeforeTyping_data() {
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("said");
    QTest::newRow("standby") << "standby" << "standby";
    QTest::newRow("read-only default") << "default" << "default_transaction_read_only";
    QTest::newRow("sqlite read-only data source") << "sqlite uri" << "can only be read";
    QTest::newRow("sqlite read-only file") << "sqlite file" << "can only be read";
  }
  void aServerThatOnlyReadsSaysSoBeforeTyping() {
    QFETCH(QString, route);
    QFETCH(QString, said);
    const bool sqlite = route.startsWith("sqlite");
    const QString source = sources_.Fresh(sqlite ? support::Driver::Sqlite : support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    const QString readOnly = source + "ReadOnly";
    if (sqlite) {
      const QString file = sources_.sqliteFile(source);
      support::DirectSql(source).ExecScript("CREATE TABLE stock (id INTEGER PRIMARY KEY, name TEXT);\n"
                                            "INSERT INTO stock VALUES (1, 'part 1'), (2, 'part 2')");
      if (route == "sqlite file") {
        if (geteuid() == 0) QSKIP("file permissions keep nobody from writing when the tests run as root");
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner));
        support::AddSqliteDataSource(readOnly, file);
      } else {
        support::AddSqliteDataSource(readOnly, "file:" + file + "?mode=ro");
      }
    }
    support::DirectSql sql(sqlite ? readOnly : source);
    if (!sqlite) BuildStock(sql);
    if (route == "standby") {
      auto server = support::PostgresRouteFromEnvironment(support::PostgresRoute::Standby);
      if (!server) QSKIP("no standby of the PostgreSQL test server (run scripts/test)");
      support::AddPostgresDataSource(readOnly, *server, sources_.database());
      // Until the standby has replayed the table's rows.
      for (int wait = 0; wait < 300; ++wait) {
        try {
          support::DirectSql replica(readOnly);
          if (replica.Scalar("SELECT count(*) FROM stock") == sql.Scalar("SELECT count(*) FROM stock")) break;
        } catch (const std::exception&) {
          // Not there yet.
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    } else if (route == "default") {
      sql.Exec("ALTER DATABASE " + sources_.database().toStdString() + " SET default_transaction_read_only = on");
      support::AddPostgresDataSource(readOnly, *support::PostgresFromEnvironment(), sources_.database());
    }
    auto rows = OpenTable(readOnly, "stock");
    ui::DataGrid grid;
    grid.setDataSource(rows);
    grid.show();
    QTRY_VERIFY(grid.model()->rowCount() > 0);
    const QString reason = EditAttempt(grid, 0, 1);
    QVERIFY2(reason.contains(said), qPrintable(reason));
    QVERIFY(!grid.indexWidget(grid.model()->index(0, 1)));
    QCOMPARE(QString::fromStdString(rows->TableReadOnlyReason()), reason);
    QVERIFY(HeadingTip(grid, 1).startsWith(reason + "\n"));
  }

  // The server ends the grid's sessions while it reads from the start, or
  // before it reads the last rows by the window: the read is taken up
  // again where it stopped on a fresh session, unseen, and an edit saves.
  void anEndedReadIsTakenUpAgainUnseen_data() {
    QTest::addColumn<support::Driver>("driver");
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<bool>("windowed");
    for (bool windowed : {false, true}) {
      const char* read = windowed ? "window" : "from the start";
      QTest::addRow("%s, key", read) << support::Driver::Postgres << true << windowed;
      QTest::addRow("%s, no key", read) << support::Driver::Postgres << false << windowed;
      QTest::addRow("%s, pool", read) << support::Driver::PostgresPool << true << windowed;
    }
  }
  void anEndedReadIsTakenUpAgainUnseen() {
    QFETCH(support::Driver, driver);
    QFETCH(bool, keyed);
    QFETCH(bool, windowed);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(sources_.directSource());
    BuildMany(sql, keyed);
    const QStringList expected = OrderedIds(sql, keyed);
    auto rows = OpenTable(source, "many");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    if (windowed) {
      grid.setDataSource(rows);
      grid.show();
      QTRY_VERIFY(grid.recordsetModel()->rowCountKnown());
      EndSessions(sql, sources_.database());
      JumpToEnd(grid);
      QTRY_VERIFY(rows->rowHeld(ManyRows - 1));
      grid.recordsetModel()->readRows(0, ManyRows);
    } else {
      rows->FetchMore(300);
      QVERIFY(!rows->allRowsFetched());
      EndSessions(sql, sources_.database());
      rows->FetchMore(ManyRows);
      QVERIFY(rows->allRowsFetched());
      grid.setDataSource(rows);
      grid.show();
    }
    QCOMPARE(grid.model()->rowCount(), ManyRows);
    QStringList shown;
    for (int row = 0; row < ManyRows; ++row) shown << Shown(grid, row, 0);
    QCOMPARE(shown, expected);
    QVERIFY2(Commit(grid, ManyRows - 1, 1, "after"), qPrintable(LastMessage(failed)));
    QCOMPARE(sql.Scalar("SELECT name FROM many WHERE id = " + expected.last().toStdString()), Cell("after"));
    QCOMPARE(failed.count(), 0);
  }

  // No fresh session can be had: one message says how many rows are
  // shown, nothing more is read, and F5 reads the table once the database
  // lets sessions in again.
  void aReadThatCannotBeTakenUpSaysHowManyRowsAreShown() {
    const QString source = sources_.Fresh(support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    {
      support::DirectSql sql(source);
      BuildMany(sql, true);
    }
    // Sessions of the database are let in or not from another database.
    const QString admin = source + "Admin";
    const support::PostgresServer postgres = *support::PostgresFromEnvironment();
    support::AddPostgresDataSource(admin, postgres, postgres.database);
    support::DirectSql server(admin);
    const std::string database = sources_.database().toStdString();
    OpenedGrid opened = OpenInGrid(source, "many");
    ui::DataGrid& grid = *opened.grid;
    QTRY_VERIFY(grid.recordsetModel()->rowCountKnown());
    const std::size_t held = grid.dataSource()->heldRows();
    server.Exec("ALTER DATABASE " + database + " ALLOW_CONNECTIONS false");
    EndSessions(server, sources_.database());
    JumpToEnd(grid);
    QTRY_COMPARE(opened.failed->count(), 1);
    const QString said = LastMessage(*opened.failed);
    QVERIFY2(said.startsWith("The database ended the reading of the rows, and reading them again failed: " +
                             QString::number(held) + " rows are shown, of 2000; the others could not be read. "
                             "Press F5 to read the table again."),
             qPrintable(said));
    // Looking elsewhere reads nothing and says nothing more.
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum() / 2);
    QTest::qWait(200);
    QCOMPARE(opened.failed->count(), 1);
    QVERIFY(!grid.dataSource()->rowHeld(ManyRows - 1));
    server.Exec("ALTER DATABASE " + database + " ALLOW_CONNECTIONS true");
    QTest::keyClick(&grid, Qt::Key_F5);
    JumpToEnd(grid);
    QTRY_VERIFY(grid.dataSource()->rowHeld(ManyRows - 1));
    QCOMPARE(Shown(grid, ManyRows - 1, 0), QString::number(ManyRows));
    QCOMPARE(opened.failed->count(), 1);
  }

  // Statements of the database may run only briefly (statement_timeout):
  // the rows the limit kept from being read look unread, never empty, and
  // the message says what stopped the read.
  void rowsATimeLimitKeptFromBeingReadLookUnread() {
    const QString source = sources_.Fresh(support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    {
      support::DirectSql sql(source);
      sql.ExecScript("CREATE TABLE loose (n INTEGER, name TEXT);\n"
                     "INSERT INTO loose SELECT n, 'row ' || n FROM generate_series(1, 400000) n;\nANALYZE loose;\n"
                     "ALTER DATABASE " + sources_.database().toStdString() + " SET statement_timeout = '50ms'");
    }
    OpenedGrid opened = OpenInGrid(source, "loose");
    ui::DataGrid& grid = *opened.grid;
    QCOMPARE(Shown(grid, 0, 1), QString("row 1"));
    QVERIFY(grid.model()->index(0, 1).data(Qt::BackgroundRole).value<QBrush>().style() != Qt::BDiagPattern);
    JumpToEnd(grid);
    QTRY_VERIFY_WITH_TIMEOUT(opened.failed->count() > 0, 20000);
    const QString said = LastMessage(*opened.failed);
    QVERIFY2(said.startsWith("The database's time limit for one statement stopped the read"), qPrintable(said));
    const int last = grid.model()->rowCount() - 1;
    QVERIFY(!grid.dataSource()->rowHeld(static_cast<std::size_t>(last)));
    const QModelIndex unread = grid.model()->index(last, 1);
    QCOMPARE(unread.data().toString(), QString());
    QCOMPARE(unread.data(Qt::BackgroundRole).value<QBrush>().style(), Qt::BDiagPattern);
  }

  // The sessions of the read and of the count are ended too: the guess,
  // read with the table's plan, stands; the count raises nothing, and the
  // rows are read on from the start.
  void theGuessAndTheCountEndedFailQuietly() {
    const QString source = sources_.Fresh(support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildMany(sql, true);
    sql.Exec("ANALYZE many");
    auto rows = OpenTable(source, "many");
    rows->FetchMore(300);
    EndSessions(sql, sources_.database());
    QCOMPARE(rows->EstimatedRowCount(), std::optional<std::size_t>(ManyRows));
    // The count waits behind a lock until its session is ended.
    support::DirectSql holder(source);
    holder.Exec("BEGIN");
    holder.Exec("LOCK TABLE many IN ACCESS EXCLUSIVE MODE");
    std::atomic<bool> arrived = false;
    auto count = rows->CountRows([&arrived] { arrived = true; });
    const std::string counting = "FROM pg_stat_activity WHERE datname = current_database() AND wait_event_type = "
                                 "'Lock' AND query LIKE '%SELECT count(*)%FROM \"many\"%'";
    QTRY_COMPARE(sql.Scalar("SELECT count(*) " + counting), Cell("1"));
    sql.Exec("SELECT pg_terminate_backend(pid) " + counting);
    QTRY_VERIFY(arrived.load());
    QVERIFY(!count->rows());
    holder.Exec("COMMIT");
    rows->FetchMore(ManyRows);
    QCOMPARE(rows->rowCount(), std::size_t(ManyRows));
  }

  // Through the pool with the driver's cursors (UseDeclareFetch), the first
  // screen shown leaves no server session idle in a transaction.
  void theFirstScreenLeavesNoTransactionOpen_data() {
    QTest::addColumn<support::Driver>("driver");
    QTest::newRow("postgres") << support::Driver::Postgres;
    QTest::newRow("postgres-pool") << support::Driver::PostgresPool;
  }
  void theFirstScreenLeavesNoTransactionOpen() {
    QFETCH(support::Driver, driver);
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(sources_.directSource());
    BuildMany(sql, true);
    OpenedGrid opened = OpenInGrid(source, "many");
    QVERIFY(opened.grid->model()->rowCount() > 0);
    QCOMPARE(SessionsIdleInTransaction(sql), QString("0"));
    QTRY_VERIFY(opened.grid->recordsetModel()->rowCountKnown());
    QCOMPARE(SessionsIdleInTransaction(sql), QString("0"));
  }

  // The server ended every session of the program, the read's among them,
  // before the first edit, and reading on failed: that edit opens sessions
  // of its own.
  void afterTheSessionsWereEndedTheNextEditOpensFreshOnes() {
    const QString source = sources_.Fresh(support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildStock(sql);
    auto rows = OpenTable(source, "stock");
    ui::DataGrid grid;
    QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
    grid.setDataSource(rows);
    grid.show();
    sql.Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
             "AND pid <> pg_backend_pid()");
    try {
      rows->FetchMore(1000);
    } catch (const ado::Error&) {
      // What the grid shows of a read cut short is not this test's matter.
    }
    QVERIFY2(Commit(grid, 0, 1, "fresh"), qPrintable(LastMessage(failed)));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM stock WHERE name = 'fresh'"), Cell("1"));
  }
};

QTEST_MAIN(PgDeploymentTest)
#include "tst_pg_deployment.moc"
