#include <QTemporaryDir>
#include <QtTest>

#include "db/DataSource.h"
#include "db/Sybase.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/Connection.h"
#include "platform/ado/ConnectionString.h"
#include "platform/ado/CreationFailure.h"
#include "platform/ado/Recordset.h"
#include "support/DirectSql.h"
#include "support/ScratchPostgres.h"
#include "support/TestDataSources.h"

namespace {

// Opens a connection the way every user of the data source does.
ado::ConnectionPtr OpenNamed(const std::string& name) {
  auto connection = ado::CreateConnection();
  connection->setProvider("MSDASQL");
  connection->Open("Data Source=" + name);
  return connection;
}

std::string OpenFailure(const std::string& connectionString, std::string* state = nullptr) {
  auto connection = ado::CreateConnection();
  connection->setProvider("MSDASQL");
  try {
    connection->Open(connectionString);
  } catch (const ado::Error& error) {
    if (state) *state = error.sqlState();
    if (connection->isOpen()) return "connection open after a failure";
    return error.what();
  }
  return {};
}

int OtherSessions(support::DirectSql& observer) {
  return std::stoi(observer
                       .Scalar("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                               "AND pid <> pg_backend_pid()")
                       .value());
}

}  // namespace

class TestAdoConnection : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;
  QString mainFile_;
  QString otherFile_;

 private slots:
  void initTestCase() {
    support::UsePrivateDataSources();
    QVERIFY(folder_.isValid());
    mainFile_ = folder_.filePath("main.sqlite");
    otherFile_ = folder_.filePath("other.sqlite");
    support::AddSqliteDataSource("QuorvaneLite", mainFile_);
    support::AddSqliteDataSource("QuorvaneOther", otherFile_);
    support::DirectSql("QuorvaneLite").Exec("CREATE TABLE in_main (id INTEGER)");
    support::DirectSql("QuorvaneOther").Exec("CREATE TABLE in_other (id INTEGER)");
  }

