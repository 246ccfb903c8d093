#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <memory>

#include "db/DataSource.h"
#include "db/Sybase.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/CreationFailure.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/EventLoop.h"
#include "platform/ui/PacedListFill.h"
#include "support/DirectSql.h"
#include "support/MessageBoxRecorder.h"
#include "support/EditingFixture.h"
#include "support/TestDataSources.h"

namespace {

const QString Location = "in Dunmarra2021/08/31.Sybase.AddTablesToSybaseListbox ";

QStringList Items(const QListWidget& list) {
  QStringList items;
  for (int row = 0; row < list.count(); ++row) items << list.item(row)->text();
  return items;
}

// Counts how often the event loop runs: each run delivers the one pending
// tick, and the tick posts the next one for the following run.
class LoopCounter : public QObject {
 public:
  LoopCounter() { Post(); }
  int runs = 0;

 protected:
  void customEvent(QEvent*) override {
    ++runs;
    Post();
  }

 private:
  // The event queue takes ownership of posted events.
  void Post() { QCoreApplication::postEvent(this, std::make_unique<QEvent>(QEvent::User).release()); }
};

void UseName(const QString& name) {
  db::SetDataSourceNameReader([name] { return name.toStdString(); });
}

}  // namespace

class TestCatalogue : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;

 private slots:
  void initTestCase() {
    support::UsePrivateDataSources();
    QVERIFY(folder_.isValid());
    support::AddSqliteDataSource("CatalogueLite", folder_.filePath("catalogue.sqlite"));
    support::AddSqliteDataSource("CatalogueEmpty", folder_.filePath("empty.sqlite"));
    support::DirectSql sql("CatalogueLite");
    sql.ExecScript(
        "CREATE TABLE Customers (id INTEGER);\n"
        "CREATE TABLE MySystemLog (id INTEGER);\n"
        "CREATE TABLE EasySync (id INTEGER);\n"
        "CREATE TABLE sys_audit (id INTEGER);\n"
        "CREATE TABLE \"with blank \" (id INTEGER);\n"
        "CREATE TABLE \"quo\"\"te\" (id INTEGER);\n"
        "CREATE TABLE \"Grüße\" (id INTEGER);\n"
        "CREATE TABLE Orders (id INTEGER);\n"
        "CREATE TABLE Tickets (id INTEGER PRIMARY KEY AUTOINCREMENT);\n"
        "INSERT INTO Tickets DEFAULT VALUES;\n"
        "CREATE VIEW customer_view AS SELECT id FROM Customers;\n");
  }

  void cleanup() {
    db::SetDataSourceNameReader({});
    ado::testing::SetCreationFailure(std::nullopt);
  }

  void listsPlainTablesWithoutSysInRowsetOrder() {
    support::MessageBoxRecorder boxes;
    UseName("CatalogueLite");
    QListWidget list;
    list.addItem("stale item");
    db::AddTablesToSybaseListbox(list);
    QCOMPARE(boxes.boxes().size(), std::size_t(0));

    // Not SQLite's own sqlite_sequence, which AUTOINCREMENT made.
    QStringList expected{"Customers", "with blank ", "quo\"te", "Grüße", "Orders", "Tickets"};
    QStringList listed = Items(list);
    QStringList sorted = listed;
    sorted.sort();
    expected.sort();
    QCOMPARE(sorted, expected);

    // The order is the one the rowset delivers.
    auto connection = ado::CreateConnection();
    connection->Open("Data Source=CatalogueLite");
    auto tables = connection->OpenSchema(ado::adSchemaTables);
    QStringList delivered;
    for (; !tables->Eof(); tables->MoveNext()) {
      const QString name = QString::fromStdString(tables->FieldValue("TABLE_NAME").toString());
      if (listed.contains(name)) delivered << name;
    }
    QCOMPARE(listed, delivered);
  }

  void namesReachTheListOncePerFrameInTheirOrder() {
    QListWidget list;
    list.addItem("kept");
    {
      ui::PacedListFill fill(list, std::chrono::hours(1));
      fill.Add("first");
      QCOMPARE(Items(list), (QStringList{"kept", "first"}));  // the first name shows at once
      fill.Add("second");
      fill.Add("third");
      QCOMPARE(list.count(), 2);  // the others wait for the next frame
      fill.Flush();
      QCOMPARE(Items(list), (QStringList{"kept", "first", "second", "third"}));
      fill.Add("fourth");
      fill.Add("fifth");
      QCOMPARE(list.count(), 4);
    }
    // The end of the fill adds what was waiting.
    QCOMPARE(Items(list).mid(4), (QStringList{"fourth", "fifth"}));

    ui::PacedListFill everyTurn(list, std::chrono::milliseconds(0));
    everyTurn.Add("sixth");
    everyTurn.Add("seventh");
    QCOMPARE(Items(list).mid(6), (QStringList{"sixth", "seventh"}));
  }

  void secondCallLeavesOneCopyOfEachName() {
    support::MessageBoxRecorder boxes;
    UseName("CatalogueLite");
    QListWidget list;
    db::AddTablesToSybaseListbox(list);
    const QStringList first = Items(list);
    db::AddTablesToSybaseListbox(list);
    QCOMPARE(Items(list), first);
    QCOMPARE(first.size(), 6);
  }

  void databaseWithoutTablesGivesEmptyList() {
    support::MessageBoxRecorder boxes;
    UseName("CatalogueEmpty");
    QListWidget list;
    list.addItem("stale item");
    db::AddTablesToSybaseListbox(list);
    QCOMPARE(list.count(), 0);
    QVERIFY(boxes.boxes().empty());
  }

  // A database file that opens but cannot be read never passes for an
  // empty one: the catalogue's report says why, as does Test Connection.
  void unreadableDatabasesAreReported_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("random bytes") << "garbage" << "file is not a database";
    QTest::newRow("locked by another program") << "locked" << "database is locked";
    // The window turns while the list waits for the lock, and Esc ends the wait.
    QTest::newRow("locked, Esc pressed") << "locked-esc" << "you stopped the wait for the database's lock";
    QTest::newRow("a folder") << "folder" << "connect failed";
  }
  void unreadableDatabasesAreReported() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString file = folder_.filePath("unreadable-" + kind + ".sqlite");
    const QString source = "Unreadable" + kind;
    const bool escape = kind.endsWith("-esc");
    support::AddSqliteDataSource(source, file, {escape ? "Timeout=3000" : "Timeout=200"});
    std::unique_ptr<support::DirectSql> holder;
    if (kind == "garbage") {
      QFile garbage(file);
      QVERIFY(garbage.open(QIODevice::WriteOnly));
      garbage.write(QByteArray(8192, '\x7f'));
    } else if (kind == "folder") {
      QVERIFY(QDir().mkpath(file));
    } else {
      holder = std::make_unique<support::DirectSql>(source);
      holder->ExecScript("CREATE TABLE t (id INTEGER);\nBEGIN EXCLUSIVE;\nINSERT INTO t VALUES (1)");
    }
    support::MessageBoxRecorder boxes;
    UseName(source);
    QListWidget list;
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &list, [&] {
      if (++turns == 10 && escape) QTest::keyClick(&list, Qt::Key_Escape);
    });
    ticker.start(20);
    db::AddTablesToSybaseListbox(list);
    ticker.stop();
    if (escape) QVERIFY(turns >= 10);
    QCOMPARE(list.count(), 0);
    QVERIFY(!boxes.boxes().empty());
    const QString report = QString::fromStdString(boxes.boxes()[0].text);
    QVERIFY2(report.contains(reason) && report.contains(Location), qPrintable(report));

    auto connection = ado::CreateConnection();
    QVERIFY_THROWS_EXCEPTION(ado::Error, {
      connection->Open("Data Source=" + source.toStdString());
      connection->CheckReadable();
    });
    if (holder) {
      // Loaded again for the same connection, the list does not wait for
      // the lock again (nor look whether it has gone): the same report, at
      // once. A new connection asked for reads the catalogue anew.
      const std::size_t reported = boxes.boxes().size();
      holder.reset();
      db::AddTablesToSybaseListbox(list);
      QCOMPARE(boxes.boxes().size(), 2 * reported);
      QCOMPARE(boxes.boxes()[reported].text, boxes.boxes()[0].text);
      QVERIFY(db::ConnectToSybase());
      db::AddTablesToSybaseListbox(list);
      QCOMPARE(Items(list), QStringList{"t"});
    }
  }

  void failedConnectionReportsOpenAndSchemaThenEnds() {
    support::MessageBoxRecorder boxes;
    UseName("NoSuchCatalogue");
    QListWidget list;
    list.addItem("stale item");
    db::AddTablesToSybaseListbox(list);
    QCOMPARE(list.count(), 0);  // cleared even though nothing could be read
    QCOMPARE(boxes.boxes().size(), std::size_t(2));
    const QString open = QString::fromStdString(boxes.boxes()[0].text);
    const QString schema = QString::fromStdString(boxes.boxes()[1].text);
    QVERIFY2(open.contains("Data source name not found"), qPrintable(open));
    QVERIFY2(open.contains("\r\n" + Location + "at line 106\r\r"), qPrintable(open));
    QVERIFY2(schema.contains("\r\n" + Location + "at line 108\r\r"), qPrintable(schema));
    QCOMPARE(QString::fromStdString(boxes.boxes()[0].title), QString("Application Error"));
    QVERIFY(boxes.boxes()[0].icon == ui::MessageIcon::Warning);
  }

  void missingConnectionObjectReportsEachStepThatNeedsIt() {
    support::MessageBoxRecorder boxes;
    UseName("CatalogueLite");
    ado::testing::SetCreationFailure("The data-access components cannot be created.");
    QListWidget list;
    list.addItem("stale item");
    db::AddTablesToSybaseListbox(list);
    QCOMPARE(list.count(), 0);
    QStringList lines;
    for (const auto& box : boxes.boxes()) {
      const QString text = QString::fromStdString(box.text);
      lines << text.section("at line ", 1).section('\r', 0, 0);
    }
    QCOMPARE(lines, (QStringList{"100", "104", "106", "108"}));
    QVERIFY(QString::fromStdString(boxes.boxes()[0].text).startsWith("The data-access components cannot be created.\r\n"));
  }

  void eventLoopRunsOncePerTableRow() {
    support::MessageBoxRecorder boxes;
    LoopCounter calibration;
    ui::DoEvents();
    ui::DoEvents();
    QCOMPARE(calibration.runs, 2);

    UseName("CatalogueLite");
    QListWidget list;
    LoopCounter counter;
    db::AddTablesToSybaseListbox(list);
    // Nine rows of type TABLE, listed or not; the view does not count.
    QCOMPARE(counter.runs, 9);
  }

  // A server lists each name that an unqualified name opens, once, in the
  // schema it opens there, and nothing of other databases or schemas, nor
  // the server's own.
  void serversListWhatAnUnqualifiedNameOpens_data() {
    QTest::addColumn<support::Driver>("driver");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("twinSchema");  // where the listed "twin" lives
    QTest::newRow("postgres") << support::Driver::Postgres
        << "CREATE SCHEMA north;\nCREATE SCHEMA south;\nCREATE TABLE north.twin (id INTEGER);\n"
           "CREATE TABLE public.twin (id INTEGER);\nCREATE TABLE south.away (id INTEGER);\n"
           "CREATE TABLE public.solo (id INTEGER);\nCREATE TABLE public.\"Mixed Case\" (id INTEGER);\n"
           "CREATE TABLE public.system_notes (id INTEGER);\nCREATE VIEW public.solo_view AS SELECT id FROM solo;\n"
           "CREATE TABLE north.keyed (id INTEGER);\nCREATE INDEX hidden ON north.keyed (id);\n"
           "CREATE TABLE public.hidden (id INTEGER);\n"
           "ALTER DATABASE @ SET search_path = north, public"
        << QStringList{"Mixed Case", "keyed", "solo", "twin"} << "north";
    QTest::newRow("mariadb") << support::Driver::MariaDb
        << "CREATE TABLE twin (id INTEGER);\nCREATE TABLE solo (id INTEGER);\n"
           "CREATE TABLE `Mixed Case` (id INTEGER);\nCREATE TABLE `back``quote` (id INTEGER);\n"
           "CREATE TABLE system_notes (id INTEGER);\nCREATE VIEW solo_view AS SELECT id FROM solo;\n"
           "CREATE DATABASE IF NOT EXISTS @_other;\nCREATE TABLE @_other.away (id INTEGER)"
        << QStringList{"Mixed Case", "back`quote", "solo", "twin"} << "";
  }
  void serversListWhatAnUnqualifiedNameOpens() {
    QFETCH(support::Driver, driver);
    QFETCH(QString, setup);
    QFETCH(QStringList, listed);
    QFETCH(QString, twinSchema);
    reliability::Sources sources("Catalogue");
    const QString source = sources.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript(setup.replace("@", sources.database()).toStdString());
    support::MessageBoxRecorder boxes;
    UseName(source);
    QListWidget list;
    db::AddTablesToSybaseListbox(list);
    QVERIFY(boxes.boxes().empty());
    QStringList items = Items(list);
    items.sort();
    QCOMPARE(items, listed);

    auto connection = ado::CreateConnection();
    connection->Open("Data Source=" + source.toStdString());
    auto tables = connection->OpenSchema(ado::adSchemaTables);
    for (; !tables->Eof(); tables->MoveNext())
      if (tables->FieldValue("TABLE_NAME").toString() == "twin")
        QCOMPARE(QString::fromStdString(tables->FieldValue("TABLE_SCHEMA").toString()), twinSchema);
    // Every name listed opens its table.
    for (const QString& name : listed)
      QVERIFY2(support::OpenTable(source, name.toStdString())->isOpen(), qPrintable(name));
    if (driver == support::Driver::MariaDb) sql.Exec("DROP DATABASE " + sources.database().toStdString() + "_other");
  }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
