// The connection page as a person uses it: real X key presses and clicks
// (xdotool, through the XTEST extension) at a person's pace, on an Xvfb
// screen with openbox, run by under-openbox.sh. Only the demo data source is
// defined, so the box offers it as a completion while the name typed begins
// like it.
#include <QAbstractItemView>
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/Settings.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Wizard.h"
#include "platform/ui/ProcessLauncher.h"
#include "support/DirectSql.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestDataSources.h"
#include "support/XInput.h"

using support::ClickAt;
using support::RunClient;
using support::Xdotool;

namespace {

const QString kDemo = QStringLiteral("QuorvaneDemo");

QString StoredName() {
  return QString::fromStdString(
      frame::ReadSetting(frame::AppName, frame::ProductName, frame::DataSourceNameKey, "<missing>"));
}

// The completion list on the screen, if one is open.
QAbstractItemView* OpenCompletionList() {
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* list = qobject_cast<QAbstractItemView*>(window); list && list->isVisible()) return list;
  return nullptr;
}

}  // namespace

class ConnectionTypingTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  std::unique_ptr<support::MessageBoxRecorder> boxes_;
  std::unique_ptr<pages::Wizard> wizard_;

  // Each box shown so far, by its text.
  QStringList boxTexts() const {
    QStringList texts;
    for (const ui::MessageBoxRequest& box : boxes_->boxes()) texts << QString::fromStdString(box.text);
    return texts;
  }

  // Types the text with one real key press per character.
  QString type(const QString& text, int millisecondsPerKey) {
    return Xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QString::number(millisecondsPerKey),
                    QStringLiteral("--"), text});
  }

  // One step of a gesture (see gestureWithTheListOpen_data); empty when done.
  QString perform(const QString& step, QAbstractItemView& list) {
    pages::Form1& form1 = wizard_->form1();
    const QString verb = step.section(' ', 0, 0);
    const QString target = step.section(' ', 1);
    if (verb == QLatin1String("key"))
      return Xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("200")} +
                     target.split(' '));
    if (verb == QLatin1String("away")) {
      // The window manager gives another program's new window the focus,
      // and gives it back to the page when that window goes.
      const QString failure =
          RunClient(QStringLiteral("xmessage"), {QStringLiteral("-timeout"), QStringLiteral("2"), step}, [&] {
            return QTest::qWaitFor([&] { return !form1.isActiveWindow(); }, 2000)
                       ? QString()
                       : QStringLiteral("the other program's window did not take the focus");
          });
      if (!failure.isEmpty() || QTest::qWaitForWindowActive(&form1)) return failure;
      return QStringLiteral("the page did not get the focus back");
    }
    const int button = verb == QLatin1String("right-click") ? 3 : 1;
    if (target == QLatin1String("list"))
      return ClickAt(list.viewport()->mapToGlobal(list.visualRect(list.model()->index(0, 0)).center()), button);
    QWidget* widget = target == QLatin1String("box") ? static_cast<QWidget*>(form1.Text1) : nullptr;
    for (QPushButton* pushButton : {form1.PushButton3, form1.PushButton7})
      if (pushButton->text() == target) widget = pushButton;
    if (!widget) return QStringLiteral("no such step: ") + step;
    return ClickAt(widget->mapToGlobal(widget->rect().center()), button);
  }

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "needs an X11 display with a window manager; run it through under-openbox.sh");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(), "xdotool is not installed");
    QVERIFY(folder_.isValid());
    support::UsePrivateDataSources();
    support::AddSqliteDataSource(kDemo, folder_.filePath("demo.sqlite"));
    support::DirectSql(kDemo).ExecScript("CREATE TABLE plants (id INTEGER PRIMARY KEY, name TEXT)");
    frame::SetProgramFolder(folder_.filePath("no-such-program-folder").toStdString());
    frame::SetRandomDraw([] { return 0.5f; });  // never the home page
    ui::SetProcessLauncher([](const std::string&) {});
  }

  // Each case starts the program afresh with no stored name: the connection
  // page, active, with the focus in the empty name box.
  void init() {
    QDir(folder_.filePath("config")).removeRecursively();
    qputenv("XDG_CONFIG_HOME", folder_.filePath("config").toUtf8());
    boxes_ = std::make_unique<support::MessageBoxRecorder>();
    wizard_ = std::make_unique<pages::Wizard>();
    wizard_->Start();
    pages::Form1& form1 = wizard_->form1();
    QVERIFY(QTest::qWaitForWindowActive(&form1));
    QTRY_VERIFY(form1.Text1->hasFocus());
  }

  void cleanup() {
    wizard_.reset();
    boxes_.reset();
  }

  void everyKeyLeavesExactlyWhatWasTyped_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("millisecondsPerKey");
    // Names that begin like the demo data source and then part from it,
    // one that never does, and the data source's own name.
    for (const char* name : {"quarterly", "QtdNoSuchDsn", "QtdGreenhouse", "QuorvaneDemo", "Shop"})
      for (int pace : {50, 200})
        QTest::addRow("%s at %d ms", name, pace) << QString::fromLatin1(name) << pace;
  }

  void everyKeyLeavesExactlyWhatWasTyped() {
    QFETCH(QString, name);
    QFETCH(int, millisecondsPerKey);
    QLineEdit* box = wizard_->form1().Text1;
    // What the box and the settings file held after each change of the text.
    QStringList seen;
    connect(box, &QLineEdit::textChanged, this,
            [&](const QString& text) { seen << text + QStringLiteral(" | stored ") + StoredName(); });
    const QString failure = type(name, millisecondsPerKey);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    // A shortfall shows in the comparison below, with all that was seen.
    (void)QTest::qWaitFor([&] { return seen.size() >= name.size(); }, 2000);
    QTest::qWait(100);  // and nothing more follows
    QStringList expected;
    for (qsizetype length = 1; length <= name.size(); ++length)
      expected << name.left(length) + QStringLiteral(" | stored ") + name.left(length);
    QCOMPARE(seen, expected);
    QCOMPARE(box->text(), name);
    QCOMPARE(StoredName(), name);
  }

  // With the completion list open, what a gesture does: steps separated by
  // "; ", each "key" with xdotool's key names, "click" or "right-click" with
  // a button's caption, "list" (the offered name) or "box", or "away" (another
  // program takes the focus for a while).
  void gestureWithTheListOpen_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QString>("outcome");
    const QString picked = QStringLiteral("box QuorvaneDemo, selected , stored QuorvaneDemo, ");
    const QString kept = QStringLiteral("box quo, selected , stored quo, boxes [], on Form1");
    QTest::newRow("one click on Test Connection")
        << kDemo << "click Test Connection" << picked + "boxes [Connection successful.], on Form1";
    QTest::newRow("one click on Next") << kDemo << "click Next >" << picked + "boxes [], on Form2";
    QTest::newRow("a click on the offered name") << "quo" << "click list" << picked + "boxes [], on Form1";
    QTest::newRow("Enter on the offered name") << "quo" << "key Down Return" << picked + "boxes [], on Form1";
    QTest::newRow("Tab on the offered name") << "quo" << "key Down Tab" << picked + "boxes [], on Form1";
    QTest::newRow("moving onto the offered name") << "quo" << "key Down" << kept;
    QTest::newRow("Escape") << "quo" << "key Escape" << kept;
    // The focus moving back to the box selects the whole text, as always;
    // the focus lent to a menu or to another program does not.
    QTest::newRow("Tab away and back")
        << "quo" << "key Tab shift+Tab" << "box quo, selected quo, stored quo, boxes [], on Form1";
    QTest::newRow("Tab away and a click back")
        << "quo" << "key Tab; click box" << "box quo, selected quo, stored quo, boxes [], on Form1";
    QTest::newRow("the box's menu") << "quo" << "right-click box; key Escape" << kept;
    QTest::newRow("another program") << "quo" << "away" << kept;
  }

  void gestureWithTheListOpen() {
    QFETCH(QString, typed);
    QFETCH(QString, gesture);
    QFETCH(QString, outcome);
    pages::Form1& form1 = wizard_->form1();
    const QString failure = type(typed, 100);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QTRY_VERIFY2(OpenCompletionList() != nullptr, "the completion list did not open");
    QAbstractItemView* list = OpenCompletionList();
    QTRY_COMPARE(list->model()->rowCount(), 1);
    QTest::qWait(200);
    for (const QString& step : gesture.split(QStringLiteral("; "))) {
      const QString stepFailure = perform(step, *list);
      QVERIFY2(stepFailure.isEmpty(), qPrintable(stepFailure));
    }
    auto state = [&] {
      return QStringLiteral("box %1, selected %2, stored %3, boxes [%4], on %5")
          .arg(form1.Text1->text(), form1.Text1->selectedText(), StoredName(),
               boxTexts().join(QStringLiteral("; ")),
               wizard_->form2().isVisible() && !form1.isVisible() ? QStringLiteral("Form2")
                                                                   : QStringLiteral("Form1"));
    };
    QTRY_COMPARE_WITH_TIMEOUT(state(), outcome, 3000);
    QTest::qWait(300);  // and nothing more follows
    QCOMPARE(state(), outcome);
  }
};

QTEST_MAIN(ConnectionTypingTest)
#include "wm_connection_typing.moc"
