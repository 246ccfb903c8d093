#include <QCloseEvent>
#include <QtTest>
#include <vector>

#include "frame/Application.h"
#include "frame/Settings.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PageWindow.h"
#include "platform/ui/ProcessLauncher.h"

namespace {

class CountingPage : public ui::PageWindow {
 public:
  using ui::PageWindow::PageWindow;
  void Form_Load() override {
    ++loads;
    visibleDuringLoad = isVisible();
  }
  void Form_Unload() override {
    ++unloads;
    ui::EndProgram();
  }
  void Form_Resize() override { ++resizes; }
  int loads = 0;
  int unloads = 0;
  int resizes = 0;
  bool visibleDuringLoad = true;
};

}  // namespace

class ApplicationTest : public QObject {
  Q_OBJECT

 private:
  std::vector<std::string> launches_;

 private slots:
  void init() {
    launches_.clear();
    ui::SetProcessLauncher([this](const std::string& command) { launches_.push_back(command); });
  }
  void cleanup() {
    frame::SetRandomDraw({});
    ui::SetProcessLauncher({});
    ui::SetProgramEnder({});
  }

  void titleDropsTheLastWordThenKeepsWithinForty_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");
    QTest::newRow("product") << "Quorvane Table Desk Suite" << "Quorvane Table Desk";
    QTest::newRow("two words") << "Quorvane Desk" << "Quorvane";
    QTest::newRow("one word") << "Quorvane" << "Quorvane";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("leading blank only") << " Quorvane" << " Quorvane";
    QTest::newRow("trailing blank") << "Quorvane Desk " << "Quorvane Desk";
    QTest::newRow("forty before the last space")
        << "aaaaaaaaaa bbbbbbbbbb cccccccccc ddddddd tail" << "aaaaaaaaaa bbbbbbbbbb cccccccccc ddddddd";
    QTest::newRow("forty-one before the last space")
        << "aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddd tail" << "aaaaaaaaaa bbbbbbbbbb cccccccccc";
    QTest::newRow("several cuts") << "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota Kappa"
                                  << "Alpha Beta Gamma Delta Epsilon Zeta Eta";
    QTest::newRow("one long word") << QString(50, 'w') + " Suite" << QString(40, 'w');
    QTest::newRow("non-ASCII counts characters") << QString(39, QChar(0x00E9)) + "x y" << QString(39, QChar(0x00E9)) + "x";
  }

  void titleDropsTheLastWordThenKeepsWithinForty() {
    QFETCH(QString, product);
    QFETCH(QString, title);
    QCOMPARE(QString::fromStdString(frame::ApplicationTitleFor(product.toStdString())), title);
  }

  void applicationTitleReachesBoxesButNotWindowTitles() {
    std::vector<ui::MessageBoxRequest> boxes;
    ui::SetMessageBoxHandler([&boxes](const ui::MessageBoxRequest& box) { boxes.push_back(box); });
    frame::SetApplicationTitle();
    ui::MsgBox("Could not connect.");
    ui::SetMessageBoxHandler({});
    QCOMPARE(ui::ApplicationTitleText(), std::string("Quorvane Table Desk"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Quorvane Table Desk"));
    QCOMPARE(boxes.size(), 1u);
    QCOMPARE(boxes[0].title, std::string("Quorvane Table Desk"));
  }

  void homePageOpensOnlyOnSeven() {
    for (int k = 0; k < 100; ++k) {
      const float draw = (static_cast<float>(k) + 0.5f) / 100.0f;
      frame::SetRandomDraw([draw] { return draw; });
      frame::OfferHomePage();
      QCOMPARE(launches_.size(), k >= 6 ? 1u : 0u);
    }
    QCOMPARE(launches_[0], std::string("explorer \"https://www.quorvane.example/\""));
  }

  void homePageRollEdges() {
    for (float draw : {0.0f, 0.0599f, 0.0701f, 0.99999994f}) {
      frame::SetRandomDraw([draw] { return draw; });
      frame::OfferHomePage();
    }
    QVERIFY(launches_.empty());
    frame::SetRandomDraw([] { return 0.06001f; });
    frame::OfferHomePage();
    QCOMPARE(launches_.size(), 1u);
  }

  void twipsConvertAtFifteenToThePixel() {
    QCOMPARE(ui::TwipsToPixels(8040), 536);
    QCOMPARE(ui::TwipsToPixels(7), 0);
    QCOMPARE(ui::TwipsToPixels(8), 1);
    QCOMPARE(ui::TwipsToPixels(-22.6), -2);
    QCOMPARE(ui::PixelsToTwips(146), 2190.0);
    QWidget widget;
    ui::PlaceInTwips(widget, 120, 1660, 7800, 405);
    QCOMPARE(widget.geometry(), QRect(8, 111, 520, 27));
  }

  void fixedPageHasNoMaximizeAndKeepsItsSize() {
    ui::PageWindow fixed(ui::Border::FixedSingle, 8040, 2190);
    QCOMPARE(fixed.size(), QSize(536, 146));
    QCOMPARE(fixed.minimumSize(), fixed.maximumSize());
    QVERIFY(fixed.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(fixed.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!fixed.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    ui::PageWindow sizable(ui::Border::Sizable, 9000, 6000);
    QVERIFY(sizable.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(sizable.minimumSize() != sizable.maximumSize());
  }

  void pageLoadsOnceAtItsFirstShowing() {
    CountingPage page(ui::Border::Sizable, 6000, 4500);
    page.Hide();
    QCOMPARE(page.loads, 0);
    page.Show();
    QCOMPARE(page.loads, 1);
    QVERIFY(!page.visibleDuringLoad);
    QVERIFY(page.isVisible());
    page.Hide();
    QVERIFY(!page.isVisible());
    page.Show();
    page.Load();
    QCOMPARE(page.loads, 1);
    QVERIFY(page.isLoaded());
    QVERIFY(page.outerWidthTwips() >= 6000);
    QVERIFY(page.outerHeightTwips() >= 4500);
    QVERIFY(page.resizes > 0);
  }

  void closingAPageEndsTheProgram() {
    int ends = 0;
    ui::SetProgramEnder([&ends] { ++ends; });
    CountingPage page(ui::Border::FixedSingle, 3000, 3000);
    page.Show();
    QVERIFY(page.close());
    QCOMPARE(page.unloads, 1);
    QCOMPARE(ends, 1);
  }

  void pointerValuesShowTheirCursors() {
    ui::PageWindow page(ui::Border::FixedSingle, 3000, 3000);
    page.setMousePointer(ui::vbHourglass);
    QCOMPARE(page.cursor().shape(), Qt::WaitCursor);
    page.setMousePointer(ui::vbCustom);
    QCOMPARE(page.cursor().shape(), Qt::PointingHandCursor);
    page.setMousePointer(ui::vbDefault);
    QCOMPARE(page.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(page.mousePointer(), 0);
    QPixmap picture(16, 16);
    picture.fill(Qt::black);
    page.setMousePointer(ui::vbCustom);
    page.setMouseIcon(QCursor(picture, 3, 4));
    QCOMPARE(page.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(page.cursor().hotSpot(), QPoint(3, 4));
  }
};

QTEST_MAIN(ApplicationTest)
#include "tst_application.moc"
