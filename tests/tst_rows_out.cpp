// Rows taken out of the grid into a file, over a real SQLite table: the
// quoting of awkward values in CSV and tab-separated text, every row of a
// filtered and sorted view in its order, a selection, and a cancelled
// export that leaves no file behind; the grid's context menu, where these
// and every other command are found with their keys.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/ui/RowsExport.h"
#include "platform/ui/RowsExportDialog.h"
#include "support/EditingFixture.h"

using namespace reliability;
using ui::DelimitedFormat;

namespace {

// Rows of the many-rows table: more than one block of the export, and,
// with the grid's pages this small, more than one page.
constexpr int ManyRows = 10000;
constexpr std::size_t SmallPage = 1000;

QByteArray Written(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

}  // namespace

class RowsOutTest : public QObject {
  Q_OBJECT
  Sources sources_{"Out"};
  QTemporaryDir out_;

  QString path(const QString& name) const { return out_.filePath(name); }

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    QVERIFY(out_.isValid());
    support::UsePrivateDataSources();
  }

  // NULL and the empty text stay apart; a separator, a quote or a line
  // break puts a field in quotes; binary values are written in
  // hexadecimal; values held cut are written whole.
  void awkwardValuesAreQuotedForTheFormat_data() {
    QTest::addColumn<DelimitedFormat>("format");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray longText(300000, 'x');
    const QByteArray longBinary = "0x" + QByteArray(2 * 300000, '0');
    QTest::newRow("csv") << DelimitedFormat::Csv
                         << "id,\"a, b\",bin\r\n1,\"a,b\",0x00FF10\r\n2,\"say \"\"hi\"\"\",\r\n"
                            "3,\"two\nlines\",\r\n4,\"cr\r\nlf\",\r\n5,tab\there,\r\n6,,\r\n7,\"\",\r\n"
                            "8,cr\xC3\xA8me,\r\n9," + longText + "," + longBinary + "\r\n";
    QTest::newRow("tsv") << DelimitedFormat::Tsv
                         << "id\ta, b\tbin\n1\ta,b\t0x00FF10\n2\t\"say \"\"hi\"\"\"\t\n"
                            "3\t\"two\nlines\"\t\n4\t\"cr\r\nlf\"\t\n5\t\"tab\there\"\t\n6\t\t\n7\t\"\"\t\n"
                            "8\tcr\xC3\xA8me\t\n9\t" + longText + "\t" + longBinary + "\n";
  }
  void awkwardValuesAreQuotedForTheFormat() {
    QFETCH(DelimitedFormat, format);
    QFETCH(QByteArray, expected);
    const QString source = sources_.Fresh(false);
    support::DirectSql(source).ExecScript(
        "CREATE TABLE odd (id INTEGER PRIMARY KEY, \"a, b\" TEXT, bin BLOB);\n"
        "INSERT INTO odd VALUES (1, 'a,b', x'00FF10');\n"
        "INSERT INTO odd VALUES (2, 'say \"hi\"', NULL);\n"
        "INSERT INTO odd VALUES (3, 'two' || char(10) || 'lines', NULL);\n"
        "INSERT INTO odd VALUES (4, 'cr' || char(13, 10) || 'lf', NULL);\n"
        "INSERT INTO odd VALUES (5, 'tab' || char(9) || 'here', NULL);\n"
        "INSERT INTO odd VALUES (6, NULL, NULL);\n"
        "INSERT INTO odd VALUES (7, '', NULL);\n"
        "INSERT INTO odd VALUES (8, 'cr\xC3\xA8me', NULL);\n"
        "INSERT INTO odd VALUES (9, replace(hex(zeroblob(150000)), '0', 'x'), zeroblob(300000))");
    OpenedGrid opened = OpenInGrid(source, "odd");
    const QString file = path(QTest::currentDataTag());
    QVERIFY(ui::ExportRows(*opened.grid, {file, format, false}));
    QCOMPARE(Written(file), expected);
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
  }

