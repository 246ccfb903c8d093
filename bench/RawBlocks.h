#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RawOdbc.h"

namespace bench {

// A statement's result read the fastest plain way: a block cursor of
// BlockRows rows with one bound text buffer per column.
class RawBlocks {
 public:
  static constexpr std::size_t BlockRows = 512;

  explicit RawBlocks(RawStatement& statement);
  // Reads the next block; returns its rows, 0 at the end.
  std::size_t Fetch();
  std::size_t columnCount() const { return columns_.size(); }
  const std::string& columnName(std::size_t column) const { return columns_[column].name; }
  // A value of the block just read, std::nullopt for NULL; one that did not
  // fit its buffer comes cut to the buffer, with `cut` set.
  std::optional<std::string_view> value(std::size_t row, std::size_t column, bool& cut) const;

 private:
  struct Column {
    std::string name;
    std::size_t width = 0;
    std::vector<char> data;
    std::vector<SQLLEN> lengths;
  };
  RawStatement& statement_;
  std::vector<Column> columns_;
  SQLULEN fetched_ = 0;
  bool done_ = false;
};

}  // namespace bench
