// The columns' widths: fitted to the values, whole for numbers, dates and
// keys, kept where the user sized them, and remembered per data source and
// table with the font's zoom.
#include <QEvent>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "ColumnTypeWidth.h"
#include "DataGrid.h"
#include "LockWait.h"
#include "RecordsetModel.h"

namespace ui {

namespace {

// The narrowest a column is made when it is fitted to its values.
constexpr int kMinimumColumnWidth = 40;
// Rows measured when the view cannot yet tell which are on screen.
constexpr int kFitRows = 60;
// A text column is fitted to its values up to a third of the grid, but
// never narrower than this many average characters nor wider than that.
constexpr int kTextCapLeastCharacters = 20;
constexpr int kTextCapMostCharacters = 60;
// Dragging a heading's edge writes the state file once it rests this long.
constexpr int kSaveAfterMs = 400;
// The font's size stays within these points, whatever the zoom.
constexpr double kSmallestPoints = 6;
constexpr double kLargestPoints = 48;

// The widest a text column is fitted to its values.
int TextCap(const QAbstractItemView& view) {
  const int characters = view.fontMetrics().averageCharWidth();
  return std::clamp(view.viewport()->width() / 3, kTextCapLeastCharacters * characters,
                    kTextCapMostCharacters * characters);
}

// While the model reads (or writes), the event loop turns inside the read:
// measuring then would reach into the recordset in the middle of it. What
// waits for that tries again this much later.
constexpr int kBusyRetryMs = 50;

bool Busy(const RecordsetModel& model) { return model.lockWait()->busy(); }

QFont Zoomed(QFont font, int zoom) {
  if (zoom != 0) font.setPointSizeF(std::clamp(font.pointSizeF() + zoom, kSmallestPoints, kLargestPoints));
  return font;
}

}  // namespace

void DataGrid::followUserWidths() {
  saveLayout_ = new QTimer(this);
  saveLayout_->setSingleShot(true);
  saveLayout_->setInterval(kSaveAfterMs);
  connect(saveLayout_, &QTimer::timeout, this, &DataGrid::saveLayoutNow);
  // A width the grid did not set itself is the user's: a heading's edge
  // dragged or double-clicked.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    if (fittingColumns_ || !model_ || width <= 0) return;
    layout_.widths[model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString()] = width;
    saveLayout_->start();
  });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DataGrid::widenColumnsLater);
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &DataGrid::widenColumnsLater);
}

void DataGrid::recallLayout(const QString& table) {
  table_ = stateFile_ ? table : QString();
  layout_ = {};
  fittedWidth_ = 0;
  if (!table_.isEmpty()) layout_ = stateFile_->Read(dataSourceName_.toStdString(), table_.toStdString());
  if (!pageFont_) pageFont_ = font();
  applyZoom();
  if (!model_) return;
  // Rows read later may need more.
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this, &DataGrid::widenColumnsLater);
  connect(model_.get(), &QAbstractItemModel::modelReset, this, &DataGrid::widenColumnsLater);
  connect(model_.get(), &QAbstractItemModel::dataChanged, this, &DataGrid::widenColumnsLater);
}

void DataGrid::saveLayoutNow() {
  if (!saveLayout_ || !saveLayout_->isActive()) return;
  saveLayout_->stop();
  if (table_.isEmpty() || !stateFile_) return;
  // The layout is a convenience: a state file that cannot be written loses
  // it, and nothing else.
  try {
    stateFile_->Write(dataSourceName_.toStdString(), table_.toStdString(), layout_);
  } catch (const std::exception&) {
  }
}

void DataGrid::setRememberedAs(const std::string& applicationName, const QString& dataSourceName) {
  stateFile_.emplace(applicationName);
  dataSourceName_ = dataSourceName;
}

void DataGrid::zoomBy(int steps) {
  if (!pageFont_) pageFont_ = font();
  const double points = pageFont_->pointSizeF();
  const int zoom = static_cast<int>(
      std::clamp(static_cast<double>(layout_.zoom + steps), kSmallestPoints - points, kLargestPoints - points));
  if (zoom == layout_.zoom) return;
  layout_.zoom = zoom;
  applyZoom();
  saveLayout_->start();
}

void DataGrid::applyZoom() {
  if (!pageFont_) return;
  setFont(Zoomed(*pageFont_, layout_.zoom));
  // The widths follow the font, smaller too, but for those the user set.
  if (model_ && fittedWidth_ > 0) {
    fittedWidth_ = 0;
    fitPending_ = true;
    fitColumnsWhenShown();
  }
}

