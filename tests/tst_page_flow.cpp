// The wizard end to end on a real SQLite data source: start-up, the
// connection page, the table chooser and the editor, with the settings file
// in a private config folder.
#include <QAccessible>
#include <QDir>
#include <QHeaderView>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/Settings.h"
#include "pages/CompletionList.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Globals.h"
#include "pages/Wizard.h"
#include "platform/ado/CreationFailure.h"
#include "platform/store/GridStateFile.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/ProcessLauncher.h"
#include "platform/ui/RecordsetModel.h"
#include "support/DirectSql.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestDataSources.h"

using pages::Form1;
using pages::Form2;
using pages::Form3;

namespace {

const std::string kProduct = frame::ProductName;

std::string StoredName() {
  return frame::ReadSetting(frame::AppName, kProduct, frame::DataSourceNameKey, "<missing>");
}

QStringList Items(const QListWidget& list) {
  QStringList items;
  for (int row = 0; row < list.count(); ++row) items << list.item(row)->text();
  return items;
}

// What a screen reader says a control is called.
QString AccessibleName(QWidget* control) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
  return accessible ? accessible->text(QAccessible::Name) : QStringLiteral("<not accessible>");
}

}  // namespace

class PageFlowTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  std::unique_ptr<support::MessageBoxRecorder> boxes_;
  std::unique_ptr<pages::Wizard> wizard_;
  int programEnds_ = 0;
  std::vector<std::string> launches_;

  QString dbPath(const QString& name) const { return folder_.filePath(name + ".sqlite"); }

  const ui::MessageBoxRequest& lastBox() const { return boxes_->boxes().back(); }

  void startWizard() {
    wizard_ = std::make_unique<pages::Wizard>();
    wizard_->Start();
  }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    support::UsePrivateDataSources();
    support::AddSqliteDataSource("Shop", dbPath("shop"));
    support::AddSqliteDataSource("Other", dbPath("other"));
    support::AddSqliteDataSource("Empty", dbPath("empty"));
    support::DirectSql shop("Shop");
    shop.ExecScript(
        "CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT, city TEXT);\n"
        "INSERT INTO customers VALUES (1, 'Ada', 'Leeds'), (2, 'Bo', NULL), (3, '', 'Oslo');\n"
        "CREATE TABLE \"odd \"\"name\"\"\" (k INTEGER PRIMARY KEY, v TEXT);\n"
        "INSERT INTO \"odd \"\"name\"\"\" VALUES (7, 'quoted');\n"
        "CREATE TABLE sys_audit (id INTEGER);\n"
        "CREATE VIEW customer_names AS SELECT name FROM customers");
    support::DirectSql other("Other");
    other.ExecScript("CREATE TABLE planets (name TEXT);\nINSERT INTO planets VALUES ('Mars')");
    support::DirectSql empty("Empty");
    empty.ExecScript("CREATE VIEW just_one AS SELECT 1 AS one");
    frame::SetProgramFolder(folder_.filePath("program").toStdString());
    frame::SetRandomDraw([] { return 0.5f; });  // never the home page
    ui::SetProcessLauncher([this](const std::string& line) { launches_.push_back(line); });
    ui::SetProgramEnder([this] { ++programEnds_; });
  }

  void init() {
    QDir(folder_.filePath("config")).removeRecursively();
    qputenv("XDG_CONFIG_HOME", folder_.filePath("config").toUtf8());
    QDir(folder_.filePath("state")).removeRecursively();
    qputenv("XDG_STATE_HOME", folder_.filePath("state").toUtf8());
    QDir(folder_.filePath("program")).removeRecursively();
    QDir().mkpath(folder_.filePath("program"));
    boxes_ = std::make_unique<support::MessageBoxRecorder>();
    programEnds_ = 0;
    launches_.clear();
    pages::SelectedTable.clear();
    ado::testing::SetCreationFailure(std::nullopt);
  }

  void cleanup() {
    wizard_.reset();
    boxes_.reset();
    ado::testing::SetCreationFailure(std::nullopt);
  }

  void firstRunShowsAnEmptyConnectionPageAndNoMessage() {
    startWizard();
    Form1& form1 = wizard_->form1();
    QVERIFY(form1.isVisible());
    QVERIFY(form1.Text1->text().isEmpty());
    QVERIFY(boxes_->boxes().empty());
    QVERIFY(!wizard_->form2().isLoaded());
    QCOMPARE(form1.windowTitle(), QString("Quorvane Table Desk Suite"));
    QCOMPARE(ui::ApplicationTitleText(), std::string("Quorvane Table Desk"));
  }

  void typingWritesTheSettingOnEveryKeystroke() {
    startWizard();
    Form1& form1 = wizard_->form1();
    form1.Text1->setFocus();
    QTest::keyClicks(form1.Text1, "S");
    QCOMPARE(StoredName(), std::string("S"));
    // The known data sources are offered; the offer changes nothing stored.
    const pages::CompletionList* names = form1.Text1Completion;
    QVERIFY(names != nullptr);
    QCOMPARE(names->candidates(), QStringList({"Empty", "Other", "Shop"}));
    QCOMPARE(names->offered(), QStringList({"Shop"}));
    QCOMPARE(form1.Text1->text(), QString("S"));
    QTest::keyClicks(form1.Text1, "h");
    QCOMPARE(StoredName(), std::string("Sh"));
    QTest::keyClicks(form1.Text1, "op");
    QCOMPARE(StoredName(), std::string("Shop"));
    form1.Text1->clear();
    QCOMPARE(StoredName(), std::string());
  }

  void testConnectionSaysWhetherTheNameConnects() {
    startWizard();
    Form1& form1 = wizard_->form1();
    form1.Text1->setText("Shop");
    form1.PushButton7_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    QCOMPARE(lastBox().text, std::string("Connection successful."));
    QCOMPARE(lastBox().title, std::string("Quorvane Table Desk"));
    QCOMPARE(lastBox().details, std::string());
    QCOMPARE(form1.mousePointer(), int(ui::vbDefault));
    form1.Text1->setText("NoSuchSource");
    form1.PushButton7_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(2));
    QCOMPARE(lastBox().text, std::string("Could not connect."));
    // The driver's reason is in the details.
    QVERIFY2(lastBox().details.find("Data source name not found") != std::string::npos, lastBox().details.c_str());
    QVERIFY(form1.isVisible());
    // A file that is no database opens like one; its first read fails.
    QFile garbage(dbPath("garbage"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, '\x5a'));
    garbage.close();
    support::AddSqliteDataSource("Garbage", dbPath("garbage"));
    form1.Text1->setText("Garbage");
    form1.PushButton7_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(3));
    QCOMPARE(lastBox().text, std::string("Could not connect."));
    QVERIFY2(lastBox().details.find("not a database") != std::string::npos, lastBox().details.c_str());
    // Next opens it as the steps say, and the list's report says why it stays empty.
    form1.PushButton3_Click();
    QCOMPARE(wizard_->form2().List1->count(), 0);
    QVERIFY2(boxes_->boxes().size() > 3 && QString::fromStdString(boxes_->boxes()[3].text).contains("not a database"),
             boxes_->boxes().size() > 3 ? boxes_->boxes()[3].text.c_str() : "no report");
  }

  void nextWalksToTheEditorShowingEveryRowAndColumn() {
    startWizard();
    Form1& form1 = wizard_->form1();
    QCOMPARE(AccessibleName(form1.Text1), QString("Data Source Name"));
    form1.Text1->setText("Shop");
    form1.PushButton3_Click();
    Form2& form2 = wizard_->form2();
    QVERIFY(form2.isVisible());
    QVERIFY(!form1.isVisible());
    QCOMPARE(AccessibleName(form2.List1), QString("Which table do you want edit?"));
    QCOMPARE(Items(*form2.List1), (QStringList{"customers", "odd \"name\""}));
    QCOMPARE(form2.List1->currentRow(), 0);
    QVERIFY(form2.isEnabled());
    QCOMPARE(form2.mousePointer(), int(ui::vbDefault));
    form2.PushButton3_Click();
    Form3& form3 = wizard_->form3();
    QVERIFY(form3.isVisible());
    QVERIFY(!form2.isVisible());
    QCOMPARE(pages::SelectedTable, std::string("customers"));
    QCOMPARE(form3.Label2->text(), QString(" Now Editing: customers"));
    QCOMPARE(AccessibleName(form3.DataGrid1), QString("Now Editing: customers"));
    QAbstractItemModel* model = form3.DataGrid1->model();
    QVERIFY(model);
    QCOMPARE(model->columnCount(), 3);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("name"));
    QCOMPARE(model->index(0, 1).data().toString(), QString("Ada"));
    QCOMPARE(model->index(1, 2).data(ui::RecordsetModel::NullRole).toBool(), true);
    QCOMPARE(model->index(2, 1).data(ui::RecordsetModel::NullRole).toBool(), false);
    QCOMPARE(model->index(2, 1).data(Qt::EditRole).toString(), QString(""));
    QVERIFY(boxes_->boxes().empty());
    QCOMPARE(form2.mousePointer(), int(ui::vbDefault));
  }

  void aTableNamedWithADoubleQuoteOpens() {
    startWizard();
    wizard_->form1().Text1->setText("Shop");
    wizard_->form1().PushButton3_Click();
    Form2& form2 = wizard_->form2();
    form2.List1->setCurrentRow(1);
    form2.PushButton3_Click();
    QVERIFY(boxes_->boxes().empty());
    QAbstractItemModel* model = wizard_->form3().DataGrid1->model();
    QVERIFY(model);
    QCOMPARE(model->index(0, 1).data().toString(), QString("quoted"));
    QCOMPARE(wizard_->form3().Label2->text(), QString(" Now Editing: odd \"name\""));
    QCOMPARE(AccessibleName(wizard_->form3().DataGrid1), QString("Now Editing: odd \"name\""));
  }

  // On the chooser, Enter or a double-click on a table does what "Next >"
  // does; a single click only chooses.
  void enterOrADoubleClickOpensTheTable_data() {
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Return") << "Return" << true;
    QTest::newRow("Enter on the keypad") << "Enter" << true;
    QTest::newRow("double-click") << "double-click" << true;
    QTest::newRow("click") << "click" << false;
  }

  void enterOrADoubleClickOpensTheTable() {
    QFETCH(QString, gesture);
    QFETCH(bool, opens);
    startWizard();
    wizard_->form1().Text1->setText("Shop");
    wizard_->form1().PushButton3_Click();
    Form2& form2 = wizard_->form2();
    QListWidgetItem* table = form2.List1->item(1);
    QVERIFY(table);
    const QPoint onTable = form2.List1->visualItemRect(table).center();
    if (gesture == "double-click") {
      // A double-click's events: press and release, then the second press.
      QTest::mouseClick(form2.List1->viewport(), Qt::LeftButton, {}, onTable);
      QTest::mouseDClick(form2.List1->viewport(), Qt::LeftButton, {}, onTable);
    } else if (gesture == "click") {
      QTest::mouseClick(form2.List1->viewport(), Qt::LeftButton, {}, onTable);
    } else {
      form2.List1->setCurrentItem(table);
      QTest::keyClick(form2.List1, gesture == "Return" ? Qt::Key_Return : Qt::Key_Enter);
    }
    QCOMPARE(form2.List1->currentItem(), table);
    QCOMPARE(!form2.isVisible(), opens);
    QCOMPARE(wizard_->form3Exists() && wizard_->form3().isVisible(), opens);
    if (opens) QCOMPARE(wizard_->form3().Label2->text(), QString(" Now Editing: odd \"name\""));
    QVERIFY(boxes_->boxes().empty());
  }

  void aStoredNameThatConnectsLandsOnTheChooser() {
    frame::WriteSetting(frame::AppName, kProduct, frame::DataSourceNameKey, "Shop");
    startWizard();
    QVERIFY(wizard_->form2().isVisible());
    QVERIFY(!wizard_->form1().isVisible());
    QCOMPARE(wizard_->form2().List1->count(), 2);
    wizard_->form2().PushButton2_Click();
    QVERIFY(wizard_->form1().isVisible());
    QCOMPARE(wizard_->form1().Text1->text(), QString("Shop"));
    QVERIFY(boxes_->boxes().empty());
  }

  void aStoredNameThatFailsStaysOnTheConnectionPage() {
    frame::WriteSetting(frame::AppName, kProduct, frame::DataSourceNameKey, " Gone ");
    startWizard();
    QVERIFY(wizard_->form1().isVisible());
    QVERIFY(!wizard_->form2().isLoaded());
    QCOMPARE(wizard_->form1().Text1->text(), QString(" Gone "));
    QVERIFY(boxes_->boxes().empty());
  }

  void backThenAnotherNameRebuildsTheList() {
    startWizard();
    Form1& form1 = wizard_->form1();
    form1.Text1->setText("Shop");
    form1.PushButton3_Click();
    wizard_->form2().PushButton2_Click();
    QVERIFY(form1.isVisible());
    form1.Text1->setText("Other");
    form1.PushButton3_Click();
    QCOMPARE(Items(*wizard_->form2().List1), QStringList{"planets"});
    QCOMPARE(wizard_->form2().List1->currentRow(), 0);
  }

  void anEmptyDatabaseAsksForATable() {
    startWizard();
    wizard_->form1().Text1->setText("Empty");
    wizard_->form1().PushButton3_Click();
    Form2& form2 = wizard_->form2();
    QCOMPARE(form2.List1->count(), 0);
    QCOMPARE(form2.List1->currentRow(), -1);
    form2.PushButton3_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    QCOMPARE(lastBox().text, std::string("Please select a table"));
    QVERIFY(form2.isVisible());
    QVERIFY(!wizard_->form3Exists());
  }

  void openingASecondTableReleasesTheFirst() {
    startWizard();
    wizard_->form1().Text1->setText("Shop");
    wizard_->form1().PushButton3_Click();
    wizard_->form2().PushButton3_Click();
    std::weak_ptr<ado::Recordset> first = wizard_->form3().DataGrid1->dataSource();
    QVERIFY(!first.expired());
    wizard_->form3().PushButton1_Click();
    QVERIFY(wizard_->form2().isVisible());
    QVERIFY(!first.expired());  // going back keeps the binding
    wizard_->form2().List1->setCurrentRow(1);
    wizard_->form2().PushButton3_Click();
    QVERIFY(first.expired());
    QCOMPARE(wizard_->form3().Label2->text(), QString(" Now Editing: odd \"name\""));
    QCOMPARE(AccessibleName(wizard_->form3().DataGrid1), QString("Now Editing: odd \"name\""));
  }

  // The widths the user gives columns and the zoom come back with their
  // table, after Back and Next and after a restart, from a state file
  // beside the settings; a damaged one is read for what it holds intact.
  void widthsAndZoomAreRememberedPerTable_data() {
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("back and next") << false << false;
    QTest::newRow("restart") << true << false;
    QTest::newRow("restart over a damaged state file") << true << true;
  }
  void widthsAndZoomAreRememberedPerTable() {
    QFETCH(bool, restart);
    QFETCH(bool, damaged);
    store::GridStateFile state(frame::AppName);
    QCOMPARE(state.path(), folder_.filePath("state/Vantorell/grids.ini").toStdString());
    const store::GridLayout others{{{"name", 77}}, 0};
    if (damaged) {
      state.Write("Other", "planets", others);
      QFile file(QString::fromStdString(state.path()));
      QVERIFY(file.open(QIODevice::Append));
      file.write(QByteArray("\0\xff\x01 no line of ours\n\x02", 21));
      file.close();
    }
    const auto openCustomers = [&] {
      if (!wizard_) {
        startWizard();
        wizard_->form1().Text1->setText("Shop");
        wizard_->form1().PushButton3_Click();
      }
      wizard_->form2().List1->setCurrentRow(0);
      wizard_->form2().PushButton3_Click();
      return wizard_->form3().DataGrid1;
    };
    ui::DataGrid* grid = openCustomers();
    QTRY_VERIFY(grid->columnWidth(1) > 0 && grid->columnWidth(1) != grid->horizontalHeader()->defaultSectionSize());
    const qreal points = grid->font().pointSizeF();
    grid->horizontalHeader()->resizeSection(1, 213);  // as a drag of the heading's edge does
    QTest::keyClick(grid, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(grid->font().pointSizeF(), points + 2);
    if (restart) {
      wizard_.reset();
      startWizard();  // the stored name connects: on to the chooser
    } else {
      wizard_->form3().PushButton1_Click();
    }
    grid = openCustomers();
    QTRY_COMPARE(grid->columnWidth(1), 213);
    QCOMPARE(grid->font().pointSizeF(), points + 2);
    // Per table: another opens as it always did.
    wizard_->form3().PushButton1_Click();
    wizard_->form2().List1->setCurrentRow(1);
    wizard_->form2().PushButton3_Click();
    QCOMPARE(grid->font().pointSizeF(), points);
    QTRY_VERIFY(grid->columnWidth(1) != 213);
    QCOMPARE(state.Read("Shop", "customers"), (store::GridLayout{{{"name", 213}}, 2}));
    QCOMPARE(state.Read("Other", "planets"), damaged ? others : store::GridLayout{});
    // Not in the settings, whose only key is the data source's name.
    QCOMPARE(StoredName(), std::string("Shop"));
    QFile settings(folder_.filePath("config/Vantorell/settings.ini"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(!settings.readAll().contains("213"));
    QVERIFY(boxes_->boxes().empty());
  }

  void closingAnyPageEndsTheProgram() {
    startWizard();
    wizard_->form1().Text1->setText("Shop");
    wizard_->form1().PushButton3_Click();
    wizard_->form2().close();
    QCOMPARE(programEnds_, 1);
    wizard_->form1().close();
    QCOMPARE(programEnds_, 2);
  }

  void helpShowsTenLinesEachFollowedByTwoCarriageReturns() {
    startWizard();
    wizard_->form1().PushButton6_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    const std::string& text = lastBox().text;
    QCOMPARE(std::count(text.begin(), text.end(), '\r'), 20L);
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 0L);
    QVERIFY(text.starts_with("Here is how I connected to my Sybase database.\r\r1. "));
    QVERIFY(text.find("\r\r2. Applied for a Developer Key with ") != std::string::npos);
    QVERIFY(text.ends_with("9. Clicked 'Test Connection' in my program.\r\r"));
    QCOMPARE(lastBox().icon, ui::MessageIcon::None);
    QVERIFY(text.find('@') == std::string::npos);
  }

  void missingDataAccessIsReportedByEachHandler() {
    startWizard();
    ado::testing::SetCreationFailure("Class not registered");
    Form1& form1 = wizard_->form1();
    form1.Text1->setText("Shop");
    form1.PushButton7_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(2));
    QCOMPARE(boxes_->boxes()[0].title, std::string("Application Error"));
    QVERIFY(boxes_->boxes()[0].text.starts_with(
        "Class not registered\r\nin Dunmarra2021/08/31.Form1.PushButton7_Click at line 100\r\r"));
    QCOMPARE(boxes_->boxes()[1].text, std::string("Could not connect."));
    boxes_->clear();
    form1.PushButton3_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    QVERIFY(boxes_->boxes()[0].text.find("Form1.PushButton3_Click at line 100\r\r") !=
            std::string::npos);
    QVERIFY(form1.isVisible());
    QVERIFY(!wizard_->form2().isLoaded());
  }

  void aBrokenHandCursorIsReportedAndTheLoadGoesOn() {
    QFile cursor(QString::fromStdString(frame::HandCursorFilePath()));
    QVERIFY(cursor.open(QIODevice::WriteOnly));
    cursor.write("not a cursor at all");
    cursor.close();
    frame::WriteSetting(frame::AppName, kProduct, frame::DataSourceNameKey, "Shop");
    startWizard();
    // The connection page reports its own line 108, the chooser its own.
    QCOMPARE(boxes_->boxes().size(), size_t(2));
    QVERIFY(boxes_->boxes()[0].text.find("Form1.Form_Load at line 108\r\r") != std::string::npos);
    QVERIFY(boxes_->boxes()[1].text.find("Form2.Form_Load at line 108\r\r") != std::string::npos);
    QCOMPARE(wizard_->form2().windowTitle(), QString("Quorvane Table Desk Suite"));
    QCOMPARE(wizard_->form2().List1->count(), 2);
  }

  void aHomePageLaunchThatFailsIsReportedAtLine110() {
    frame::SetRandomDraw([] { return 0.06f; });  // draws 7
    ui::SetProcessLauncher([](const std::string&) { throw std::runtime_error("No opener"); });
    startWizard();
    frame::SetRandomDraw([] { return 0.5f; });
    ui::SetProcessLauncher([this](const std::string& line) { launches_.push_back(line); });
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    QVERIFY(boxes_->boxes()[0].text.starts_with(
        "No opener\r\nin Dunmarra2021/08/31.Form1.Form_Load at line 110\r\r"));
    QVERIFY(wizard_->form1().isVisible());
  }

  void aTableThatCannotBeOpenedShowsAnEmptyGrid() {
    startWizard();
    wizard_->form1().Text1->setText("Shop");
    wizard_->form1().PushButton3_Click();
    wizard_->form2().List1->addItem("vanished");
    wizard_->form2().List1->setCurrentRow(2);
    wizard_->form2().PushButton3_Click();
    QCOMPARE(boxes_->boxes().size(), size_t(1));
    QVERIFY(boxes_->boxes()[0].text.find("Form2.PushButton3_Click at line 126\r\r") !=
            std::string::npos);
    QVERIFY(wizard_->form3().isVisible());
    QVERIFY(!wizard_->form3().DataGrid1->model());
    QCOMPARE(wizard_->form3().Label2->text(), QString(" Now Editing: vanished"));
  }
};

QTEST_MAIN(PageFlowTest)
#include "tst_page_flow.moc"
