#include "RecordsetModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QScopedValueRollback>
#include <algorithm>
#include <cstdint>

#include "BooleanText.h"
#include "LockWait.h"
#include "platform/ado/AdoError.h"
#include "ShownValue.h"

namespace ui {

namespace {

const QString kNullText = QStringLiteral("NULL");

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

RecordsetModel::RecordsetModel(ado::RecordsetPtr recordset, QObject* parent)
    : QAbstractTableModel(parent),
      recordset_(std::move(recordset)),
      shownRows_(recordset_ ? recordset_->rowCount() : 0),
      generation_(recordset_ ? recordset_->generation() : 0),
      lockWait_(new LockWait(this)) {
  resetPage();
  connect(lockWait_, &LockWait::savedDespiteCancel, this, &RecordsetModel::notice);
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !recordset_) return 0;
  return static_cast<int>(pagePlaces_) + (newRow_ ? 1 : 0);
}

std::size_t RecordsetModel::cacheRow(int row) const {
  const std::size_t at = pageBase_ + static_cast<std::size_t>(row);
  return newRow_ && at > newRow_->at ? at - 1 : at;
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !recordset_) return 0;
  return recordset_->fieldCount();
}

QString RecordsetModel::displayText(const ado::CellView& cell, int column) const {
  return ShownValue(cell.text, recordset_->knownColumn(column).isBinary(), cell.wholeSize);
}

QString RecordsetModel::editText(std::size_t row, const ado::CellView& cell, int column) const {
  // An editor gets the whole value: what it hands back is written as it is.
  if (cell.isNull) return {};
  if (recordset_->knownColumn(column).isBinary()) return displayText(cell, column);
  if (!cell.cut()) return ToQString(cell.text);
  // Editors and copies read it through wholeText, which tells a failure.
  try {
    return ToQString(recordset_->WholeValue(row, column));
  } catch (const std::exception&) {
    return {};
  }
}

bool RecordsetModel::valueIsCut(const QModelIndex& index) const {
  if (!recordset_ || !index.isValid() || isNewRow(index.row())) return false;
  const std::size_t row = cacheRow(index.row());
  return row < shownRows_ && recordset_->rowHeld(row) && recordset_->cell(row, index.column()).cut();
}

std::optional<QString> RecordsetModel::copiedText(const QModelIndex& index) {
  if (valueIsCut(index)) return wholeText(index);
  const QVariant copied = index.data(CopyRole);
  return (copied.isValid() ? copied : index.data(Qt::DisplayRole)).toString();
}

std::optional<QString> RecordsetModel::wholeText(const QModelIndex& index) {
  if (!valueIsCut(index)) return index.data(Qt::EditRole).toString();
  try {
    const std::string whole = recordset_->WholeValue(cacheRow(index.row()), index.column());
    return columnIsBinary(index.column()) ? HexadecimalText(whole) : ToQString(whole);
  } catch (const std::exception& failure) {
    // The row now shows what the database holds.
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    emit writeFailed(QString::fromUtf8(failure.what()));
    return std::nullopt;
  }
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !recordset_) return {};
  if (isNewRow(index.row())) return newRowData(index.column(), role);
  const std::size_t row = cacheRow(index.row());
  if (row >= shownRows_) return {};
  if (!recordset_->rowHeld(row)) return placeholder(row, role);
  const ado::CellView cell = recordset_->cell(row, index.column());
  switch (role) {
    case Qt::DisplayRole:
      return cell.isNull ? kNullText : displayText(cell, index.column());
    case Qt::EditRole:
      return editText(row, cell, index.column());
    case NullRole:
      return cell.isNull;
    case CopyRole:
      if (cell.isNull) return kNullText;
      // Binary values held cut are read whole by copiedText.
      if (recordset_->knownColumn(index.column()).isBinary() && !cell.cut()) return HexadecimalText(cell.text);
      return editText(row, cell, index.column());
    case Qt::TextAlignmentRole:
      return alignment(index.column());
    case Qt::CheckStateRole:
      return checkState(cell.isNull, ToQString(cell.text), index.column());
    case Qt::ForegroundRole:
      if (cell.isNull || recordset_->rowDeleted(row)) return QBrush(QColor(Qt::gray));
      return {};
    case Qt::BackgroundRole:
      // A row changed so that the find or a filter would no longer show it.
      if (recordset_->rowUnmatched(row)) return QBrush(QColor(255, 243, 205));
      // What the find found.
      if (cellHoldsFindText(index.row(), index.column())) return QBrush(QColor(255, 224, 102));
      return {};
    case Qt::FontRole:
      if (cell.isNull || recordset_->rowDeleted(row)) {
        QFont font;
        font.setItalic(cell.isNull);
        // A row found deleted by a write stays in view, struck through.
        font.setStrikeOut(recordset_->rowDeleted(row));
        return font;
      }
      return {};
    default:
      return {};
  }
}

