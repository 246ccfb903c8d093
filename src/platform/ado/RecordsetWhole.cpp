// Cells the row cache holds cut, read whole again where that is needed.
#include "AdoError.h"
#include "Recordset.h"
#include "RecordsetState.h"
#include "detail/WriteFailure.h"

namespace ado {

std::size_t Recordset::heldBytes() const { return state_ ? state_->rows->heldBytes() : 0; }

std::string Recordset::WholeValue(std::size_t row, int column) {
  RequireOpen();
  if (!state_->rows->held(row) || column < 0 || column >= fieldCount())
    throw Error("Item cannot be found in the collection corresponding to the requested name or ordinal.");
  const CellView view = state_->rows->cell(row, column);
  if (!view.cut()) return std::string(cell(row, column).text);
  StoredRow whole = WholeRow(row, WriteFailure("The whole value could not be read: "));
  return std::move(whole.at(static_cast<std::size_t>(column))).value_or(std::string());
}

StoredRow Recordset::WholeRow(std::size_t row, const WriteFailure& failure) {
  const HeldRow held{CachedRow(row), state_->rows->WholeSizes(row)};
  try {
    return WholeOf(held, failure);
  } catch (const WriteError& error) {
    ShowRowNow(row, error);
    throw;
  }
}

StoredRow Recordset::WholeOf(const HeldRow& held, const WriteFailure& failure) {
  if (held.wholeSizes.empty()) return held.cells;
  TableWriter* writer = Writer();
  if (!writer) throw Error("The row cannot be read again: the recordset was opened read-only.");
  return writer->ReadWhole(held.cells, held.wholeSizes, failure);
}

}  // namespace ado
