// Find and sort in the database, first screen: the program's grid against
// the plain query a program of its own would run.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <stdexcept>
#include <string>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "RawOdbc.h"
#include "RawRows.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/FindBar.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

// About one order in a thousand: one last name of fifteen, then "#12"
// of "#1000" to "#9999". In lower case, as a user types it.
constexpr const char* FoundText = "oyelaran #12";
constexpr int CustomerColumn = 1;
constexpr int AmountColumn = 2;

void Run(RawStatement& statement, std::string sql) {
  statement.Check(SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), "executing");
}

bool IsPostgres(const RawConnection& connection) {
  char dbms[64] = {};
  SQLGetInfo(connection.handle(), SQL_DBMS_NAME, dbms, sizeof dbms, nullptr);
  return std::string_view(dbms) == "PostgreSQL";
}

constexpr int KeyColumn = 0;

// The table open in the grid, its first screen shown, and what `before`
// does; then what `change` does until a screen of its rows is there.
template <typename Change, typename Before = void (*)(ui::DataGrid&)>
Metrics AppFirstScreenAfter(const Options& options, Change change, Before before = [](ui::DataGrid&) {}) {
  ui::DataGrid grid;
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  before(grid);
  FillScreen(grid);
  Span span;
  change(grid);
  FillScreen(grid);
  return {{"seconds", span.seconds()}};
}

}  // namespace

Metrics RawFind(const Options& options) {
  RawConnection connection(options.dataSource);
  Span span;
  RawStatement statement(connection);
  std::string pattern = std::string("%") + FoundText + "%";
  SQLLEN length = static_cast<SQLLEN>(pattern.size());
  statement.Check(SQLBindParameter(statement.handle(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, pattern.size(), 0,
                                   pattern.data(), length, &length),
                  "binding");
  Run(statement, "SELECT * FROM " + connection.Quote(options.table) + " WHERE customer " +
                     (IsPostgres(connection) ? "ILIKE" : "LIKE") + " ?");
  return ScreenOfRows(statement, span);
}

Metrics RawSort(const Options& options, const std::string& order) {
  RawConnection connection(options.dataSource);
  Span span;
  RawStatement statement(connection);
  Run(statement, "SELECT * FROM " + connection.Quote(options.table) + " ORDER BY " + order);
  return ScreenOfRows(statement, span);
}

Metrics AppFind(const Options& options) {
  return AppFirstScreenAfter(options, [](ui::DataGrid& grid) {
    grid.openFind();
    grid.findBar()->findChild<QComboBox*>()->setCurrentIndex(CustomerColumn + 1);
    auto* line = grid.findBar()->findChild<QLineEdit*>();
    // Typed, then Enter: the rows are read at once, without the pause the
    // bar waits for after a key.
    QTest::keyClicks(line, FoundText);
    QTest::keyClick(line, Qt::Key_Return);
    if (grid.recordsetModel()->view().findText != FoundText) throw std::runtime_error("the find did not run");
  });
}

Metrics AppSort(const Options& options) {
  return AppFirstScreenAfter(options, [](ui::DataGrid& grid) {
    grid.sortByColumn(AmountColumn);
    if (grid.recordsetModel()->view().sortColumn != AmountColumn) throw std::runtime_error("the sort did not run");
  });
}

Metrics AppSortKeyDescending(const Options& options) {
  // The first click sorts ascending; the second, measured, descending.
  const auto click = [](ui::DataGrid& grid) { grid.sortByColumn(KeyColumn); };
  return AppFirstScreenAfter(
      options,
      [&](ui::DataGrid& grid) {
        click(grid);
        if (!grid.recordsetModel()->view().descending) throw std::runtime_error("the sort did not run");
      },
      click);
}

}  // namespace bench
