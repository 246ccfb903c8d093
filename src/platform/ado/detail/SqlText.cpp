#include "SqlText.h"

#include <algorithm>
#include <cctype>

namespace ado {
namespace {

std::string BalancedRange(const std::vector<std::string>& parts, const std::string& op, std::size_t from,
                          std::size_t to) {
  if (to - from == 1) return parts[from];
  const std::size_t middle = from + (to - from) / 2;
  return "(" + BalancedRange(parts, op, from, middle) + " " + op + " " + BalancedRange(parts, op, middle, to) + ")";
}

}  // namespace

std::string Upper(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Lower(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
  return joined;
}

std::string Balanced(const std::vector<std::string>& parts, const std::string& op) {
  return parts.empty() ? std::string() : BalancedRange(parts, op, 0, parts.size());
}

}  // namespace ado