  // Every row the view shows, beyond the rows read and the grid's page,
  // in the view's order; then only the cells selected.
  void theViewOrTheSelectionIsWrittenInItsOrder() {
    const QString source = sources_.Fresh(false);
    support::DirectSql sql(source);
    sql.Exec("CREATE TABLE many (n INTEGER PRIMARY KEY, k INTEGER, w TEXT)");
    sql.Exec("INSERT INTO many WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
             std::to_string(ManyRows) + ") SELECT n, n % 7, 'w' || n FROM c");
    OpenedGrid opened = OpenInGrid(source, "many", true, SmallPage);
    ui::DataGrid& grid = *opened.grid;
    grid.setCurrentIndex(grid.model()->index(2, 1));  // k = 3
    grid.filterByCurrentValue(false);
    grid.sortByColumn(2);
    grid.sortByColumn(2);
    QVERIFY(grid.dataSource()->heldRows() < std::size_t{ManyRows});

    const Rows rows = sql.Query("SELECT n, k, w FROM many WHERE k <> 3 ORDER BY w DESC");
    QByteArray expected = "n,k,w\r\n";
    for (const auto& row : rows) expected += QByteArray::fromStdString(*row[0] + "," + *row[1] + "," + *row[2] + "\r\n");
    QVERIFY(ui::ExportRows(grid, {path("view.csv"), DelimitedFormat::Csv, false}));
    QCOMPARE(Written(path("view.csv")), expected);

    grid.selectionModel()->select(QItemSelection(grid.model()->index(2, 1), grid.model()->index(4, 2)),
                                  QItemSelectionModel::ClearAndSelect);
    expected = "k\tw\n";
    for (std::size_t row = 2; row <= 4; ++row) expected += QByteArray::fromStdString(*rows[row][1] + "\t" + *rows[row][2] + "\n");
    QVERIFY(ui::ExportRows(grid, {path("selection.tsv"), DelimitedFormat::Tsv, true}));
    QCOMPARE(Written(path("selection.tsv")), expected);
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
  }

