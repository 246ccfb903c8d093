#include "PackedCells.h"

#include "platform/ado/AdoError.h"
#include "SqlText.h"
#include "StatementRows.h"

namespace ado {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) throw Error("A packed cell holds an odd number of hexadecimal digits.");
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t at = 0; at < hex.size(); at += 2) {
    const int high = HexDigit(hex[at]);
    const int low = HexDigit(hex[at + 1]);
    if (high < 0 || low < 0) throw Error("A packed cell holds other than hexadecimal digits.");
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

}  // namespace

std::string PackedCellsExpression(const std::vector<std::string>& cells) {
  std::vector<std::string> parts;
  for (const std::string& cell : cells)
    parts.push_back("substr(typeof(" + cell + "), 1, 1) || hex(" + cell + ")");  // hex(NULL) is empty
  return Balanced(parts, "|| ',' ||");
}

std::vector<std::optional<std::string>> UnpackCells(std::string_view packed, const std::vector<bool>& binary) {
  std::vector<std::optional<std::string>> cells;
  std::size_t at = 0;
  for (std::size_t index = 0; index < binary.size(); ++index) {
    if (at > packed.size()) throw Error("A packed cell is missing.");
    const std::size_t end = std::min(packed.find(',', at), packed.size());
    const std::string_view part = packed.substr(at, end - at);
    if (part.empty()) throw Error("A packed cell is missing.");
    if (part == "n") {
      cells.emplace_back(std::nullopt);
    } else {
      std::string bytes = FromHex(part.substr(1));
      if (part[0] == 'b' && !binary[index]) {
        bytes = "X'" + std::string(part.substr(1)) + "'";
      } else if (part[0] != 'b') {
        // The driver hands text over only up to its first NUL byte.
        if (const std::size_t nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
      }
      cells.emplace_back(std::move(bytes));
    }
    at = end + 1;
  }
  if (at < packed.size()) throw Error("A packed value holds more cells than were asked for.");
  return cells;
}

std::optional<std::vector<std::optional<std::string>>> ReadNextRowUnpacking(OdbcStatement& statement,
                                                                           const std::vector<bool>& binary,
                                                                           std::size_t resultColumns) {
  if (resultColumns == 0 || resultColumns >= binary.size()) return ReadNextRow(statement, binary);
  std::vector<bool> asRead(binary.begin(), binary.begin() + static_cast<std::ptrdiff_t>(resultColumns));
  asRead.back() = false;
  std::optional<TextRow> row = ReadNextRow(statement, asRead);
  if (!row) return row;
  if (!row->back()) throw Error("The cells read packed came as NULL.");
  const std::string packed = std::move(*row->back());
  row->pop_back();
  for (auto& cell : UnpackCells(packed, std::vector<bool>(binary.begin() + row->size(), binary.end())))
    row->push_back(std::move(cell));
  return row;
}

}  // namespace ado
