#include "SqliteCellMatch.h"

#include <algorithm>
#include <cctype>

namespace ado {

std::optional<std::string> InfiniteReal(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  std::string lower = *text;
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool negative = lower.starts_with('-');
  if (negative || lower.starts_with('+')) lower.erase(0, 1);
  if (lower != "inf" && lower != "infinity") return std::nullopt;
  return negative ? "-9e999" : "9e999";
}

std::string SqliteCellMatch(const std::string& c, char storageClass, const std::optional<std::string>& value,
                            BoundParameters& parameters, const std::optional<std::string>& quotedReal) {
  switch (storageClass) {
    case 'n':
      return c + " IS NULL";
    case 'i':
      parameters.AddText(value);
      return "(typeof(" + c + ") = 'integer' AND " + c + " = CAST(? AS INTEGER))";
    case 'r':
      if (quotedReal) {
        parameters.AddText(quotedReal);
        return "(typeof(" + c + ") = 'real' AND quote(" + c + ") = ?)";
      }
      if (auto infinite = InfiniteReal(value)) return "(typeof(" + c + ") = 'real' AND " + c + " = " + *infinite + ")";
      // The text gives the stored number back exactly.
      parameters.AddText(value);
      return "(typeof(" + c + ") = 'real' AND " + c + " = CAST(? AS REAL))";
    case 'b':
      parameters.AddBytes(value.value_or(""));
      return "(typeof(" + c + ") = 'blob' AND " + c + " = ?)";
    default:
      parameters.AddText(value);
      return "(typeof(" + c + ") = 'text' AND CAST(" + c + " AS BLOB) = CAST(? AS BLOB))";
  }
}

}  // namespace ado
