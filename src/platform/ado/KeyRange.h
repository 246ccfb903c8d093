#pragma once

#include <cstddef>

namespace ado {

// The lowest and the highest value of the one integer key a view's rows
// are ordered by. Where as many rows as values between them were counted,
// every value is a row: a place's key is the lowest plus the place.
struct KeyRange {
  long long low = 0;
  long long high = 0;

  // How many values lie between the two, both included.
  std::size_t values() const { return high < low ? 0 : static_cast<std::size_t>(high - low) + 1; }
  bool operator==(const KeyRange&) const = default;
};

}  // namespace ado
