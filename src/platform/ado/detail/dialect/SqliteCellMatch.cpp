#include "SqliteCellMatch.h"

namespace ado {

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
