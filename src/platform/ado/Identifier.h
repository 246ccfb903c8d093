#pragma once

#include <string>
#include <string_view>

namespace ado {

// An SQL identifier in double quotes, embedded double quotes doubled, so any
// name stands for itself.
inline std::string QuoteIdentifier(std::string_view name) {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted += '"';
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace ado
