#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <stdexcept>
#include <vector>

#include "frame/ErrorReport.h"
#include "platform/ui/MessageBox.h"

namespace {

constexpr std::string_view ResizeLocation = "in Dunmarra2021/08/31.Form3.Form_Resize ";
constexpr std::string_view LoadLocation = "in Dunmarra2021/08/31.Form3.Form_Load ";

struct Report {
  std::string description;
  std::string location;
  int line = 0;
};

// Splits a captured report back into its parts, checking the fixed frame
// around them on the way.
Report Parse(const ui::MessageBoxRequest& box) {
  Report report;
  const std::string& text = box.text;
  const auto breakAt = text.find("\r\n");
  const auto lineAt = text.find("at line ", breakAt);
  const auto requestAt = text.find("\r\rPlease email screenshot of this message to ", lineAt);
  if (breakAt == std::string::npos || lineAt == std::string::npos || requestAt == std::string::npos) {
    return report;
  }
  report.description = text.substr(0, breakAt);
  report.location = text.substr(breakAt + 2, lineAt - breakAt - 2);
  report.line = std::stoi(text.substr(lineAt + 8, requestAt - lineAt - 8));
  return report;
}

void ThrowFromCalledRoutine() { throw std::runtime_error("deep failure"); }

}  // namespace

class ErrorReportTest : public QObject {
  Q_OBJECT

 private:
  std::vector<ui::MessageBoxRequest> boxes_;

 private slots:
  void init() {
    boxes_.clear();
    ui::SetMessageBoxHandler([this](const ui::MessageBoxRequest& box) { boxes_.push_back(box); });
  }
  void cleanup() { ui::SetMessageBoxHandler({}); }