void DataGrid::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  // A font set from outside is the page's, which the zoom goes from.
  if (!pageFont_ || font() != Zoomed(*pageFont_, layout_.zoom)) pageFont_ = font();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void DataGrid::fitColumnsWhenShown() {
  // After the layout has given the grid its size.
  if (!fitPending_ || !isVisible()) return;
  QMetaObject::invokeMethod(this, [this] {
    if (!fitPending_ || !isVisible()) return;
    if (model_ && Busy(*model_))
      QTimer::singleShot(kBusyRetryMs, this, &DataGrid::fitColumnsWhenShown);
    else
      fitColumnsToValues();
  }, Qt::QueuedConnection);
}

void DataGrid::showEvent(QShowEvent* event) {
  QTableView::showEvent(event);
  fitColumnsWhenShown();
}

bool DataGrid::keptWhole(int column) const {
  const ado::ColumnInfo& info = model_->recordset()->knownColumn(column);
  // The key is the catalogue's word, asked once the first rows are shown.
  return info.isNumber() || info.holdsDate() || (model_->columnNotesKnown() && model_->columnNotes(column).inPrimaryKey);
}

void DataGrid::fitColumnsToValues() {
  fitPending_ = false;
  if (!model_) return;
  const QScopedValueRollback fitting(fittingColumns_, true);
  const bool first = fittedWidth_ == 0;
  fittedWidth_ = viewport()->width();
  const int textCap = TextCap(*this);
  // A cell's text has the style's margin on either side.
  const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
  for (int column = 0; column < model_->columnCount(); ++column) {
    const std::string name = model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
    if (const auto set = layout_.widths.find(name); set != layout_.widths.end()) {
      setColumnWidth(column, set->second);
      continue;
    }
    // The rows on screen only: the rest may not even be read. (The view's
    // own measure takes every row while it cannot tell the last one on
    // screen, and would read a large table whole.)
    const int wanted = std::max(horizontalHeader()->sectionSizeHint(column), widthOnScreen(column));
    int width = std::clamp(wanted, kMinimumColumnWidth, textCap);
    if (keptWhole(column)) {
      const int typeWidth = ColumnTypeWidth(model_->recordset()->knownColumn(column), fontMetrics());
      width = std::max({wanted, typeWidth > 0 ? typeWidth + margins : 0, kMinimumColumnWidth});
    }
    // A grid grown only widens: what rows read since needed stays.
    setColumnWidth(column, first ? width : std::max(width, columnWidth(column)));
  }
  // Keys of text are kept whole too, once the catalogue has named them:
  // after the event loop's turn, so that the first rows are shown first.
  if (first && !model_->columnNotesKnown()) learnKeysLater();
}

void DataGrid::learnKeysLater() {
  QTimer::singleShot(kBusyRetryMs, this, [this] {
    if (!model_ || model_->columnNotesKnown()) return;
    if (Busy(*model_)) return learnKeysLater();
    model_->columnNotes(0);
    widenColumns();
  });
}

void DataGrid::widenColumnsLater() {
  if (widenQueued_ || !model_ || fittedWidth_ == 0) return;
  widenQueued_ = true;
  QMetaObject::invokeMethod(this, [this] {
    widenQueued_ = false;
    if (!fitPending_) widenColumns();
  }, Qt::QueuedConnection);
}

void DataGrid::widenColumns() {
  if (!model_ || !isVisible()) return;
  if (Busy(*model_)) {
    QTimer::singleShot(kBusyRetryMs, this, &DataGrid::widenColumnsLater);
    return;
  }
  // A width changed lays the view out anew, and a view that shows the last
  // row read reads on: while rows are still read from the start (a view, a
  // table without a key, a read the user stopped), the columns keep their
  // widths. A table read at any place has no such rows.
  if (model_->canFetchMore({})) return;
  const QScopedValueRollback fitting(fittingColumns_, true);
  const int textCap = TextCap(*this);
  // The columns in view only: what a scroll step costs stays what painting
  // it costs.
  const int first = std::max(0, columnAt(0));
  const int last = columnAt(viewport()->width() - 1) < 0 ? model_->columnCount() - 1 : columnAt(viewport()->width() - 1);
  for (int column = first; column <= last; ++column) {
    if (layout_.widths.contains(model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString()))
      continue;
    const int wanted = keptWhole(column) ? widthOnScreen(column) : std::min(widthOnScreen(column), textCap);
    if (wanted > columnWidth(column)) setColumnWidth(column, wanted);
  }
}

int DataGrid::widthOnScreen(int column) const {
  const int first = std::max(0, rowAt(0));
  int last = rowAt(viewport()->height() - 1);
  if (last < 0) last = std::min(model_->rowCount() - 1, first + kFitRows);
  int width = 0;
  // Rows not held yet are left to their read, which widens again: measuring
  // them would ask for their block in the middle of another read (an
  // export's).
  for (int row = first; row <= last; ++row)
    if (model_->rowIsHeld(row)) width = std::max(width, sizeHintForIndex(model_->index(row, column)).width());
  return width + (showGrid() ? 1 : 0);
}

}  // namespace ui
