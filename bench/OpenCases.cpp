// The table chooser's "Next >" to the editor's first screen, as the user
// sees it: the grid's paints are watched, from the click until the rows on
// screen are painted, and for a while after, to tell whether the grid came
// up at its final size in one go.
#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <optional>
#include <stdexcept>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "db/DataSource.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Wizard.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

// How long the grid is watched after its first screen: longer than the
// count of a million rows takes.
constexpr int SettleMilliseconds = 1500;

// Whether the rows the viewport shows are read, as a paint of it draws them.
bool RowsOnScreenRead(const ui::DataGrid& grid) {
  const ui::RecordsetModel* model = grid.recordsetModel();
  if (!model || model->rowCount() == 0) return false;
  const int first = grid.rowAt(0);
  int last = grid.rowAt(grid.viewport()->height() - 1);
  if (first < 0) return false;
  if (last < 0) last = model->rowCount() - 1;
  for (int row = first; row <= last; ++row)
    if (!grid.dataSource()->rowHeld(model->pageBase() + static_cast<std::size_t>(row))) return false;
  return true;
}

// Every paint of a data grid's cells: when it was done, how high the cells'
// area was, and whether it drew the rows read.
class PaintLog final : public QObject {
 public:
  struct Paint {
    double at;
    int height;
    bool rows;
  };

  PaintLog() { QApplication::instance()->installEventFilter(this); }
  ~PaintLog() override { QApplication::instance()->removeEventFilter(this); }
  PaintLog(const PaintLog&) = delete;
  PaintLog& operator=(const PaintLog&) = delete;

  const std::vector<Paint>& paints() const { return paints_; }
  std::optional<Paint> firstWithRows() const {
    for (const Paint& paint : paints_)
      if (paint.rows) return paint;
    return std::nullopt;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* grid = watched->parent() ? qobject_cast<ui::DataGrid*>(watched->parent()) : nullptr;
    if (painting_ || event->type() != QEvent::Paint || !grid || watched != grid->viewport()) return false;
    // Painted here, so that the time taken includes the paint.
    painting_ = true;
    const bool rows = RowsOnScreenRead(*grid);
    QCoreApplication::sendEvent(watched, event);
    painting_ = false;
    paints_.push_back({Now(), grid->viewport()->height(), rows});
    return true;
  }

 private:
  std::vector<Paint> paints_;
  bool painting_ = false;
};

}  // namespace

Metrics AppOpenFromChooser(const Options& options) {
  db::SetDataSourceNameReader([&] { return options.dataSource; });
  pages::Wizard wizard;
  pages::Form2& chooser = wizard.form2();
  chooser.Show();
  if (!QTest::qWaitForWindowExposed(&chooser)) throw std::runtime_error("the table chooser was not shown");
  const QList<QListWidgetItem*> found =
      chooser.List1->findItems(QString::fromStdString(options.table), Qt::MatchExactly);
  if (found.isEmpty()) throw std::runtime_error("the table chooser does not list the table");
  chooser.List1->setCurrentItem(found.first());
  QCoreApplication::processEvents();

  PaintLog log;
  const double start = Now();
  QTest::mouseClick(chooser.PushButton3, Qt::LeftButton);
  const double deadline = start + MostWaitSeconds;
  while (!log.firstWithRows()) {
    if (Now() > deadline) throw std::runtime_error("the first screen was not painted within a minute");
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
  }
  const PaintLog::Paint first = *log.firstWithRows();
  ui::DataGrid& grid = *wizard.form3().DataGrid1;
  double countedAfter = 0;
  for (const double settled = Now() + SettleMilliseconds / 1000.0; Now() < settled;) {
    QTest::qWait(5);
    if (!countedAfter && grid.recordsetModel()->rowCountKnown()) countedAfter = Now() - start;
  }
  int paintsBefore = 0;
  for (const PaintLog::Paint& paint : log.paints()) paintsBefore += paint.at < first.at ? 1 : 0;
  return {{"seconds", first.at - start},
          {"paints_before_rows", static_cast<double>(paintsBefore)},
          {"height_growth_px", static_cast<double>(grid.viewport()->height() - first.height)},
          {"counted_seconds", countedAfter}};
}

}  // namespace bench
