#include "MissingReference.h"

#include <map>

#include "platform/ado/References.h"

namespace ado {

std::function<std::string()> MissingReferenceOf(const std::shared_ptr<References>& references,
                                                const StoredRow& original, int visible,
                                                const std::vector<CellChange>& changes) {
  if (!references || references->keys().empty()) return {};
  std::map<int, std::optional<std::string>> cells;
  for (int column = 0; column < visible && static_cast<std::size_t>(column) < original.size(); ++column)
    cells[column] = original[static_cast<std::size_t>(column)];
  for (const CellChange& change : changes) cells[change.column] = change.value;
  return [references, cells = std::move(cells)] { return references->MissingReference(cells); };
}

}  // namespace ado
