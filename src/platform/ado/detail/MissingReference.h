#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PlannedStatement.h"
#include "StoredRow.h"

namespace ado {

class References;

// What names the value a foreign key found missing in the row written:
// `original`'s visible cells (none for a new row) with `changes` over
// them. Asked only once a foreign key refused the write.
std::function<std::string()> MissingReferenceOf(const std::shared_ptr<References>& references,
                                                const StoredRow& original, int visible,
                                                const std::vector<CellChange>& changes);

}  // namespace ado
