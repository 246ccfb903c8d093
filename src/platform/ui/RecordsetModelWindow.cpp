// Rows at any place of a large table: counted in the background, read
// where they are looked at, let go when far from it.
#include <QBrush>
#include <QColor>
#include <QMetaObject>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>

#include "LockWait.h"
#include "RecordsetModel.h"

namespace ui {

bool RecordsetModel::rowCountKnown() const { return recordset_ && recordset_->rowCountKnown(); }

void RecordsetModel::openWindow() {
  if (windowAsked_ || readCutShort_ || !recordset_ || !recordset_->isOpen() || recordset_->allRowsFetched() ||
      !recordset_->CanReadAnywhere())
    return;
  if (lockWait_->busy()) {
    QTimer::singleShot(WriteRetryMilliseconds, this, &RecordsetModel::openWindow);
    return;
  }
  windowAsked_ = true;
  try {
    // The guess sizes the scroll bar until the count arrives. The views
    // are told of every place at once: those outside the page cost them
    // nothing.
    if (const std::optional<std::size_t> guess = recordset_->EstimatedRowCount(); guess && *guess > shownRows_) {
      recordset_->SetRowCount(*guess, false);
      emit placesGuessed(recordset_->rowCount());
      showRowCount(recordset_->rowCount());
    }
  } catch (const std::exception& failure) {
    emit fetchFailed(QString::fromUtf8(failure.what()));
    return;
  }
  // The count opens a connection of its own and keeps the database busy:
  // it starts after the first rows are painted, unless waited for sooner.
  countWanted_ = true;
  QTimer::singleShot(CountWithoutPaintMilliseconds, this, &RecordsetModel::startCount);
}

void RecordsetModel::viewPainted() {
  if (countWanted_) QMetaObject::invokeMethod(this, &RecordsetModel::startCount, Qt::QueuedConnection);
}

void RecordsetModel::startCount() {
  if (!countWanted_ || !recordset_ || !recordset_->isOpen()) return;
  countWanted_ = false;
  try {
    count_ = recordset_->CountRows([this] {
      QMetaObject::invokeMethod(this, [this] { countArrived(); }, Qt::QueuedConnection);
    });
  } catch (const std::exception& failure) {
    emit fetchFailed(QString::fromUtf8(failure.what()));
  }
}

void RecordsetModel::openWindowLater() {
  if (!windowAsked_ && !recordset_->allRowsFetched() && recordset_->CanReadAnywhere())
    QMetaObject::invokeMethod(this, &RecordsetModel::openWindow, Qt::QueuedConnection);
}

void RecordsetModel::countArrived() {
  if (!count_ || !count_->done() || !recordset_ || !recordset_->isOpen()) return;
  // Places do not move under a write waiting for its outcome.
  if (lockWait_->busy()) {
    QTimer::singleShot(WriteRetryMilliseconds, this, [this] { countArrived(); });
    return;
  }
  const std::optional<std::size_t> rows = count_->rows();
  const std::optional<ado::KeyRange> keys = count_->keyRange();
  count_.reset();
  // Without a count the rows are read on from the start, as before.
  if (!rows || (!recordset_->windowed() && recordset_->allRowsFetched())) return;
  try {
    settlePlaces(*rows, keys);
  } catch (const std::exception& failure) {
    emit fetchFailed(QString::fromUtf8(failure.what()));
    return;
  }
  showRowCount(recordset_->rowCount());
  emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
  // Rows read where the guess put them and found elsewhere are read again.
  cachedRowsChanged(pageBase_, pageBase_ + pagePlaces_);
  emit rowsCounted();
}

void RecordsetModel::settlePlaces(std::size_t rows, const std::optional<ado::KeyRange>& keys) {
  // Rows read back from the end before the count keep their distance from
  // it: places come or go before them.
  const auto [at, by] = recordset_->TailShift(rows);
  if (by == 0 || !recordset_->windowed()) {
    recordset_->SetRowCount(rows, true, keys);
    return;
  }
  const QScopedValueRollback announcing(announcing_, true);
  const auto settle = [&] { recordset_->SetRowCount(rows, true, keys); };
  if (by > 0)
    insertPlaces(at, static_cast<std::size_t>(by), settle, true);
  else
    removePlaces(at - static_cast<std::size_t>(-by), static_cast<std::size_t>(-by), settle);
}

void RecordsetModel::showRowCount(std::size_t rows) {
  // Views asking for more rows meanwhile get none: these are all.
  const QScopedValueRollback announcing(announcing_, true);
  if (rows > shownRows_)
    insertPlaces(shownRows_, rows - shownRows_, {}, true);
  else if (rows < shownRows_)
    removePlaces(rows, shownRows_ - rows, {});
}

void RecordsetModel::fetchAll() {
  if (recordset_ && recordset_->isOpen() && recordset_->windowed()) {
    // Every place is a row already: the last ones are read from the end,
    // whether counted yet or not.
    showRowCount(recordset_->rowCount());
    return;
  }
  if (!recordset_ || !recordset_->isOpen() || lockWait_->busy()) return;
  // The window keeps painting, and Esc stops the wait or the read where
  // it is: the last row is then the last one read.
  if (recordset_->CanReadAnywhere() && !rowCountKnown()) {
    openWindow();
    startCount();
    {
      // The count runs on a thread of its own.
      const LockWait::Read waiting(*lockWait_);
      while (count_ && !count_->done())
        if (!lockWait_->Step(shownRows_, CountWaitStepMilliseconds)) return;
    }
    countArrived();
    if (recordset_->windowed()) return;
  }
  const LockWait::Read reading(*lockWait_);
  while (recordset_->rowCount() > shownRows_ || !recordset_->allRowsFetched()) {
    const std::size_t before = shownRows_;
    fetchRows(StepRows);
    if (shownRows_ == before || !lockWait_->Step(shownRows_)) break;
  }
}

void RecordsetModel::readRows(int row, int count) {
  if (row >= 0 && count > 0) readCachedRows(cacheRow(row), static_cast<std::size_t>(count));
}

void RecordsetModel::readBlocksOf(int first, int last) {
  if (!recordset_ || !recordset_->windowed() || readCutShort_ || lockWait_->busy() || first < 0 || last < first)
    return;
  for (int row = first; row <= last && row < rowCount(); ++row)
    if (!isNewRow(row) && cacheRow(row) < shownRows_ && !recordset_->rowHeld(cacheRow(row)) &&
        !failedBlocks_.contains(cacheRow(row) / WindowBlockRows))
      wantedBlocks_.insert(cacheRow(row) / WindowBlockRows);
  if (!wantedBlocks_.empty()) readWantedRows();
}

void RecordsetModel::readCachedRows(std::size_t first, std::size_t count, bool sure) {
  if (!recordset_ || !recordset_->windowed() || count == 0) return;
  try {
    const auto [missingFirst, missing] = recordset_->ReadRows(first, count, sure);
    if (missing > 0) {
      // The database has fewer rows there than places: those places go.
      const QScopedValueRollback announcing(announcing_, true);
      removePlaces(missingFirst, missing, [&, at = missingFirst, gone = missing] { recordset_->DropRows(at, gone); });
    }
  } catch (const ado::ReadCutShort& failure) {
    readFailed(failure);
  } catch (const std::exception& failure) {
    for (std::size_t block = first / WindowBlockRows; block <= (first + count - 1) / WindowBlockRows; ++block)
      failedBlocks_.insert(block);
    emit fetchFailed(QString::fromUtf8(failure.what()));
  }
}

void RecordsetModel::readFailed(const std::exception& failure) {
  // Said once; nothing more is read until the rows are read anew (F5).
  if (dynamic_cast<const ado::ReadCutShort*>(&failure)) {
    readCutShort_ = true;
    wantedBlocks_.clear();
  }
  emit fetchFailed(QString::fromUtf8(failure.what()));
}

void RecordsetModel::readWantedRows() {
  if (lockWait_->busy()) {
    QTimer::singleShot(WriteRetryMilliseconds, this, &RecordsetModel::readWantedRows);
    return;
  }
  readQueued_ = false;
  if (readCutShort_ || !recordset_ || !recordset_->isOpen() || !recordset_->windowed() || wantedBlocks_.empty()) {
    wantedBlocks_.clear();
    return;
  }
  const std::set<std::size_t> blocks = std::exchange(wantedBlocks_, {});
  // A block far into a large table may take long to reach: Esc stops it.
  const LockWait::Read reading(*lockWait_);
  std::optional<std::pair<std::size_t, std::size_t>> looked;
  for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
    const std::size_t first = *block * WindowBlockRows;
    if (failedBlocks_.contains(*block) || first >= shownRows_) continue;
    // Painted again while it was being read: nothing left to read there.
    const std::size_t end = std::min(first + WindowBlockRows, shownRows_);
    if (recordset_->rowHeld(first) && recordset_->rowHeld(end - 1)) continue;
    looked = {std::min(first, looked ? looked->first : first), std::max(end, looked ? looked->second : end)};
    readCachedRows(first, WindowBlockRows);
    if (readCutShort_) return;
    cachedRowsChanged(first, std::min(end, shownRows_) - 1);
  }
  // Rows far from those looked at last are let go.
  if (looked) recordset_->KeepRows(looked->first > KeptRows ? looked->first - KeptRows : 0, looked->second + KeptRows);
}

QVariant RecordsetModel::placeholder(std::size_t row, int role) const {
  // Asked for by painting: read after this turn of the event loop.
  const std::size_t block = row / WindowBlockRows;
  if (!readCutShort_ && !failedBlocks_.contains(block) && wantedBlocks_.insert(block).second && !readQueued_) {
    readQueued_ = true;
    QMetaObject::invokeMethod(const_cast<RecordsetModel*>(this), &RecordsetModel::readWantedRows,
                              Qt::QueuedConnection);
  }
  if (role == Qt::DisplayRole) return QString();
  // Never taken for empty values: a row not read is hatched, and one that
  // could not be read says so.
  if (role == Qt::BackgroundRole) return QBrush(QColor(Qt::lightGray), Qt::BDiagPattern);
  if (role == Qt::ToolTipRole && (readCutShort_ || failedBlocks_.contains(block)))
    return QStringLiteral("This row could not be read. Press F5 to read the table again.");
  return {};
}

void RecordsetModel::forgetWindow() {
  count_.reset();
  countWanted_ = false;
  windowAsked_ = false;
  wantedBlocks_.clear();
  failedBlocks_.clear();
  readCutShort_ = false;
}

}  // namespace ui
