#include "SqliteCellStorage.h"

#include <charconv>
#include <cstdlib>

namespace ado {
namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes(hex.size() / 2, '\0');
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    unsigned value = 0;
    std::from_chars(hex.data() + 2 * at, hex.data() + 2 * at + 2, value, 16);
    bytes[at] = static_cast<char>(value);
  }
  return bytes;
}

}  // namespace

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
      const std::string_view rest = mark.substr(prefix.size() + 1);
      if (storage.storageClass == 't' && rest.starts_with('X'))
        storage.text = FromHex(rest.substr(1));
      else if (!rest.empty())
        storage.exact = std::string(rest);
      return storage;
    }
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return storage;
}

std::string BlobOfDriverText(std::string_view text) {
  if (text.size() < 3 || !text.starts_with("X'") || !text.ends_with('\'') || text.size() % 2 == 0)
    return std::string(text);
  return FromHex(text.substr(2, text.size() - 3));
}

std::string ExactRealText(const std::string& quoted) {
  const double number = std::strtod(quoted.c_str(), nullptr);
  char text[64] = {};
  const auto result = std::to_chars(text, text + sizeof text, number);
  return std::string(text, result.ptr);
}

}  // namespace ado