  void connectionStringsForTheDriverManager_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain name") << "Data Source=Sales" << "DSN=Sales";
    QTest::newRow("blanks kept") << "Data Source= Sales " << "DSN= Sales ";
    QTest::newRow("further keywords") << "Data Source=Sales;UID=bob;Fetch=5" << "DSN=Sales;UID=bob;Fetch=5";
    QTest::newRow("keyword letter case") << "data source=Sales" << "DSN=Sales";
    QTest::newRow("keyword first elsewhere") << "UID=bob;Data Source=Sales" << "DSN=Sales;UID=bob";
    QTest::newRow("non-ASCII name") << "Data Source=Übersicht" << "DSN=Übersicht";
  }
  void connectionStringsForTheDriverManager() {
    QFETCH(QString, given);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(ado::OdbcConnectionString(given.toStdString())), expected);
  }

  void emptyOrMissingNameIsRefusedBeforeTheDriverManager() {
    for (const char* text : {"Data Source=", "", "UID=bob", "Data Source=;UID=bob"}) {
      try {
        ado::OdbcConnectionString(text);
        QFAIL(qPrintable(QString("accepted: ") + text));
      } catch (const ado::Error& error) {
        QCOMPARE(QString::fromStdString(error.sqlState()), QString("IM002"));
      }
    }
  }

  void opensAndClosesADefinedDataSource() {
    auto connection = OpenNamed("QuorvaneLite");
    QVERIFY(connection->isOpen());
    auto tables = connection->OpenSchema(ado::adSchemaTables);
    bool found = false;
    for (; !tables->Eof(); tables->MoveNext()) found |= tables->FieldValue("TABLE_NAME").toString() == "in_main";
    QVERIFY(found);
    tables->Close();
    connection->Close();
    QVERIFY(!connection->isOpen());
    QVERIFY_THROWS_EXCEPTION(ado::Error, connection->Close());
    QVERIFY_THROWS_EXCEPTION(ado::Error, connection->OpenSchema(ado::adSchemaTables));
  }

  void refusedDataSourceNames_data() {
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("text");
    QTest::newRow("undefined") << "Data Source=NoSuchSource" << "IM002"
                               << "[unixODBC][Driver Manager]Data source name not found";
    QTest::newRow("empty") << "Data Source=" << "IM002" << "Data source name not found";
    QTest::newRow("leading blank") << "Data Source= QuorvaneLite" << "IM002" << "Data source name not found";
    QTest::newRow("trailing blank") << "Data Source=QuorvaneLite " << "IM002" << "Data source name not found";
    QTest::newRow("only blanks") << "Data Source=   " << "IM002" << "Data source name not found";
  }
  void refusedDataSourceNames() {
    QFETCH(QString, connectionString);
    QFETCH(QString, state);
    QFETCH(QString, text);
    std::string sqlState;
    const QString failure = QString::fromStdString(OpenFailure(connectionString.toStdString(), &sqlState));
    QVERIFY2(failure.contains(text), qPrintable(failure));
    QVERIFY2(failure.contains("SQLSTATE " + state) || state == QString::fromStdString(sqlState), qPrintable(failure));
    QCOMPARE(QString::fromStdString(sqlState), state);
  }

  void semicolonPassesFurtherKeywordsToTheDriver() {
    // The driver takes Database from the connection string over the data
    // source's own, so the table of the other file must be visible.
    auto connection = OpenNamed("QuorvaneLite;Database=" + otherFile_.toStdString());
    auto recordset = std::make_shared<ado::Recordset>();
    recordset->Open("SELECT count(*) AS n FROM in_other", connection, ado::adOpenForwardOnly, ado::adLockReadOnly);
    QCOMPARE(QString::fromStdString(recordset->FieldValue("n").toString()), QString("0"));
  }

  void onlyTheOdbcProviderIsKnown() {
    auto connection = ado::CreateConnection();
    connection->setProvider("SQLOLEDB");
    try {
      connection->Open("Data Source=QuorvaneLite");
      QFAIL("opened with a foreign provider");
    } catch (const ado::Error& error) {
      QVERIFY2(QString(error.what()).contains("SQLOLEDB"), error.what());
    }
    QVERIFY(!connection->isOpen());
    connection->setProvider("msdasql");
    connection->Open("Data Source=QuorvaneLite");
    QVERIFY(connection->isOpen());
    QVERIFY_THROWS_EXCEPTION(ado::Error, connection->setProvider("SQLOLEDB"));
    QVERIFY_THROWS_EXCEPTION(ado::Error, connection->Open("Data Source=QuorvaneLite"));
  }

  void driverDiagnosticsReachTheError() {
    auto connection = OpenNamed("QuorvaneLite");
    auto recordset = std::make_shared<ado::Recordset>();
    try {
      recordset->Open("SELECT * FROM no_such_table", connection, ado::adOpenForwardOnly, ado::adLockReadOnly);
      QFAIL("query of a missing table succeeded");
    } catch (const ado::Error& error) {
      const QString text = error.what();
      QVERIFY2(text.contains("no such table: no_such_table"), qPrintable(text));
      QVERIFY2(text.contains("SQLSTATE " + QString::fromStdString(error.sqlState())), qPrintable(text));
      QVERIFY(!error.sqlState().empty());
    }
    QVERIFY(!recordset->isOpen());
  }

  void cursorLocationTakesOnlyServerOrClient() {
    auto connection = ado::CreateConnection();
    QCOMPARE(connection->cursorLocation(), int(ado::adUseServer));
    connection->setCursorLocation(ado::adUseClient);
    QCOMPARE(connection->cursorLocation(), int(ado::adUseClient));
    QVERIFY_THROWS_EXCEPTION(ado::Error, connection->setCursorLocation(1));
    QCOMPARE(connection->cursorLocation(), int(ado::adUseClient));
  }

  void creationFailureCanBeInjected() {
    ado::testing::SetCreationFailure("The data-access components are missing.");
    QVERIFY_THROWS_EXCEPTION(ado::Error, ado::CreateConnection());
    db::SetDataSourceNameReader([] { return std::string("QuorvaneLite"); });
    // The connectability check does not catch a failed creation.
    QVERIFY_THROWS_EXCEPTION(ado::Error, db::ConnectToSybase());
    ado::testing::SetCreationFailure(std::nullopt);
    QVERIFY(ado::CreateConnection() != nullptr);
    QVERIFY(db::ConnectToSybase());
  }

  void connectabilityCheckReadsTheNameEachTime() {
    std::string name = "QuorvaneLite";
    db::SetDataSourceNameReader([&name] { return name; });
    QVERIFY(db::ConnectToSybase());
    name = "NoSuchSource";
    QVERIFY(!db::ConnectToSybase());
    name = "";
    QVERIFY(!db::ConnectToSybase());
    name = " QuorvaneLite";
    QVERIFY(!db::ConnectToSybase());
    name = "QuorvaneLite;Database=" + otherFile_.toStdString();
    QVERIFY(db::ConnectToSybase());
    db::SetDataSourceNameReader({});
  }

  void openingUsesTheOdbcProviderAndTheCurrentName() {
    db::SetDataSourceNameReader([] { return std::string("QuorvaneOther"); });
    QCOMPARE(QString::fromStdString(db::ConnectionStringFor(" a;b ")), QString("Data Source= a;b "));
    auto connection = ado::CreateConnection();
    connection->setProvider("Something Else");
    db::OpenDataSourceConnection(*connection);
    QCOMPARE(QString::fromStdString(connection->provider()), QString("MSDASQL"));
    QVERIFY(connection->isOpen());
    db::SetDataSourceNameReader({});
  }

  void releasingTheLastReferenceClosesThePostgresSession() {
    QUORVANE_REQUIRE_POSTGRES(server);
    support::ScratchPostgres scratch(server, "QuorvanePgSessions");
    support::DirectSql observer("QuorvanePgSessions");
    QCOMPARE(OtherSessions(observer), 0);

    auto connection = OpenNamed("QuorvanePgSessions");
    QCOMPARE(OtherSessions(observer), 1);
    auto recordset = std::make_shared<ado::Recordset>();
    recordset->Open("SELECT 1 AS one", connection, ado::adOpenForwardOnly, ado::adLockReadOnly);
    connection.reset();  // the recordset keeps it
    QCOMPARE(OtherSessions(observer), 1);
    recordset.reset();
    // The server ends the backend after the client has gone; wait for it.
    QTRY_COMPARE_WITH_TIMEOUT(OtherSessions(observer), 0, 20000);

    db::SetDataSourceNameReader([] { return std::string("QuorvanePgSessions"); });
    QVERIFY(db::ConnectToSybase());
    QTRY_COMPARE_WITH_TIMEOUT(OtherSessions(observer), 0, 20000);
    db::SetDataSourceNameReader({});
  }

  void refusedPostgresLoginCarriesTheServerMessage() {
    QUORVANE_REQUIRE_POSTGRES(server);
    support::AddPostgresDataSource("QuorvanePgMissingDb", server, "quorvane_no_such_database");
    std::string state;
    const QString failure = QString::fromStdString(OpenFailure("Data Source=QuorvanePgMissingDb", &state));
    QVERIFY2(failure.contains("quorvane_no_such_database"), qPrintable(failure));
    QVERIFY(!state.empty());
    support::RemoveDataSource("QuorvanePgMissingDb");
  }

  void closingTheConnectionEndsItsRecordsets() {
    auto connection = OpenNamed("QuorvaneLite");
    auto recordset = std::make_shared<ado::Recordset>();
    recordset->Open("SELECT id FROM in_main", connection, ado::adOpenForwardOnly, ado::adLockReadOnly);
    connection->Close();
    QVERIFY_THROWS_EXCEPTION(ado::Error, recordset->Eof());
  }
};

QTEST_GUILESS_MAIN(TestAdoConnection)
#include "tst_ado_connection.moc"
