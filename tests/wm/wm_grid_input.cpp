// The editor's grid with real X input (xdotool, through the XTEST
// extension) in openbox, run by under-openbox.sh: the context menu on a
// cell and on a heading, the zoom keys as a keyboard types them (the plus
// needs Shift), and Ctrl+0 still setting NULL.
#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "frame/Appearance.h"
#include "pages/Form3.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/RecordsetModel.h"
#include "support/DirectSql.h"
#include "support/GridEditing.h"
#include "support/MessageBoxRecorder.h"
#include "support/TestDataSources.h"
#include "support/XInput.h"

namespace {

const QString kSource = QStringLiteral("GridInput");

// The entries of the menu a real click opens, each with its key, read while
// it is open and then closed with a real Esc; empty when none opened.
QStringList MenuEntriesAfter(const std::function<QString()>& click, QString& failure) {
  QStringList entries;
  QTimer reading;
  QObject::connect(&reading, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu || !menu->isVisible() || !entries.isEmpty()) return;
    for (QAction* action : menu->actions())
      if (!action->isSeparator())
        entries << action->text().section('\t', 0, 0) + " [" +
                       (action->shortcut().isEmpty() ? action->text().section('\t', 1)
                                                     : action->shortcut().toString(QKeySequence::PortableText)) +
                       "]";
    QProcess::startDetached(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
  });
  reading.start(50);
  failure = click();
  if (failure.isEmpty() && !QTest::qWaitFor([&] { return !entries.isEmpty() && !QApplication::activePopupWidget(); }, 10000))
    failure = QStringLiteral("no menu opened and closed");
  return entries;
}

}  // namespace

class GridInputTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  std::unique_ptr<support::MessageBoxRecorder> boxes_;
  std::unique_ptr<pages::Form3> form_;

  ui::DataGrid& grid() { return *form_->DataGrid1; }
  QPoint cellCentre(int row, int column) {
    return grid().viewport()->mapToGlobal(grid().visualRect(grid().model()->index(row, column)).center());
  }

 private slots:
  void initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "needs an X11 display with a window manager; run it through under-openbox.sh");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(), "xdotool is not installed");
    QVERIFY(folder_.isValid());
    support::UsePrivateDataSources();
    support::AddSqliteDataSource(kSource, folder_.filePath("grid.sqlite"));
    support::DirectSql(kSource).ExecScript(
        "CREATE TABLE orders (id INTEGER PRIMARY KEY, placed TIMESTAMP, note TEXT);\n"
        "INSERT INTO orders VALUES (1, '2024-03-01 12:34:56', 'first'), (2, '2024-03-02 08:00:00', 'second')");
    frame::SetProgramFolder(folder_.filePath("no-such-program-folder").toStdString());
  }

  void init() {
    boxes_ = std::make_unique<support::MessageBoxRecorder>();
    form_ = std::make_unique<pages::Form3>();
    form_->Show();
    form_->showMaximized();
    grid().setDataSource(support::OpenTable(kSource, "orders"));
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    grid().setFocus();
    grid().setCurrentIndex(grid().model()->index(0, 2));
    QTRY_VERIFY(grid().hasFocus());
  }

  void cleanup() {
    form_.reset();
    boxes_.reset();
  }

  // A right-click on a cell or a heading opens the one menu of every
  // command with its key; Esc closes it and nothing is done.
  void rightClicksOpenTheMenuOfEveryCommand_data() {
    QTest::addColumn<bool>("onHeading");
    QTest::newRow("cell") << false;
    QTest::newRow("heading") << true;
  }
  void rightClicksOpenTheMenuOfEveryCommand() {
    QFETCH(bool, onHeading);
    QHeaderView* headings = grid().horizontalHeader();
    const QPoint at = onHeading ? headings->viewport()->mapToGlobal(
                                      QPoint(headings->sectionViewportPosition(1) + headings->sectionSize(1) / 2,
                                             headings->height() / 2))
                                : cellCentre(1, 1);
    QString failure;
    const QStringList entries = MenuEntriesAfter([&] { return support::ClickAt(at, 3); }, failure);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(entries.size(), 20);
    for (const char* expected : {"Find... [Ctrl+F]", "Read again [F5]", "Calendar... [F4]", "Set to NULL [Ctrl+0]",
                                 "Copy with headings [Ctrl+Shift+C]", "Export... [Ctrl+E]", "Zoom in [Ctrl++]",
                                 "Sort ascending [Click on the heading]"})
      QVERIFY2(entries.contains(expected), qPrintable(entries.join(", ")));
    // The menu acts on the column clicked, in the current row.
    QCOMPARE(grid().currentIndex().column(), 1);
    QCOMPARE(grid().currentIndex().row(), onHeading ? 0 : 1);
    QCOMPARE(grid().horizontalHeader()->sortIndicatorSection(), -1);  // Esc: no sort
    QVERIFY(boxes_->boxes().empty());
  }

  // Ctrl with plus and minus as typed on the keyboard zoom the font;
  // Ctrl+0 is still "Set to NULL".
  void zoomKeysAndCtrl0AsTyped() {
    const qreal points = grid().font().pointSizeF();
    QVERIFY2(support::Xdotool({"key", "--delay", "150", "ctrl+plus", "ctrl+plus"}).isEmpty(), "xdotool");
    QTRY_COMPARE(grid().font().pointSizeF(), points + 2);
    QVERIFY2(support::Xdotool({"key", "ctrl+minus"}).isEmpty(), "xdotool");
    QTRY_COMPARE(grid().font().pointSizeF(), points + 1);
    QVERIFY2(support::Xdotool({"key", "ctrl+0"}).isEmpty(), "xdotool");
    QTRY_VERIFY(grid().model()->index(0, 2).data(ui::RecordsetModel::NullRole).toBool());
    QCOMPARE(grid().font().pointSizeF(), points + 1);
    QCOMPARE(support::DirectSql(kSource).Scalar("SELECT typeof(note) FROM orders WHERE id = 1"),
             std::optional<std::string>("null"));
  }
};

QTEST_MAIN(GridInputTest)
#include "wm_grid_input.moc"
