#pragma once

#include <string>
#include <string_view>

namespace ado {

// An SQL identifier between the data source's quote characters (the
// standard double quote unless the driver names another, such as MariaDB's
// backquote), embedded quote characters doubled, so any name stands for
// itself.
inline std::string QuoteIdentifier(std::string_view name, char quote = '"') {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted += quote;
  for (char c : name) {
    if (c == quote) quoted += quote;
    quoted += c;
  }
  quoted += quote;
  return quoted;
}

}  // namespace ado