  // The grid's context menu offers both with their keys; "Export..." asks
  // for the rows, the format and the file, each answered as a user does.
  void theContextMenuAsksWhatToExportAndWhere() {
    const QString source = sources_.Fresh(false);
    support::DirectSql(source).ExecScript(
        "CREATE TABLE few (id INTEGER PRIMARY KEY, note TEXT);\n"
        "INSERT INTO few VALUES (1, 'blue'), (2, ''), (3, 'red')");
    OpenedGrid opened = OpenInGrid(source, "few");
    ui::DataGrid& grid = *opened.grid;
    const QModelIndex cell = grid.model()->index(0, 1);
    grid.selectionModel()->select(QItemSelection(cell, grid.model()->index(1, 1)), QItemSelectionModel::ClearAndSelect);
    const QString file = path("asked.tsv");
    QStringList entries;
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
      if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        for (QAction* action : menu->actions()) {
          entries << action->text() + " " + action->shortcut().toString();
          if (action->text() == "Export...") menu->setActiveAction(action);
        }
        // After this turn of the timer: what the entry opens waits for it.
        QTimer::singleShot(0, menu, [menu] { QTest::keyClick(menu, Qt::Key_Return); });
      } else if (auto* dialog = qobject_cast<ui::RowsExportDialog*>(QApplication::activeModalWidget())) {
        for (QRadioButton* choice : dialog->findChildren<QRadioButton*>())
          if (choice->text() == "The selected cells" || choice->text().startsWith("Tab-separated")) choice->click();
        dialog->accept();
      } else if (auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        files->selectFile(file);
        static_cast<QDialog*>(files)->accept();  // as its Save button does
      }
    });
    answering.start(10);
    const QPoint at = grid.visualRect(cell).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid.viewport(), &click);
    answering.stop();
    QVERIFY2(entries.contains("Copy with headings Ctrl+Shift+C"), qPrintable(entries.join(", ")));
    QVERIFY2(entries.contains("Export... Ctrl+E"), qPrintable(entries.join(", ")));
    QCOMPARE(Written(file), QByteArray("note\nblue\n\"\"\n"));
  }

  // One menu lists every command with its key (or what does it), each
  // disabled where it does not apply: on a nullable text cell and on a
  // read-only binary cell, after an edit, with text on the clipboard.
  void theContextMenuListsEveryCommandWithItsKey_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("onText");
    QTest::addColumn<bool>("onBinary");
    const struct {
      const char* entry;
      const char* keys;
      bool onText, onBinary;
    } entries[] = {
        {"Find...", "Ctrl+F", true, true},
        {"Find next", "F3", false, false},
        {"Only rows with this value", "", true, false},
        {"Hide rows with this value", "", true, false},
        {"Sort ascending", "Click on the heading", true, true},
        {"Read again", "F5", true, true},
        {"Undo ", "Ctrl+Z", true, true},
        {"Redo", "Ctrl+Y", false, false},
        {"Edit in a window...", "Shift+F2", true, false},
        {"Calendar...", "F4", false, false},
        {"Set to NULL", "Ctrl+0", true, false},
        {"Empty the cells", "Del", true, true},
        {"Copy", "Ctrl+C", true, true},
        {"Copy with headings", "Ctrl+Shift+C", true, true},
        {"Paste", "Ctrl+V", true, true},
        {"Export...", "Ctrl+E", true, true},
        {"Add row", "Ctrl+Ins", true, true},
        {"Delete rows", "Del", false, false},
        {"Zoom in", "Ctrl++", true, true},
        {"Zoom out", "Ctrl+-", true, true},
    };
    for (const auto& entry : entries)
      QTest::newRow(entry.entry) << entry.entry << entry.keys << entry.onText << entry.onBinary;
  }
  void theContextMenuListsEveryCommandWithItsKey() {
    QFETCH(QString, entry);
    QFETCH(QString, keys);
    QFETCH(bool, onText);
    QFETCH(bool, onBinary);
    const QString source = sources_.Fresh(false);
    support::DirectSql(source).ExecScript(
        "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT NOT NULL, note TEXT, blob BLOB);\n"
        "INSERT INTO items VALUES (1, 'pen', 'blue', x'00FF10'), (2, 'ink', NULL, NULL)");
    OpenedGrid opened = OpenInGrid(source, "items");
    ui::DataGrid& grid = *opened.grid;
    QVERIFY(Commit(grid, 1, 2, "edited"));
    QApplication::clipboard()->setText("pasted");
    struct Listed {
      QAction* action = nullptr;  // the entry, kept past its menu
      QString how;
      QStringList all;
    };
    const auto listOn = [&](int column) {
      grid.setCurrentIndex(grid.model()->index(0, column));
      const std::unique_ptr<QMenu> menu = grid.actionMenu(grid.currentIndex());
      Listed listed;
      for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        const QString text = action->text().section('\t', 0, 0);
        // A key, or what does it after a tab; only the filters have neither.
        const QString how = action->shortcut().isEmpty() ? action->text().section('\t', 1)
                                                         : action->shortcut().toString(QKeySequence::PortableText);
        listed.all << text + " " + how;
        // An entry named after what it acts on, by its beginning.
        if (text == entry || (entry.endsWith(' ') && text.startsWith(entry))) {
          listed.action = action;
          listed.how = how;
          action->setParent(&grid);
        }
      }
      return listed;
    };
    const Listed textMenu = listOn(2);
    QVERIFY2(textMenu.action, qPrintable(textMenu.all.join(", ")));
    QCOMPARE(textMenu.how, keys);
    QCOMPARE(textMenu.all.size(), 20);  // every command, each once
    QCOMPARE(textMenu.action->isEnabled(), onText);
    const Listed blobMenu = listOn(3);
    QVERIFY(blobMenu.action);
    QCOMPARE(blobMenu.action->isEnabled(), onBinary);
    if (entry == "Zoom in") {
      // Chosen, it does what its key does.
      textMenu.action->trigger();
      QCOMPARE(grid.zoom(), 1);
    }
  }

  // Cancelled after its first block, an export leaves no file, nor any
  // piece of one, and a file it would have replaced as it was.
  void aCancelledExportLeavesNoFile() {
    const QString source = sources_.Fresh(false);
    support::DirectSql(source).Exec(
        "CREATE TABLE many AS WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
        std::to_string(ManyRows) + ") SELECT n, 'w' || n AS w FROM c");
    OpenedGrid opened = OpenInGrid(source, "many");
    QTemporaryDir folder;
    const QString file = folder.filePath("rows.csv");
    QTimer cancelling;
    QObject::connect(&cancelling, &QTimer::timeout, [&] {
      if (auto* progress = opened.grid->findChild<QProgressDialog*>(); progress && progress->value() > 0)
        progress->cancel();
    });
    cancelling.start(0);
    for (const QByteArray& before : {QByteArray(), QByteArray("kept")}) {
      if (!before.isEmpty()) {
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write(before) == before.size());
      }
      QVERIFY(!ui::ExportRows(*opened.grid, {file, DelimitedFormat::Csv, false}));
      QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
               before.isEmpty() ? QStringList() : QStringList({"rows.csv"}));
      if (!before.isEmpty()) QCOMPARE(Written(file), before);
    }
    QVERIFY2(opened.failed->isEmpty(), qPrintable(LastMessage(*opened.failed)));
  }
};

QTEST_MAIN(RowsOutTest)
#include "tst_rows_out.moc"
