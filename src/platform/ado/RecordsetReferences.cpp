// The rows the table's foreign keys reference, and what a refusal by one
// of them names.
#include "AdoError.h"
#include "Recordset.h"
#include "RecordsetState.h"
#include "References.h"
#include "detail/OdbcConnection.h"

namespace ado {

std::shared_ptr<References> Recordset::references() {
  if (!state_ || !state_->read) return nullptr;
  OpenState& state = *state_;
  if (state.references) return state.references;
  const TableRead& read = *state.read;
  std::vector<ForeignKey> keys = read.foreignKeys;
  const int visible = state.visibleColumns();
  for (ForeignKey& key : keys)
    for (std::size_t i = 0; i < key.columnNames.size(); ++i)
      for (int column = 0; column < visible; ++column) {
        const auto at = static_cast<std::size_t>(column);
        const std::string& name = at < read.columnNames.size() && !read.columnNames[at].empty()
                                      ? read.columnNames[at]
                                      : state.columns[at].name;
        if (name == key.columnNames[i]) key.columns[i] = column;
      }
  const char quote = read.quotedTable.empty() ? '"' : read.quotedTable.front();
  state.references = std::make_shared<References>(state.connection, std::move(keys), *read.dialect, quote);
  return state.references;
}

}  // namespace ado
