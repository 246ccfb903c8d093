// Shapes that once froze the window: a text of megabytes opened in the
// larger editor (F2) and its End key, and the table list of a file another
// program holds locked. Each reports the longest the event loop went
// without a turn (target: 100 ms at most).
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "RawOdbc.h"
#include "StallWatch.h"
#include "db/DataSource.h"
#include "db/Sybase.h"
#include "platform/ui/LongTextEditor.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/RecordsetModel.h"
#include "platform/ui/ValueEditorDialog.h"

namespace bench {
namespace {

constexpr std::size_t LongTextBytes = 5 * 1024 * 1024;

void Exec(const RawConnection& connection, const std::string& sql) {
  RawStatement statement(connection);
  const SQLRETURN rc =
      SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  if (rc != SQL_NO_DATA) statement.Check(rc, sql.c_str());  // a DELETE of no rows
}

// The table "long_text" of one row whose "body" holds 5 MB of words on one
// line, the longest a line can be laid out.
void PutLongText(const Options& options) {
  RawConnection connection(options.dataSource);
  Exec(connection, "CREATE TABLE IF NOT EXISTS long_text (id INTEGER PRIMARY KEY, body TEXT)");
  Exec(connection, "DELETE FROM long_text");
  std::string body;
  body.reserve(LongTextBytes);
  for (int word = 0; body.size() < LongTextBytes; ++word) body += "word" + std::to_string(word % 1000) + " ";
  RawStatement insert(connection);
  SQLLEN length = static_cast<SQLLEN>(body.size());
  insert.Check(SQLBindParameter(insert.handle(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, body.size(), 0,
                                body.data(), length, &length),
               "Binding the text");
  const std::string sql = "INSERT INTO long_text (id, body) VALUES (1, ?)";
  insert.Check(SQLExecDirect(insert.handle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS),
               "Inserting the text");
}

void TurnUntil(const std::function<bool()>& done) {
  const double start = Now();
  while (!done()) {
    if (Now() - start > MostWaitSeconds) throw std::runtime_error("not done within a minute");
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

}  // namespace

Metrics AppLongTextEdit(const Options& given, bool pressEnd) {
  Options options = given;
  options.table = "long_text";
  PutLongText(options);
  ui::DataGrid grid;
  ShowGrid(grid);
  BindTable(grid, options);
  WaitForScreen(grid);
  grid.setConfirmation([](const QString&) { return true; });
  grid.setCurrentIndex(grid.model()->index(0, 1));
  ui::LongTextEditor* editor = nullptr;
  const auto loaded = [&] {
    const auto* dialog = grid.findChild<ui::ValueEditorDialog*>();
    editor = dialog ? dialog->textEditor() : nullptr;
    return editor && !editor->loading();
  };
  std::optional<StallWatch> stalls(std::in_place);
  Span span;
  QTest::keyClick(&grid, Qt::Key_F2);
  TurnUntil(loaded);
  if (pressEnd) {
    // From the editor open with all of the text in it.
    stalls.emplace();
    span = Span();
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_End);
    // What the key left for later (the cursor's line drawn) is done too.
    const double pressed = Now();
    TurnUntil([&] { return Now() - pressed > 0.2; });
  }
  const double seconds = span.seconds();
  const double stallMs = stalls->longestMs();
  if (editor->text().size() < static_cast<qsizetype>(LongTextBytes))
    throw std::runtime_error("the editor holds less than the value");
  return {{"seconds", seconds}, {"stall_ms", stallMs}, {"peak_resident_mib", span.peakResidentMiB()}};
}

Metrics AppLockedTableList(const Options& options) {
  // Another program's write transaction on the whole file, as a shell's
  // BEGIN EXCLUSIVE holds it.
  RawConnection holder(options.dataSource);
  Exec(holder, "BEGIN EXCLUSIVE");
  Exec(holder, "CREATE TABLE IF NOT EXISTS bench_lock (id INTEGER)");
  std::string reported;
  ui::SetMessageBoxHandler([&](const ui::MessageBoxRequest& box) { reported += box.text; });
  db::SetDataSourceNameReader([&] { return options.dataSource; });
  QListWidget list;
  list.show();
  QCoreApplication::processEvents();
  StallWatch stalls;
  Span span;
  db::AddTablesToSybaseListbox(list);
  const double seconds = span.seconds();
  const double stallMs = stalls.longestMs();
  Exec(holder, "ROLLBACK");
  if (reported.find("locked") == std::string::npos)
    throw std::runtime_error("the lock was not reported: " + reported);
  return {{"seconds", seconds}, {"stall_ms", stallMs}};
}

}  // namespace bench
