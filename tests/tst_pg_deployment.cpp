// PostgreSQL as teams run it: behind a connection pooler in transaction
// pooling, on a standby or a server that only reads, with rights granted
// per column and rows kept from a role by policies.
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ado/AdoError.h"
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

  void aServerThatOnlyReadsSaysSoBeforeTyping_data() {
    QTest::addColumn<bool>("standby");
    QTest::addColumn<QString>("said");
    QTest::newRow("standby") << true << "standby";
    QTest::newRow("read-only default") << false << "default_transaction_read_only";
  }
  void aServerThatOnlyReadsSaysSoBeforeTyping() {
    QFETCH(bool, standby);
    QFETCH(QString, said);
    const QString source = sources_.Fresh(support::Driver::Postgres);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    BuildStock(sql);
    const QString readOnly = source + "ReadOnly";
    if (standby) {
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
    } else {
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
