#include <QString>
#include <algorithm>

#include "LockWait.h"
#include "RecordsetModel.h"

namespace ui {

namespace {

// Looks for the row far enough to find it in any table one works in, but
// not so far that a vanished row reads a huge table to its end.
constexpr std::size_t kRowSearchLimit = 100000;

}  // namespace

const ado::RowView& RecordsetModel::view() const {
  static const ado::RowView none;
  return recordset_ ? recordset_->view() : none;
}

bool RecordsetModel::setView(const ado::RowView& view) {
  if (!recordset_ || !recordset_->isOpen() || !storeNewRow()) return false;
  const ado::RowView before = recordset_->view();
  QString refusal;
  beginResetModel();
  forgetWindow();
  // Views that paint while the rows are read anew see none.
  newRow_.reset();
  shownRows_ = 0;
  recordset_->setView(view);
  try {
    // A find or a sort over a large table may take long: Esc stops it.
    const LockWait::Read reading(*lockWait_);
    recordset_->Requery();
  } catch (const std::exception& failure) {
    // The rows read before stay as they were.
    refusal = QString::fromUtf8(failure.what());
    recordset_->setView(before);
  }
  shownRows_ = recordset_->isOpen() ? recordset_->rowCount() : 0;
  generation_ = recordset_->isOpen() ? recordset_->generation() : 0;
  resetPage();
  endResetModel();
  emit pageChanged();
  // Rows are read on until they fill a screen; the views ask for more when
  // they show the last. Reading on past a screen at once would cost a find
  // whose rows are few and far apart a second read as long as the first.
  if (shownRows_ < ScreenfulRows && canFetchMore({})) fetchMore({});
  else if (recordset_->isOpen()) openWindowLater();
  if (!refusal.isEmpty()) emit fetchFailed(refusal);
  return refusal.isEmpty();
}

std::string RecordsetModel::rowIdentity(int row) const {
  if (!recordset_ || row < 0 || isNewRow(row) || cacheRow(row) >= shownRows_) return {};
  return recordset_->RowIdentity(cacheRow(row));
}

int RecordsetModel::findRow(const std::string& identity, std::ptrdiff_t near) {
  if (!recordset_ || !recordset_->isOpen() || identity.empty()) return -1;
  openWindow();
  // The row is looked for at its place: every place is told of at once.
  if (recordset_->windowed()) showRowCount(recordset_->rowCount());
  if (!recordset_->windowed() && near >= static_cast<std::ptrdiff_t>(shownRows_) && recordset_->CanReadAnywhere() &&
      !recordset_->allRowsFetched() && !lockWait_->busy()) {
    // No guess yet: the table has at least the rows it had up to there.
    recordset_->SetRowCount(static_cast<std::size_t>(near) + WindowBlockRows, false);
    showRowCount(recordset_->rowCount());
  }
  if (recordset_->windowed() && near >= 0 && static_cast<std::size_t>(near) < shownRows_) {
    // At its own place, which it keeps.
    const std::size_t first = std::max<std::ptrdiff_t>(0, near - WindowBlockRows / 2);
    readCachedRows(first, WindowBlockRows, true);
    for (std::size_t row = first; row < std::min(shownRows_, first + WindowBlockRows); ++row)
      if (recordset_->RowIdentity(row) == identity) {
        showCachedRow(row);
        return modelRow(row);
      }
  }
  std::optional<std::size_t> found;
  try {
    found = recordset_->FindRow(identity, kRowSearchLimit);
  } catch (const std::exception& failure) {
    emit fetchFailed(QString::fromUtf8(failure.what()));
  }
  if (!found) return -1;
  if (*found >= shownRows_) fetchRows(*found + 1 - shownRows_);
  if (*found >= shownRows_) return -1;
  showCachedRow(*found);
  return modelRow(*found);
}

ado::RowView::ValueFilter RecordsetModel::valueFilter(const QModelIndex& index, bool keep) const {
  return recordset_->ValueFilterOf(cacheRow(index.row()), index.column(), keep);
}

bool RecordsetModel::rowHoldsFindText(int row) const {
  const ado::RowView& shown = view();
  if (!recordset_ || shown.findText.empty() || isNewRow(row)) return false;
  const QString text = QString::fromStdString(shown.findText);
  return std::ranges::any_of(shown.findColumns, [&](int column) {
    return index(row, column).data(CopyRole).toString().contains(text, Qt::CaseInsensitive);
  });
}

bool RecordsetModel::cellHoldsFindText(int row, int column) const {
  const ado::RowView& shown = view();
  if (!recordset_ || shown.findText.empty() || isNewRow(row) || std::ranges::find(shown.findColumns, column) == shown.findColumns.end())
    return false;
  const std::size_t cached = cacheRow(row);
  if (cached >= shownRows_ || !recordset_->rowHeld(cached)) return false;
  // Painting asks this of every cell: what is held serves, never a whole
  // value read again.
  const ado::CellView cell = recordset_->cell(cached, column);
  return !cell.isNull && QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size())).contains(QString::fromStdString(shown.findText), Qt::CaseInsensitive);
}

bool RecordsetModel::rowMatchesView(int row) const {
  const ado::RowView& shown = view();
  if (!recordset_ || isNewRow(row) || !recordset_->rowHeld(cacheRow(row))) return true;
  if (!shown.findText.empty() && !shown.findColumns.empty() && !rowHoldsFindText(row)) return false;
  // A value kept must be the cell's exact value, a value hidden must not.
  return std::ranges::all_of(shown.filters, [&](const ado::RowView::ValueFilter& filter) {
    // No filter goes by a value held cut.
    if (recordset_->cell(cacheRow(row), filter.column).cut()) return !filter.keep;
    const ado::RowView::ValueFilter now = recordset_->ValueFilterOf(cacheRow(row), filter.column, filter.keep);
    const bool same = now.value == filter.value && (!now.value || now.storage == filter.storage);
    return same == filter.keep;
  });
}

void RecordsetModel::markUnmatched(int first, int count) {
  if (!recordset_ || !view().narrowed()) return;
  for (int row = first; row < first + count && row < rowCount(); ++row)
    if (!isNewRow(row)) recordset_->SetRowUnmatched(cacheRow(row), !rowMatchesView(row));
}

QString RecordsetModel::sortNote() const {
  if (!recordset_ || !recordset_->isOpen()) return {};
  return recordset_->NullsSortFirst()
             ? QStringLiteral("Click to sort by this column in the database; empty (NULL) cells come first "
                              "ascending, last descending.")
             : QStringLiteral("Click to sort by this column in the database; empty (NULL) cells come last "
                              "ascending, first descending.");
}

}  // namespace ui
