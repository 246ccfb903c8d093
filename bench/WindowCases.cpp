// Moves through a large table from its first screen: Ctrl+End, a jump to
// the middle, the whole table scrolled through once; each done when the
// rows on screen are read. Besides the time: the longest the event loop
// went without a turn, and the memory against that of the first screen.
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <stdexcept>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "StallWatch.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

constexpr int SweepSteps = 200;
// Rows that can only be read from the start (a view of the orders), and
// when Esc stops Ctrl+End on them.
constexpr const char* CancelledView = "orders_view";
constexpr int CancelAfterMs = 500;

void PressCtrlEnd(ui::DataGrid& grid) {
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  WaitForScreen(grid);
  if (grid.currentIndex().row() != grid.model()->rowCount() - 1)
    throw std::runtime_error("Ctrl+End did not reach the end");
}

// After Ctrl+End and the count: the last row still current, and the same.
void CheckStillAtTheEnd(ui::DataGrid& grid, const QString& lastKey) {
  ui::RecordsetModel* model = grid.recordsetModel();
  const double deadline = Now() + MostWaitSeconds;
  while (!model->rowCountKnown() && Now() < deadline) QTest::qWait(5);
  WaitForScreen(grid);
  if (!model->rowCountKnown()) throw std::runtime_error("the rows were not counted within a minute");
  if (grid.currentIndex().row() != model->rowCount() - 1 || grid.currentIndex().siblingAtColumn(0).data() != lastKey)
    throw std::runtime_error("the count moved the last row away");
}

// The table open with its first screen read; then `move` until the rows on
// screen are read.
template <typename Move, typename After = void (*)(ui::DataGrid&)>
Metrics FromFirstScreen(const Options& options, Move move, After after = [](ui::DataGrid&) {}) {
  ui::DataGrid grid;
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  WaitForScreen(grid);
  // The scroll bar sized, as it is by the time a user can press a key
  // (rows read from the start only are shown as the view asks for them).
  while (grid.dataSource()->windowed() && grid.recordsetModel()->tableRows() < grid.dataSource()->rowCount())
    QCoreApplication::processEvents();
  grid.setCurrentIndex(grid.model()->index(0, 0));
  Span span;
  StallWatch stalls;
  // When the count arrived, after the start (0: before it).
  double countedAfter = 0;
  QObject::connect(grid.recordsetModel(), &ui::RecordsetModel::rowsCounted, [&] { countedAfter = span.seconds(); });
  Metrics metrics = move(grid);
  const double seconds = span.seconds();
  const double stallMs = stalls.longestMs();
  CheckScreenInOrder(grid);
  metrics.insert(metrics.end(), {{"seconds", seconds},
                                 {"stall_ms", stallMs},
                                 {"counted_seconds", countedAfter},
                                 {"screen_resident_mib", span.residentAtStartMiB()},
                                 {"peak_resident_mib", span.peakResidentMiB()},
                                 {"rows", static_cast<double>(grid.recordsetModel()->tableRows())},
                                 {"held_rows", static_cast<double>(grid.dataSource()->heldRows())}});
  after(grid);
  return metrics;
}

}  // namespace

Metrics AppCtrlEnd(const Options& options) {
  QString lastKey;
  return FromFirstScreen(
      options,
      [&](ui::DataGrid& grid) {
        PressCtrlEnd(grid);
        lastKey = grid.currentIndex().siblingAtColumn(0).data().toString();
        return Metrics{};
      },
      [&](ui::DataGrid& grid) { CheckStillAtTheEnd(grid, lastKey); });
}

Metrics AppMiddle(const Options& options) {
  return FromFirstScreen(options, [](ui::DataGrid& grid) {
    QScrollBar* bar = grid.rowScrollBar();
    bar->setValue((bar->minimum() + bar->maximum()) / 2);
    WaitForScreen(grid);
    return Metrics{};
  });
}

Metrics AppSweep(const Options& options) {
  return FromFirstScreen(options, [](ui::DataGrid& grid) {
    // The whole table: where no guess sized the scroll bar, it is sized by
    // the count (waited for as Ctrl+End does).
    grid.recordsetModel()->fetchAll();
    QScrollBar* bar = grid.rowScrollBar();
    std::size_t mostHeld = 0;
    double slowest = 0;
    int slowestStep = 0;
    for (int step = 1; step <= SweepSteps; ++step) {
      const double start = Now();
      bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * step / SweepSteps));
      WaitForScreen(grid);
      // Drawn before the next step, as between the moves of a user's hand.
      QCoreApplication::processEvents();
      if (const double seconds = Now() - start; seconds > slowest) {
        slowest = seconds;
        slowestStep = step;
      }
      CheckScreenInOrder(grid);
      mostHeld = std::max(mostHeld, grid.dataSource()->heldRows());
    }
    if (bar->value() != bar->maximum()) throw std::runtime_error("the sweep did not reach the end");
    return Metrics{{"most_held_rows", static_cast<double>(mostHeld)},
                   {"slowest_step_seconds", slowest},
                   {"slowest_step", static_cast<double>(slowestStep)}};
  });
}

Metrics AppCancelledEnd(const Options& options) {
  Options view = options;
  view.table = CancelledView;
  double escapedAt = 0;
  return FromFirstScreen(view, [&](ui::DataGrid& grid) {
    QTimer::singleShot(CancelAfterMs, &grid, [&] {
      escapedAt = Now();
      QTest::keyClick(&grid, Qt::Key_Escape);
    });
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    const double ended = Now();
    if (escapedAt == 0) throw std::runtime_error("the read ended before Esc: the view is too small to measure it");
    // At the last row read then (the view may have asked for a block more).
    const int current = grid.currentIndex().row();
    if (current < 1 || current < grid.model()->rowCount() - 1 - ui::RecordsetModel::FetchBlockRows)
      throw std::runtime_error("Esc left the jump short of the last row read");
    WaitForScreen(grid);
    return Metrics{{"after_esc_ms", (ended - escapedAt) * 1000}};
  });
}

Metrics AppReadThrough(const Options& options) {
  ui::DataGrid grid;
  ShowGrid(grid);
  Span span;
  BindTable(grid, options);
  FillScreen(grid);
  grid.setCurrentIndex(grid.model()->index(0, 0));
  PressCtrlEnd(grid);
  return {{"seconds", span.seconds()},
          {"peak_mib", span.peakGrowthMiB()},
          {"rows", static_cast<double>(grid.model()->rowCount())}};
}

}  // namespace bench