QVariant RecordsetModel::alignment(int column) const {
  // Numbers line up on the right, as in a spreadsheet.
  if (!recordset_->knownColumn(column).isNumber()) return {};
  return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
}

QVariant RecordsetModel::checkState(bool isNull, const QString& text, int column) const {
  if (!recordset_->knownColumn(column).isBoolean()) return {};
  if (isNull) return static_cast<int>(Qt::PartiallyChecked);
  const std::optional<bool> value = BooleanValue(text);
  if (!value) return {};
  return static_cast<int>(*value ? Qt::Checked : Qt::Unchecked);
}

QString RecordsetModel::booleanSample(const QModelIndex& index) const {
  if (const QString own = index.data(Qt::EditRole).toString(); BooleanValue(own)) return own;
  for (std::size_t row = 0; row < shownRows_; ++row) {
    if (!recordset_->rowHeld(row)) continue;
    const ado::CellView cell = recordset_->cell(row, index.column());
    if (const QString text = ToQString(cell.text); !cell.isNull && BooleanValue(text)) return text;
  }
  return {};
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  // A column's heading tells what it holds, and why its cells cannot be
  // changed, if so.
  if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && recordset_ && section >= 0 &&
      section < recordset_->fieldCount())
    return columnToolTip(section);
  if (role == Qt::ToolTipRole && orientation == Qt::Vertical && recordset_ && section >= 0 && !isNewRow(section) &&
      recordset_->rowUnmatched(cacheRow(section)))
    return QStringLiteral("Changed so that the find or a filter no longer shows it; it goes when the rows are read "
                          "again (F5).");
  if (role != Qt::DisplayRole || !recordset_) return {};
  // A new row is marked until it is stored.
  if (orientation == Qt::Vertical)
    return isNewRow(section) ? QVariant(QStringLiteral("*"))
                             : QVariant(static_cast<qulonglong>(pageBase_) + static_cast<qulonglong>(section) + 1);
  if (section < 0 || section >= recordset_->fieldCount()) return {};
  return QString::fromStdString(recordset_->knownColumn(section).name);
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Painting asks for the flags of every cell; what is not known yet is
  // settled when an edit starts (readOnlyReason).
  if (recordset_ && knownReadOnlyReason(index.column()).isEmpty() &&
      (isNewRow(index.row()) || recordset_->RowReadOnlyReason(cacheRow(index.row())).empty()))
    flags |= Qt::ItemIsEditable;
  // A boolean's check box, once it shows one (in a new row from the start).
  if (flags & Qt::ItemIsEditable && recordset_->knownColumn(index.column()).isBoolean() &&
      (isNewRow(index.row()) || data(index, Qt::CheckStateRole).isValid()))
    flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QString RecordsetModel::readOnlyReason(int column) const {
  if (!recordset_) return {};
  const std::string reason = recordset_->ReadOnlyReason(column);
  if (!reason.empty()) return QString::fromStdString(reason);
  return hexadecimalReason(recordset_->knownColumn(column));
}

QString RecordsetModel::knownReadOnlyReason(int column) const {
  if (!recordset_) return {};
  const std::string reason = recordset_->KnownReadOnlyReason(column);
  if (!reason.empty()) return QString::fromStdString(reason);
  return hexadecimalReason(recordset_->knownColumn(column));
}

QString RecordsetModel::hexadecimalReason(const ado::ColumnInfo& info) {
  // Bytes are shown as hexadecimal text, which must never go back as if it
  // were the bytes themselves.
  if (!info.isBinary()) return {};
  return QStringLiteral("The column \"%1\" holds binary data, shown in hexadecimal; it cannot be edited here.")
      .arg(QString::fromStdString(info.name));
}

const ado::ColumnInfo& RecordsetModel::columnFacts(int column) const {
  try {
    return recordset_->column(column);
  } catch (const ado::Error&) {
    // The data source could not describe it further; what is known serves.
    return recordset_->knownColumn(column);
  }
}

std::size_t RecordsetModel::valueBytes(const QModelIndex& index) const {
  if (!recordset_ || !index.isValid() || isNewRow(index.row())) return 0;
  const std::size_t row = cacheRow(index.row());
  return row < shownRows_ && recordset_->rowHeld(row) ? recordset_->cell(row, index.column()).size() : 0;
}

