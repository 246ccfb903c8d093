// The catalogue's word on the columns of the table read: its primary key and
// its defaults, asked once per call.
#include <algorithm>

#include "Recordset.h"
#include "RecordsetState.h"
#include "detail/CatalogQuery.h"
#include "detail/RenewableSession.h"

namespace ado {

namespace {

// Columns of SQLPrimaryKeys and SQLColumns (from 0): COLUMN_NAME, and
// SQLColumns' COLUMN_DEF.
constexpr std::size_t NameColumn = 3;
constexpr std::size_t DefaultColumn = 12;

}  // namespace

std::vector<ColumnNotes> Recordset::CatalogNotes() {
  std::vector<ColumnNotes> notes(static_cast<std::size_t>(std::max(0, fieldCount())));
  if (!state_ || !state_->read || table_.empty()) return notes;
  const auto columnOf = [&](const std::optional<std::string>& name) -> ColumnNotes* {
    if (!name) return nullptr;
    for (std::size_t column = 0; column < notes.size(); ++column)
      if (knownColumn(static_cast<int>(column)).name == *name) return &notes[column];
    return nullptr;
  };
  // What cannot be asked leaves the notes empty: they only inform.
  try {
    OdbcConnection& connection = state_->reading->Get();
    for (const auto& row : PrimaryKeyColumns(connection, "", table_))
      if (ColumnNotes* found = row.size() > NameColumn ? columnOf(row[NameColumn]) : nullptr)
        found->inPrimaryKey = true;
    // The word NULL is what a column without a default gets too (SQLite's
    // driver says it for every such column): no default to tell of.
    for (const auto& row : TableColumns(connection, "", table_))
      if (ColumnNotes* found = row.size() > DefaultColumn ? columnOf(row[NameColumn]) : nullptr;
          found && !found->defaultValue && row[DefaultColumn] && *row[DefaultColumn] != "NULL")
        found->defaultValue = row[DefaultColumn];
  } catch (const std::exception&) {
  }
  return notes;
}

}  // namespace ado
