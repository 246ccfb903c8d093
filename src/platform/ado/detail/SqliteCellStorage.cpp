#include "SqliteCellStorage.h"

#include <charconv>
#include <cstdlib>

namespace ado {

SqliteCellStorage StorageOfCell(bool isNull, char usualStorage, std::string_view marks, int column) {
  SqliteCellStorage storage;
  if (isNull) return storage;
  storage.storageClass = usualStorage;
  // Marks look like "3:r;5:r3.00000000000000044408e-01;7:t;".
  const std::string prefix = std::to_string(column) + ":";
  std::size_t at = 0;
  while (at < marks.size()) {
    const std::size_t end = marks.find(';', at);
    const std::string_view mark = marks.substr(at, end == std::string_view::npos ? marks.npos : end - at);
    if (mark.starts_with(prefix) && mark.size() > prefix.size()) {
      storage.storageClass = mark[prefix.size()];
      if (mark.size() > prefix.size() + 1) storage.exact = std::string(mark.substr(prefix.size() + 1));
      return storage;
    }
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return storage;
}

std::string ExactRealText(const std::string& quoted) {
  const double number = std::strtod(quoted.c_str(), nullptr);
  char text[64] = {};
  const auto result = std::to_chars(text, text + sizeof text, number);
  return std::string(text, result.ptr);
}

}  // namespace ado
