// Table names chosen to break whatever builds statements from them: quotes,
// a statement separator, a dot, a blank, an underscore that a catalogue
// pattern would take as a wildcard, and letters beyond ASCII. Each table is
// listed once, opened, and edited through the wizard, and only it changes,
// on every driver (MariaDB in its default SQL mode and with ANSI_QUOTES).
// Their edited column has a name of quotes, a dot and a backslash, which
// its heading shows as it is.
#include <QTest>

#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/Settings.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Wizard.h"
#include "platform/ui/ProcessLauncher.h"
#include "support/MessageBoxRecorder.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

const std::vector<std::string> HostileNames = {
    "a\"b", "a`b", "x; DROP TABLE victim;--", "a.b", "My Table", "Gr\xC3\xBC\xC3\x9F" "e \xE8\xA1\xA8"};
const std::string HostileColumn = "c.o\"l\\'";

}  // namespace

class ReliabilityNamesTest : public QObject {
  Q_OBJECT
  Sources sources_{"Names"};
  QTemporaryDir config_;

  void Build(const QString& source, support::Driver driver) {
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE victim (id INTEGER PRIMARY KEY, v VARCHAR(10));\n"
        "INSERT INTO victim VALUES (1, 'safe');\n"
        // A unique index that allows NULL tells t_1's rows apart only
        // together with every other column; tx1's NOT NULL column of the
        // same name must not make it look otherwise.
        "CREATE TABLE t_1 (code VARCHAR(10), label VARCHAR(10), extra VARCHAR(10));\n"
        "CREATE UNIQUE INDEX t_1_code ON t_1 (code);\n"
        "INSERT INTO t_1 VALUES (NULL, 'n', 'e1');\n"
        "INSERT INTO t_1 VALUES (NULL, 'n', 'e2');\n"
        "CREATE TABLE tx1 (code VARCHAR(10) NOT NULL, other VARCHAR(10));\n"
        "CREATE UNIQUE INDEX tx1_code ON tx1 (code);\n"
        "INSERT INTO tx1 VALUES ('k', 'o')");
    for (const std::string& name : HostileNames) {
      sql.Exec("CREATE TABLE " + Quoted(name, driver) + " (id INTEGER PRIMARY KEY, " + Quoted(HostileColumn, driver) +
               " VARCHAR(40))");
      sql.Exec("INSERT INTO " + Quoted(name, driver) + " VALUES (1, 'in " + name.substr(0, 1) + "')");
    }
  }

  // Chooses the table on the chooser page and goes on to the editor.
  ui::DataGrid& Open(pages::Wizard& wizard, const std::string& name) {
    pages::Form2& chooser = wizard.form2();
    chooser.Show();
    const auto items = chooser.List1->findItems(QString::fromStdString(name), Qt::MatchExactly);
    if (items.size() != 1) QTest::qFail(qPrintable("not listed once: " + QString::fromStdString(name)), __FILE__, __LINE__);
    if (!items.isEmpty()) chooser.List1->setCurrentItem(items.front());
    chooser.PushButton3_Click();
    return *wizard.form3().DataGrid1;
  }

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    QVERIFY(config_.isValid());
    support::UsePrivateDataSources();
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    frame::SetProgramFolder(config_.filePath("program").toStdString());
    frame::SetRandomDraw([] { return 0.5f; });
    ui::SetProcessLauncher([](const std::string&) {});
    ui::SetProgramEnder([] {});
  }
  void cleanupTestCase() { sources_.Reset(); }

  void eachHostileNameOpensAndEditsItsOwnTable_data() {
    QTest::addColumn<support::Driver>("driver");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("sqlite") << support::Driver::Sqlite << QStringList{};
    QTest::newRow("postgres") << support::Driver::Postgres << QStringList{};
    QTest::newRow("mariadb") << support::Driver::MariaDb << QStringList{};
    QTest::newRow("mariadb ANSI_QUOTES") << support::Driver::MariaDb
                                         << QStringList{"InitStmt=SET SESSION sql_mode='ANSI_QUOTES'"};
  }
  void eachHostileNameOpensAndEditsItsOwnTable() {
    QFETCH(support::Driver, driver);
    QFETCH(QStringList, options);
    const QString source = sources_.Fresh(driver, options);
    QUORVANE_SKIP_WITHOUT(source);
    Build(source, driver);
    support::DirectSql sql(source);
    support::MessageBoxRecorder boxes;
    frame::WriteSetting(frame::AppName, frame::ProductName, frame::DataSourceNameKey, source.toStdString());
    pages::Wizard wizard;
    wizard.Start();
    QVERIFY(wizard.form2().isVisible());

    for (const std::string& name : HostileNames) {
      ui::DataGrid& grid = Open(wizard, name);
      QCOMPARE(wizard.form3().Label2->text(), " Now Editing: " + QString::fromStdString(name));
      QCOMPARE(grid.model() ? grid.model()->rowCount() : -1, 1);
      QCOMPARE(grid.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
               QString::fromStdString(HostileColumn));
      QVERIFY2(Commit(grid, 0, 1, QString::fromStdString("edited " + name)),
               boxes.boxes().empty() ? name.c_str() : boxes.boxes().back().text.c_str());
      QCOMPARE(sql.Scalar("SELECT " + Quoted(HostileColumn, driver) + " FROM " + Quoted(name, driver) +
                          " WHERE id = 1"),
               Cell("edited " + name));
      wizard.form3().PushButton1_Click();
    }
    for (const std::string& name : HostileNames)
      QCOMPARE(sql.Scalar("SELECT count(*) FROM " + Quoted(name, driver)), Cell("1"));

    // MariaDB has no row identity of its own for t_1's rows, which stay
    // read-only there.
    if (driver != support::Driver::MariaDb) {
      ui::DataGrid& t1 = Open(wizard, "t_1");
      const int first = Shown(t1, 0, 2) == "e1" ? 0 : 1;
      QVERIFY2(Commit(t1, first, 1, "edited"), boxes.boxes().empty() ? "" : boxes.boxes().back().text.c_str());
      QCOMPARE(sql.Query("SELECT extra, label FROM t_1 ORDER BY extra"),
               (Rows{{Cell("e1"), Cell("edited")}, {Cell("e2"), Cell("n")}}));
      wizard.form3().PushButton1_Click();
    }
    ui::DataGrid& tx1 = Open(wizard, "tx1");
    QVERIFY(Commit(tx1, 0, 1, "changed"));
    QCOMPARE(sql.Query("SELECT code, other FROM tx1"), (Rows{{Cell("k"), Cell("changed")}}));

    QCOMPARE(sql.Query("SELECT id, v FROM victim"), (Rows{{Cell("1"), Cell("safe")}}));
    QVERIFY2(boxes.boxes().empty(), boxes.boxes().empty() ? "" : boxes.boxes().front().text.c_str());
  }
};

QTEST_MAIN(ReliabilityNamesTest)
#include "tst_reliability_names.moc"
