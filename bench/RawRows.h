#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Cases.h"
#include "Measure.h"
#include "RawBlocks.h"
#include "RawOdbc.h"

namespace bench {

// A result read a block at a time (RawBlocks), every value copied into one
// text arena with an end offset per cell (NULL flagged in the top bit).
class RawRows {
 public:
  explicit RawRows(RawStatement& statement) : blocks_(statement) {}
  // Reads the next block; returns the rows it added, 0 at the end.
  std::size_t ReadBlock();
  std::size_t rowCount() const { return rowStarts_.size(); }
  std::size_t truncatedValues() const { return truncated_; }
  std::size_t arenaBytes() const { return arena_.size(); }

 private:
  RawBlocks blocks_;
  std::string arena_;
  std::vector<std::uint64_t> rowStarts_;
  std::vector<std::uint32_t> cellEnds_;
  std::size_t truncated_ = 0;
};

// Reads a screen of the statement's result: the seconds since the span
// began; throws when the result has fewer rows.
Metrics ScreenOfRows(RawStatement& statement, const Span& span);

}  // namespace bench
