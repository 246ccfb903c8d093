// The editor page's resize rule in a real window manager's frame: run by
// under-openbox.sh on a 1280x800 Xvfb screen with openbox's stock theme
// (19 px title bar and thin borders; only the title bar when maximized).
#include <QDir>
#include <QTest>

#include "frame/Appearance.h"
#include "pages/Form3.h"

namespace {

// The height a widget had when it was first painted.
class FirstPaintHeight final : public QObject {
 public:
  explicit FirstPaintHeight(QWidget& widget) { widget.installEventFilter(this); }
  int height = -1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && height < 0) height = static_cast<QWidget*>(watched)->height();
    return false;
  }
};

// What the rule placed, with the outer size it had to go by.
QString Placement(const pages::Form3& form) {
  const QSize outer = form.outerSize();
  const QRect grid = form.DataGrid1->geometry();
  return QStringLiteral("outer %1x%2 grid %3x%4 note top %5 button top %6")
      .arg(outer.width())
      .arg(outer.height())
      .arg(grid.width())
      .arg(grid.height())
      .arg(form.Label1->y())
      .arg(form.PushButton1->y());
}

}  // namespace

class EditorFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "needs an X11 display with a window manager; run it through under-openbox.sh");
    frame::SetProgramFolder(QDir::tempPath().toStdString() + "/quorvane-no-such-folder");
  }

  // Each state follows the one before it on the same window. The first
  // display is laid out by the frame the window manager will draw: the
  // grid is painted at its height from the first.
  void ruleUsesTheFramedOuterSize() {
    struct Case {
      const char* state;
      void (*enter)(QWidget&);
      QString expected;
    };
    const QString framed = QStringLiteral("outer 395x210 grid 362x79 note top 115 button top 139");
    const Case cases[] = {
        {"first display", [](QWidget&) {}, framed},
        {"maximized", [](QWidget& w) { w.showMaximized(); },
         QStringLiteral("outer 1280x800 grid 1247x669 note top 705 button top 729")},
        {"restored", [](QWidget& w) { w.showNormal(); }, framed},
    };
    pages::Form3 form;
    const FirstPaintHeight firstPaint(*form.DataGrid1);
    form.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (const Case& step : cases) {
      step.enter(form);
      // The window manager answers in its own time; the rule must have caught
      // up with its last word.
      QTRY_COMPARE_WITH_TIMEOUT(Placement(form), step.expected, 5000);
      // and stays there once the window manager is done.
      QTest::qWait(300);
      QVERIFY2(Placement(form) == step.expected, step.state);
      if (step.expected == framed) QCOMPARE(firstPaint.height, form.DataGrid1->height());
    }
  }
};

QTEST_MAIN(EditorFrameTest)
#include "wm_editor_frame.moc"
