#include "RowMarks.h"

#include <map>

namespace ado {
namespace {

template <class Key, class Value, class Move>
void Rekey(std::map<Key, Value>& entries, Move move) {
  std::map<Key, Value> moved;
  for (auto& [key, value] : entries) moved.emplace(move(key), std::move(value));
  entries = std::move(moved);
}

}  // namespace

void RowMarks::Shift(std::size_t from, std::ptrdiff_t by) {
  const auto moved = [&](std::size_t row) {
    return row >= from ? static_cast<std::size_t>(static_cast<std::ptrdiff_t>(row) + by) : row;
  };
  for (std::set<std::size_t>* rows : {&deleted, &added, &unmatched, &written}) {
    std::set<std::size_t> shifted;
    for (std::size_t row : *rows) shifted.insert(moved(row));
    *rows = std::move(shifted);
  }
  Rekey(reasons, moved);
  Rekey(exactTexts, [&](const std::pair<std::size_t, int>& cell) { return std::make_pair(moved(cell.first), cell.second); });
}

void RowMarks::Forget(std::size_t first, std::size_t count) {
  const auto inside = [&](std::size_t row) { return row >= first && row < first + count; };
  for (std::set<std::size_t>* rows : {&deleted, &added, &unmatched, &written}) std::erase_if(*rows, inside);
  std::erase_if(reasons, [&](const auto& entry) { return inside(entry.first); });
  std::erase_if(exactTexts, [&](const auto& entry) { return inside(entry.first.first); });
}

void RowMarks::Clear() { *this = RowMarks(); }

void RowMarks::ForgetExactTexts(std::size_t row) {
  std::erase_if(exactTexts, [&](const auto& entry) { return entry.first.first == row; });
}

}  // namespace ado
