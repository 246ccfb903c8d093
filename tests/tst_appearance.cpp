#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStyle>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>
#include <stdexcept>

#include "CursorFileBuilder.h"
#include "frame/Appearance.h"
#include "frame/ErrorReport.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PageWindow.h"
#include "platform/ui/SkinFramework.h"

namespace {

const QColor ButtonFace(12, 34, 56);

bool Painted(const QWidget& widget) {
  return widget.autoFillBackground() && widget.palette().color(QPalette::Window) == ButtonFace;
}

// A desktop in dark colours: light text on dark surfaces.
QPalette DarkDesktop() {
  QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53));
  dark.setColor(QPalette::WindowText, QColor(238, 238, 238));
  dark.setColor(QPalette::Base, QColor(35, 35, 35));
  dark.setColor(QPalette::Text, QColor(238, 238, 238));
  dark.setColor(QPalette::ButtonText, QColor(238, 238, 238));
  return dark;
}

// The colour a control's text is drawn in and the colour behind it, by the
// roles Qt's styles draw them with; nothing for controls without text.
struct TextColours {
  QColor text;
  QColor background;
};
std::optional<TextColours> TextColoursOf(const QWidget& control) {
  const QPalette& colours = control.palette();
  if (qobject_cast<const QPushButton*>(&control) || qobject_cast<const QHeaderView*>(&control))
    return TextColours{colours.color(QPalette::ButtonText), colours.color(QPalette::Button)};
  if (qobject_cast<const QLineEdit*>(&control) || qobject_cast<const QAbstractItemView*>(&control))
    return TextColours{colours.color(QPalette::Text), colours.color(QPalette::Base)};
  if (!qobject_cast<const QLabel*>(&control) && !qobject_cast<const QGroupBox*>(&control) &&
      !qobject_cast<const QAbstractButton*>(&control))
    return std::nullopt;
  // Drawn straight on whatever fills the background under it.
  const QWidget* surface = &control;
  while (!surface->autoFillBackground() && !surface->isWindow()) surface = surface->parentWidget();
  return TextColours{colours.color(QPalette::WindowText), surface->palette().color(QPalette::Window)};
}

}  // namespace

class AppearanceTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> folder_;
  std::vector<ui::MessageBoxRequest> boxes_;

  QString InFolder(const QString& name) const { return folder_->filePath(name); }

  void WriteSkin(const QByteArray& content) {
    QVERIFY(QDir().mkpath(InFolder("x")));
    QVERIFY(testing::WriteFile(InFolder("x/o.cjs"), content));
  }

 private slots:
  void initTestCase() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Button, ButtonFace);
    QApplication::setPalette(palette);
  }

  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    frame::SetProgramFolder(folder_->path().toStdString() + "/");
    boxes_.clear();
    ui::SetMessageBoxHandler([this](const ui::MessageBoxRequest& box) { boxes_.push_back(box); });
  }

  void cleanup() {
    frame::SetProgramFolder({});
    ui::SetMessageBoxHandler({});
    qApp->setStyleSheet({});
  }

  void filesLieInTheProgramFolder() {
    QCOMPARE(QString::fromStdString(frame::ProgramFolder()), folder_->path());
    QCOMPARE(QString::fromStdString(frame::SkinFilePath()), folder_->path() + "/x/o.cjs");
    QCOMPARE(QString::fromStdString(frame::HandCursorFilePath()), folder_->path() + "/HAND-M.CUR");
    // An installed program (bin/) finds the cursor in share/, unless one lies beside it.
    const QString installed = folder_->path() + "/share/quorvane-table-desk/HAND-M.CUR";
    QVERIFY(QDir().mkpath(folder_->path() + "/bin"));
    QVERIFY(QDir().mkpath(folder_->path() + "/share/quorvane-table-desk"));
    QVERIFY(testing::WriteFile(installed, "x"));
    frame::SetProgramFolder(folder_->path().toStdString() + "/bin");
    QCOMPARE(QString::fromStdString(frame::HandCursorFilePath()),
             folder_->path() + "/bin/../share/quorvane-table-desk/HAND-M.CUR");
    QVERIFY(testing::WriteFile(folder_->path() + "/bin/HAND-M.CUR", "x"));
    QCOMPARE(QString::fromStdString(frame::HandCursorFilePath()), folder_->path() + "/bin/HAND-M.CUR");
    frame::SetProgramFolder({});
    QCOMPARE(QString::fromStdString(frame::ProgramFolder()), QCoreApplication::applicationDirPath());
  }

  void fileExistsWhenItsTimeCanBeRead() {
    QVERIFY(testing::WriteFile(InFolder("file"), "x"));
    QVERIFY(QDir().mkpath(InFolder("folder")));
    QVERIFY(QFile::link(InFolder("nowhere"), InFolder("dangling")));
    QVERIFY(frame::FileExists(InFolder("file").toStdString()));
    QVERIFY(frame::FileExists(InFolder("folder").toStdString()));
    QVERIFY(!frame::FileExists(InFolder("missing").toStdString()));
    QVERIFY(!frame::FileExists(InFolder("file/below").toStdString()));
    QVERIFY(!frame::FileExists(InFolder("dangling").toStdString()));
    QVERIFY(!frame::FileExists(""));
  }

  void skinCountsOnlyAsAnOrdinaryFile() {
    const std::string skin = frame::SkinFilePath();
    QVERIFY(!frame::SkinFilePresent(skin));
    QVERIFY(QDir().mkpath(InFolder("x/o.cjs")));
    QVERIFY(!frame::SkinFilePresent(skin));
    QVERIFY(QDir().rmdir(InFolder("x/o.cjs")));
    QVERIFY(testing::WriteFile(InFolder("real.cjs"), "QWidget {}"));
    QVERIFY(QFile::link(InFolder("real.cjs"), InFolder("x/o.cjs")));
    QVERIFY(frame::SkinFilePresent(skin));
    QVERIFY(QFile::remove(InFolder("x/o.cjs")));
    QVERIFY(QFile::link(InFolder("x"), InFolder("x/o.cjs")));
    QVERIFY(!frame::SkinFilePresent(skin));
    QVERIFY(QFile::remove(InFolder("x/o.cjs")));
    WriteSkin("QWidget {}");
    QVERIFY(frame::SkinFilePresent(skin));
    QVERIFY(testing::WriteFile(InFolder("x/.hidden"), "QWidget {}"));
    QVERIFY(!frame::SkinFilePresent(InFolder("x/.hidden").toStdString()));
  }

  void formColoursReachOnlyLabelsFramesAndOptions() {
    QWidget window;
    auto* frameBox = new QGroupBox("Frame1", &window);
    auto* nestedLabel = new QLabel("Data Source Name:", frameBox);
    auto* label = new QLabel("Label1", &window);
    auto* check = new QCheckBox(&window);
    auto* option = new QRadioButton(&window);
    auto* button = new QPushButton("Next >", frameBox);
    auto* text = new QLineEdit(frameBox);
    auto* list = new QListWidget(&window);
    frame::ApplyFormColors(window);
    QVERIFY(Painted(window));
    for (QWidget* coloured : std::initializer_list<QWidget*>{frameBox, nestedLabel, label, check, option}) {
      QVERIFY2(Painted(*coloured), coloured->metaObject()->className());
    }
    for (QWidget* untouched : std::initializer_list<QWidget*>{button, text, list}) {
      QVERIFY2(!Painted(*untouched), untouched->metaObject()->className());
    }
  }

  void noSkinFileLeavesThePageAlone() {
    ui::PageWindow form1(ui::Border::FixedSingle, 8040, 2190);
    ui::SkinFramework skin;
    QSignalSpy uses(&skin, &ui::SkinFramework::memberUsed);
    frame::ApplySkin(form1, skin);
    QVERIFY(QDir().mkpath(InFolder("x/o.cjs")));
    frame::ApplySkin(form1, skin);
    QCOMPARE(uses.count(), 0);
    QVERIFY(!Painted(form1));
    QVERIFY(!skin.isLoaded());
  }

  void skinIsAppliedInItsFixedOrder() {
    WriteSkin("QPushButton { font-weight: bold; }");
    ui::PageWindow form1(ui::Border::FixedSingle, 8040, 2190);
    auto* label = new QLabel("Label1", &form1);
    ui::SkinFramework skin;
    skin.SetProperty(1, 0x40);
    QSignalSpy uses(&skin, &ui::SkinFramework::memberUsed);
    frame::ApplySkin(form1, skin);
    QStringList order;
    for (const auto& use : uses) order << use.at(0).toString();
    QCOMPARE(order, (QStringList{"invoke 2", "get 1", "set 1", "set 5", "set 10", "invoke 3"}));
    QVERIFY(Painted(form1));
    QVERIFY(Painted(*label));
    QCOMPARE(skin.GetProperty(1).toInt(), 0x41);
    QCOMPARE(skin.GetProperty(5).toBool(), true);
    QCOMPARE(skin.GetProperty(10).toBool(), true);
    QCOMPARE(skin.appliedTo(), &form1);
    QCOMPARE(form1.styleSheet(), QStringLiteral("QPushButton { font-weight: bold; }"));
  }

  void failingSkinLoadStopsAfterTheColours() {
    WriteSkin("   \n");
    ui::PageWindow form1(ui::Border::FixedSingle, 8040, 2190);
    ui::SkinFramework skin;
    QSignalSpy uses(&skin, &ui::SkinFramework::memberUsed);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, frame::ApplySkin(form1, skin));
    QCOMPARE(uses.count(), 1);
    QVERIFY(Painted(form1));
    QCOMPARE(skin.GetProperty(1).toInt(), 0);
    QCOMPARE(skin.appliedTo(), nullptr);
  }

  void skinComponentRefusesWhatItCannotDo() {
    ui::SkinFramework skin;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.Invoke(4, {}));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.GetProperty(7));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.SetProperty(11, true));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.Invoke(2, {InFolder("missing.cjs"), QString()}));
    QVERIFY(testing::WriteFile(InFolder("binary.cjs"), QByteArray("QWidget {}\xff\xfe", 12)));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.Invoke(2, {InFolder("binary.cjs"), QString()}));
    QVERIFY(!skin.isLoaded());
    QVERIFY(testing::WriteFile(InFolder("good.cjs"), "QLabel { color: navy; }"));
    skin.Invoke(2, {InFolder("good.cjs"), QString()});
    QVERIFY(skin.isLoaded());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.Invoke(3, {QVariant::fromValue<qint32>(-12345)}));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, skin.Invoke(3, {}));
    QCOMPARE(skin.appliedTo(), nullptr);
  }

  void hoverRulesSetThePointerUnlessBusy() {
    ui::PageWindow page(ui::Border::FixedSingle, 6000, 4500);
    auto* button = new QPushButton("Next >", &page);
    button->setGeometry(10, 10, 100, 30);
    auto* list = new QListWidget(&page);
    list->setGeometry(10, 60, 150, 120);
    list->addItem("customers");
    auto* label = new QLabel("no rule here", &page);
    label->setGeometry(200, 10, 150, 30);
    frame::SetPointerOnHover(page, page, ui::vbDefault);
    frame::SetPointerOnHover(page, *button, ui::vbCustom);
    frame::SetPointerOnHover(page, *list, ui::vbDefault);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    QTest::mouseMove(button, QPoint(50, 15));
    QCOMPARE(page.mousePointer(), int(ui::vbCustom));
    QTest::mouseMove(&page, QPoint(300, 200));
    QCOMPARE(page.mousePointer(), int(ui::vbDefault));
    QTest::mouseMove(button, QPoint(40, 15));
    QCOMPARE(page.mousePointer(), int(ui::vbCustom));
    // A surface without a rule leaves the pointer as it was.
    QTest::mouseMove(label, QPoint(20, 10));
    QCOMPARE(page.mousePointer(), int(ui::vbCustom));
    QTest::mouseMove(list->viewport(), QPoint(20, 10));
    QCOMPARE(page.mousePointer(), int(ui::vbDefault));

    page.setMousePointer(ui::vbHourglass);
    QTest::mouseMove(button, QPoint(50, 15));
    QCOMPARE(page.mousePointer(), int(ui::vbHourglass));
    QTest::mouseMove(&page, QPoint(300, 220));
    QCOMPARE(page.mousePointer(), int(ui::vbHourglass));
    QCOMPARE(page.cursor().shape(), Qt::WaitCursor);
  }

  void handCursorIsLoadedWhenPresent() {
    ui::PageWindow page(ui::Border::FixedSingle, 3000, 3000);
    frame::ErrorTrap trap("in Dunmarra2021/08/31.Form2.Form_Load ");
    frame::LoadHandCursor(trap, page);
    QVERIFY(!page.hasMouseIcon());
    QVERIFY(boxes_.empty());

    QVERIFY(testing::WriteFile(InFolder("HAND-M.CUR"),
                               testing::BitmapCursor(testing::SampleCursorPicture(), 4, 5, 0)));
    frame::LoadHandCursor(trap, page);
    QVERIFY(page.hasMouseIcon());
    QVERIFY(boxes_.empty());
    page.setMousePointer(ui::vbCustom);
    QCOMPARE(page.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(page.cursor().hotSpot(), QPoint(5, 0));
  }

  void brokenHandCursorIsReportedAtItsLoadingStep() {
    ui::PageWindow page(ui::Border::FixedSingle, 3000, 3000);
    QVERIFY(testing::WriteFile(InFolder("HAND-M.CUR"), "not a cursor at all"));
    frame::ErrorTrap trap("in Dunmarra2021/08/31.Form3.Form_Load ");
    frame::LoadHandCursor(trap, page);
    QVERIFY(!page.hasMouseIcon());
    QCOMPARE(boxes_.size(), 1u);
    QVERIFY(QByteArray::fromStdString(boxes_[0].text).contains("Form3.Form_Load at line 108\r\r"));
    // Without an icon the custom pointer is still a hand.
    page.setMousePointer(ui::vbCustom);
    QCOMPARE(page.cursor().shape(), Qt::PointingHandCursor);
  }

  void contrastRatioFollowsLuminance_data() {
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("white on white") << QColor(Qt::white) << QColor(Qt::white) << 1.0;
    QTest::newRow("grey 119 on white") << QColor(119, 119, 119) << QColor(Qt::white) << 4.48;
    QTest::newRow("dark red on white") << QColor(192, 0, 0) << QColor(Qt::white) << 6.48;
  }

  void contrastRatioFollowsLuminance() {
    QFETCH(QColor, first);
    QFETCH(QColor, second);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(frame::ContrastRatio(first, second) - ratio) < 0.01,
             qPrintable(QString::number(frame::ContrastRatio(first, second))));
    QCOMPARE(frame::ContrastRatio(second, first), frame::ContrastRatio(first, second));
  }

  // Every control's text stands out from what is behind it, on each page as
  // it is after its load, whatever the desktop's colours: the pages paint
  // some of their surfaces themselves.
  void textStandsOutOnEveryPage_data() {
    QTest::addColumn<QPalette>("desktop");
    QTest::addColumn<int>("page");
    const std::pair<const char*, QPalette> desktops[] = {
        {"light", QApplication::style()->standardPalette()},
        {"dark", DarkDesktop()},
    };
    for (const auto& [name, desktop] : desktops)
      for (int page : {1, 2, 3}) QTest::addRow("%s desktop, Form%d", name, page) << desktop << page;
  }

  void textStandsOutOnEveryPage() {
    QFETCH(QPalette, desktop);
    QFETCH(int, page);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(desktop);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    std::unique_ptr<ui::PageWindow> window;
    if (page == 1) window = std::make_unique<pages::Form1>();
    if (page == 2) window = std::make_unique<pages::Form2>();
    if (page == 3) window = std::make_unique<pages::Form3>();
    // What the loads of the table chooser and the editor do to colours (the
    // connection page's only with a skin file, absent here).
    if (page != 1) frame::ApplyFormColors(*window);
    QStringList unreadable;
    int checked = 0;
    for (const QWidget* control : window->findChildren<QWidget*>()) {
      const std::optional<TextColours> colours = TextColoursOf(*control);
      if (!colours) continue;
      ++checked;
      const double ratio = frame::ContrastRatio(colours->text, colours->background);
      if (ratio < frame::kReadableContrast)
        unreadable << QStringLiteral("%1 %2 %3 on %4: %5")
                          .arg(control->metaObject()->className(),
                               control->property(control->property("title").isValid() ? "title" : "text").toString(),
                               colours->text.name(), colours->background.name(), QString::number(ratio, 'f', 2));
    }
    QVERIFY(checked >= 4);
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral("; "))));
  }

  void fontsAreBoldArial() {
    QCOMPARE(frame::PageFont().family(), QStringLiteral("Arial"));
    QCOMPARE(frame::PageFont().pointSizeF(), 9.0);
    QVERIFY(frame::PageFont().bold());
    QCOMPARE(frame::PushButtonFont().family(), QStringLiteral("Arial"));
    QCOMPARE(frame::PushButtonFont().pointSizeF(), 11.25);
    QVERIFY(frame::PushButtonFont().bold());
  }
};

QTEST_MAIN(AppearanceTest)
#include "tst_appearance.moc"
