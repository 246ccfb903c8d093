#pragma once

#include <optional>
#include <string>

#include "../BoundParameters.h"

namespace ado {

// What holds exactly while the SQLite cell `c` stores `value` in the given
// storage class ('n', 'i', 'r', 't' or 'b'), byte for byte, whatever the
// column's affinity or collation; the value is bound. `quotedReal`: a
// REAL's exact value as quote() writes it, where its text loses digits.
std::string SqliteCellMatch(const std::string& c, char storageClass, const std::optional<std::string>& value,
                            BoundParameters& parameters, const std::optional<std::string>& quotedReal = {});

}  // namespace ado
