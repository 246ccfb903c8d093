// The table editor page without a database: its load, the resize rule and
// the pointer rules.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QMouseEvent>
#include <QTest>
#include <vector>

#include "frame/Appearance.h"
#include "frame/Settings.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Wizard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PageWindow.h"
#include "support/TestDataSources.h"

using pages::Form3;

namespace {

int Px(double twips) { return ui::TwipsToPixels(twips); }

void MoveMouseOver(QWidget* widget) {
  QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &move);
}

}  // namespace

class EditorPageTest : public QObject {
  Q_OBJECT
  std::vector<ui::MessageBoxRequest> boxes_;
  std::unique_ptr<pages::Wizard> wizard_;
  int programEnds_ = 0;

 private slots:
  void initTestCase() { support::UsePrivateDataSources(); }

  void init() {
    boxes_.clear();
    programEnds_ = 0;
    ui::SetMessageBoxHandler([this](const ui::MessageBoxRequest& box) { boxes_.push_back(box); });
    ui::SetProgramEnder([this] { ++programEnds_; });
    frame::SetProgramFolder(QDir::tempPath().toStdString() + "/quorvane-no-such-folder");
    wizard_ = std::make_unique<pages::Wizard>();
  }
  void cleanup() {
    wizard_.reset();
    ui::SetMessageBoxHandler({});
    ui::SetProgramEnder({});
  }

  void loadGivesCaptionColoursAndNoReport() {
    Form3& form = wizard_->form3();
    form.Show();
    QCOMPARE(form.windowTitle(), QString("Quorvane Table Desk Suite"));
    QCOMPARE(form.Label2->text(), QString(" Table: "));
    QCOMPARE(form.Label1->text(),
             QString(" Changes you make are automatically saved as you make them."));
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(form.palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.Label1->palette().color(QPalette::Window), buttonFace);
    QCOMPARE(form.Label1->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(boxes_.empty());  // no hand cursor file is no failure
    QVERIFY(!form.hasMouseIcon());
  }

  void aBrokenHandCursorIsReportedAtLine108AndTheLoadGoesOn() {
    QTemporaryDir program;
    QVERIFY(program.isValid());
    QFile cursor(program.filePath("HAND-M.CUR"));
    QVERIFY(cursor.open(QIODevice::WriteOnly));
    cursor.write(QByteArray("\0\0\2\0\1\0", 6));  // a header and nothing after it
    cursor.close();
    frame::SetProgramFolder(program.path().toStdString());
    Form3& form = wizard_->form3();
    form.Show();
    QCOMPARE(boxes_.size(), size_t(1));
    QCOMPARE(boxes_[0].title, std::string("Application Error"));
    QVERIFY2(boxes_[0].text.find("\r\nin Dunmarra2021/08/31.Form3.Form_Load at line 108\r\r") !=
                 std::string::npos,
             boxes_[0].text.c_str());
    QCOMPARE(form.windowTitle(), QString("Quorvane Table Desk Suite"));
    QVERIFY(!form.hasMouseIcon());
  }

  void resizeRuleFollowsTheOuterSize_data() {
    QTest::addColumn<int>("widthTwips");
    QTest::addColumn<int>("heightTwips");
    QTest::addColumn<bool>("gridWidthChanges");
    QTest::addColumn<bool>("gridHeightChanges");
    QTest::addColumn<bool>("noteMoves");
    QTest::addColumn<bool>("buttonMoves");
    QTest::newRow("layout width") << 6155 << 3600 << true << true << true << true;
    QTest::newRow("at the limits") << 500 << 1070 << false << false << false << false;
    QTest::newRow("wide and tall") << 12000 << 9000 << true << true << true << true;
    QTest::newRow("note and button only") << 6000 << 1800 << true << false << true << true;
    QTest::newRow("button only") << 6000 << 1300 << true << false << false << true;
    QTest::newRow("nothing moves vertically") << 6000 << 1050 << true << false << false << false;
    QTest::newRow("narrow") << 480 << 3000 << false << true << true << true;
  }
  void resizeRuleFollowsTheOuterSize() {
    QFETCH(int, widthTwips);
    QFETCH(int, heightTwips);
    QFETCH(bool, gridWidthChanges);
    QFETCH(bool, gridHeightChanges);
    QFETCH(bool, noteMoves);
    QFETCH(bool, buttonMoves);
    Form3& form = wizard_->form3();
    form.Show();
    // The rows give the outer size, frame included.
    const QSize frame = form.frameGeometry().size() - form.size();
    form.setMinimumSize(0, 0);
    form.resize(Px(widthTwips) - frame.width(), Px(heightTwips) - frame.height());
    // A known starting point that no row below produces.
    form.DataGrid1->resize(7, 7);
    form.Label1->move(form.Label1->x(), 777);
    form.PushButton1->move(form.PushButton1->x(), 777);
    const int buttonWidth = form.PushButton1->width();
    form.Form_Resize();
    const double w = form.outerWidthTwips();
    const double h = form.outerHeightTwips();
    QVERIFY(qAbs(w - widthTwips) < 15 && qAbs(h - heightTwips) < 15);
    QCOMPARE(form.DataGrid1->width(), gridWidthChanges ? Px(w - 500) : 7);
    QCOMPARE(form.DataGrid1->height(), gridHeightChanges ? Px(h - 1970) : 7);
    QCOMPARE(form.Label1->y(), noteMoves ? Px(h - 1420) : 777);
    QCOMPARE(form.PushButton1->y(), buttonMoves ? Px(h - 1070) : 777);
    QCOMPARE(form.PushButton1->width(), buttonWidth);
    QCOMPARE(form.DataGrid1->x(), Px(120));
    QVERIFY(boxes_.empty());
  }

  void minimizedWindowMovesNothing() {
    Form3& form = wizard_->form3();
    form.Show();
    form.DataGrid1->resize(7, 7);
    form.showMinimized();
    QTRY_VERIFY(form.isMinimizedNow());
    form.Form_Resize();
    QCOMPARE(form.DataGrid1->size(), QSize(7, 7));
  }

  void hoverRulesNeverEndTheHourglass() {
    Form3& form = wizard_->form3();
    form.Show();
    MoveMouseOver(form.PushButton1);
    QCOMPARE(form.mousePointer(), int(ui::vbCustom));
    MoveMouseOver(form.DataGrid1->viewport());
    QCOMPARE(form.mousePointer(), int(ui::vbDefault));
    form.setMousePointer(ui::vbHourglass);
    MoveMouseOver(form.PushButton1);
    MoveMouseOver(form.Label2);
    QCOMPARE(form.mousePointer(), int(ui::vbHourglass));
  }

  void backShowsTheChooserAndClosingEndsTheProgram() {
    Form3& form = wizard_->form3();
    form.Show();
    form.PushButton1_Click();
    QVERIFY(wizard_->form2().isVisible());
    QVERIFY(!form.isVisible());
    QCOMPARE(programEnds_, 0);
    form.close();
    QCOMPARE(programEnds_, 1);
  }
};

QTEST_MAIN(EditorPageTest)
#include "tst_editor_page.moc"