bool RecordsetModel::columnIsText(int column) const {
  if (!recordset_) return false;
  const ado::ColumnInfo& facts = columnFacts(column);
  return facts.isText() && !facts.holdsDate() && !facts.isBoolean();
}

bool RecordsetModel::columnHoldsDate(int column) const { return recordset_ && columnFacts(column).holdsDate(); }

bool RecordsetModel::columnIsNullable(int column) const { return recordset_ && columnFacts(column).nullable; }

std::optional<std::string> RecordsetModel::valueToStore(const QVariant& value, int role,
                                                        int column) const {
  if (role == NullRole) return std::nullopt;
  const QString text = value.toString();
  if (text.isEmpty()) return recordset_->EmptiedValue(column);
  return text.toStdString();
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role == Qt::CheckStateRole && index.isValid() && recordset_) {
    // The database's own spelling of true and false, as read.
    const auto state = static_cast<Qt::CheckState>(value.toInt());
    if (state == Qt::PartiallyChecked) return setData(index, {}, NullRole);
    return setData(index, BooleanText(state == Qt::Checked, booleanSample(index)), Qt::EditRole);
  }
  if (!index.isValid() || !recordset_ || (role != Qt::EditRole && role != NullRole)) return false;
  const int column = index.column();
  const std::optional<std::string> newValue = valueToStore(value, role, column);
  if (isNewRow(index.row())) {
    // Kept until the row is left; then the whole row goes in one insert.
    newRow_->cells[column] = newValue;
    emit dataChanged(index, index);
    return true;
  }
  const std::size_t row = cacheRow(index.row());
  // A row let go while its editor was open is read again first.
  if (!recordset_->rowHeld(row)) readRows(index.row(), 1);
  if (!recordset_->rowHeld(row)) {
    emit writeFailed(QStringLiteral("The change was not saved: the row could not be read again to change it."));
    return false;
  }
  const ado::CellView old = recordset_->cell(row, column);
  if (old.isNull == !newValue.has_value() && (!newValue || old.text == *newValue)) return true;
  try {
    const LockWait::Write writing(*lockWait_);
    recordset_->UpdateCell(row, column, newValue);
    markUnmatched(index.row(), 1);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    emit rowsSaved(index.row(), index.row());
    showRowsBeyond();
    return true;
  } catch (const std::exception& failure) {
    // The recordset now shows what the database holds for the row.
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    emit writeFailed(QString::fromUtf8(failure.what()));
    return false;
  }
}

bool RecordsetModel::canFetchMore(const QModelIndex& parent) const {
  if (parent.isValid() || !recordset_ || !recordset_->isOpen() || announcing_ || lockWait_->busy()) return false;
  // Rows past a page short of the table's end are read when it moves there.
  if (pageBase_ + pagePlaces_ < shownRows_) return false;
  // A write may have read ahead into the cache rows the views have not been
  // told of yet.
  return recordset_->rowCount() > shownRows_ || (!recordset_->allRowsFetched() && !readCutShort_);
}

void RecordsetModel::fetchRows(std::size_t rows) {
  const std::size_t wanted = rows > SIZE_MAX - shownRows_ ? SIZE_MAX : shownRows_ + rows;
  // The rows are read into the recordset's cache first and announced after;
  // views see them only from endInsertRows on.
  if (recordset_->rowCount() < wanted && !recordset_->allRowsFetched()) {
    try {
      recordset_->FetchMore(wanted - recordset_->rowCount());
    } catch (const std::exception& failure) {
      readFailed(failure);
    }
  }
  if (recordset_->generation() != generation_) {
    // The rows were read anew from the start (another program wrote while
    // the read was paused): the views are shown them afresh.
    beginResetModel();
    generation_ = recordset_->generation();
    shownRows_ = std::min(recordset_->rowCount(), wanted);
    resetPage();
    if (newRow_) newRow_->at = std::min(newRow_->at, shownRows_);
    endResetModel();
    emit pageChanged();
    return;
  }
  openWindowLater();
  const std::size_t cached = std::min(recordset_->rowCount(), wanted);
  if (cached <= shownRows_) return;
  // Views may ask for more while rows are being announced; they get them on
  // their next request. A new row stays where it was opened.
  const QScopedValueRollback announcing(announcing_, true);
  insertPlaces(shownRows_, cached - shownRows_, {}, true);
}

void RecordsetModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  fetchRows(FetchBlockRows);
}


}  // namespace ui
