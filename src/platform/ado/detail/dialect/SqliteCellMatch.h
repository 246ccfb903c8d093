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

// An infinite REAL as SQLite writes it in a statement ("9e999", "-9e999"),
// where the text holds one ("Inf", "-inf", "Infinity"...); casting that text
// to REAL would give 0.
std::optional<std::string> InfiniteReal(const std::optional<std::string>& text);

}  // namespace ado