  void textIsAssembledExactly() {
    const std::string text = frame::ErrorReportText(ResizeLocation, 104, "Invalid procedure call");
    QCOMPARE(text, std::string("Invalid procedure call\r\nin Dunmarra2021/08/31.Form3.Form_Resize at line 104"
                               "\r\rPlease email screenshot of this message to support@quorvane.example"));
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 1);
    QCOMPARE(std::count(text.begin(), text.end(), '\r'), 3);
  }

  void descriptionIsKeptAsItIs() {
    const std::string description = "[unixODBC] line one\r\nline two\r";
    const std::string text = frame::ErrorReportText(LoadLocation, 100, description);
    QVERIFY(text.starts_with(description + "\r\nin Dunmarra2021/08/31.Form3.Form_Load at line 100\r\r"));
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 2);
    QCOMPARE(std::count(text.begin(), text.end(), '\r'), 5);
    QVERIFY(frame::ErrorReportText(LoadLocation, 7, "").starts_with("\r\nin"));
  }

  void reportIsAWarningBoxWithItsOwnTitle() {
    ui::SetApplicationTitleText("Quorvane Table Desk");
    frame::ShowErrorReport(LoadLocation, 102, "boom");
    QCOMPARE(boxes_.size(), 1u);
    QCOMPARE(boxes_[0].title, std::string("Application Error"));
    QCOMPARE(boxes_[0].icon, ui::MessageIcon::Warning);
    QCOMPARE(boxes_[0].text, frame::ErrorReportText(LoadLocation, 102, "boom"));
  }

  void failuresAreDescribedByTheirOwnText() {
    QCOMPARE(frame::DescribeFailure(std::make_exception_ptr(std::runtime_error("no table"))),
             std::string("no table"));
    QCOMPARE(frame::DescribeFailure(std::make_exception_ptr(42)), std::string("Unknown error"));
    QCOMPARE(frame::DescribeFailure(std::make_exception_ptr(std::runtime_error(""))),
             std::string("Unknown error"));
    QCOMPARE(frame::DescribeFailure(nullptr), std::string("Unknown error"));
  }

  void trapReportsEachFailingStepAndCarriesOn() {
    frame::ErrorTrap trap(LoadLocation);
    std::vector<int> ran;
    QVERIFY(!trap.Step(100, [] { throw std::runtime_error("first"); }));
    QVERIFY(trap.Step(102, [&] { ran.push_back(102); }));
    QVERIFY(!trap.Step(106, [&] {
      ran.push_back(106);
      throw std::logic_error("second");
    }));
    QVERIFY(!trap.Step(108, [] { ThrowFromCalledRoutine(); }));
    QVERIFY(trap.Step(110, [&] { ran.push_back(110); }));

    QCOMPARE(ran, (std::vector<int>{102, 106, 110}));
    QCOMPARE(boxes_.size(), 3u);
    const Report first = Parse(boxes_[0]);
    const Report second = Parse(boxes_[1]);
    const Report third = Parse(boxes_[2]);
    QCOMPARE(first.line, 100);
    QCOMPARE(first.description, std::string("first"));
    QCOMPARE(first.location, std::string(LoadLocation));
    QCOMPARE(second.line, 106);
    QCOMPARE(second.description, std::string("second"));
    QCOMPARE(third.line, 108);
    QCOMPARE(third.description, std::string("deep failure"));
    QCOMPARE(third.location, std::string(LoadLocation));
  }

  void failingTestGoesOnWithTheGovernedAction() {
    frame::ErrorTrap trap(ResizeLocation);
    bool governedRan = false;
    if (trap.Test(104, []() -> bool { throw std::runtime_error("cannot read state"); })) {
      trap.Step(104, [&] {
        governedRan = true;
        throw std::runtime_error("cannot resize");
      });
    }
    QVERIFY(governedRan);
    QCOMPARE(boxes_.size(), 2u);
    QCOMPARE(Parse(boxes_[0]).line, 104);
    QCOMPARE(Parse(boxes_[0]).description, std::string("cannot read state"));
    QCOMPARE(Parse(boxes_[1]).line, 104);
    QCOMPARE(Parse(boxes_[1]).description, std::string("cannot resize"));
  }

  void testsGiveTheirConditionOrTheChosenFallback() {
    frame::ErrorTrap trap(ResizeLocation);
    QVERIFY(!trap.Test(100, [] { return false; }));
    QVERIFY(trap.Test(102, [] { return 1; }));
    QVERIFY(boxes_.empty());
    QVERIFY(!trap.Test(106, []() -> bool { throw std::runtime_error("x"); }, false));
    QCOMPARE(boxes_.size(), 1u);
    QCOMPARE(Parse(boxes_[0]).line, 106);
  }

  void boxesWithoutTitleTakeTheApplicationTitle() {
    ui::SetApplicationTitleText("Quorvane Table Desk");
    ui::MsgBox("Connection successful.");
    ui::MsgBox("Please select a table", ui::MessageIcon::None, "Own title");
    QCOMPARE(boxes_.size(), 2u);
    QCOMPARE(boxes_[0].title, std::string("Quorvane Table Desk"));
    QCOMPARE(boxes_[0].icon, ui::MessageIcon::None);
    QCOMPARE(boxes_[1].title, std::string("Own title"));
  }

  // A real box: closed by a timer as soon as it shows, so that nothing
  // waits for a person.
  void realBoxShowsCarriageReturnsAsLineBreaks() {
    ui::SetMessageBoxHandler({});
    QString shownText;
    QString shownTitle;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box == nullptr || !box->isVisible()) continue;
        shownText = box->text();
        shownTitle = box->windowTitle();
        shownIcon = box->icon();
        box->accept();
      }
    });
    closer.start(5);
    frame::ShowErrorReport(LoadLocation, 100, "one\r\ntwo");
    closer.stop();
    QCOMPARE(shownTitle, QStringLiteral("Application Error"));
    QCOMPARE(shownIcon, QMessageBox::Warning);
    QCOMPARE(shownText, QStringLiteral("one\ntwo\nin Dunmarra2021/08/31.Form3.Form_Load at line 100\n\n"
                                       "Please email screenshot of this message to support@quorvane.example"));
  }
};

QTEST_MAIN(ErrorReportTest)
#include "tst_error_report.moc"
