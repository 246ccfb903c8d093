#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ui {

// Rows as text for other programs, in UTF-8: CSV as RFC 4180 has it
// (commas, CR LF after each row) or tab-separated as spreadsheets read and
// write it (tabs, LF). A field holding the separator, a quote or a line
// break goes in quotes, with the quotes inside doubled. NULL is an empty
// field and the empty text a pair of quotes, so that the two stay apart.
enum class DelimitedFormat { Csv, Tsv };

class DelimitedRows {
 public:
  explicit DelimitedRows(DelimitedFormat format) : format_(format) {}

  // The next field of the row; std::nullopt is NULL.
  void add(std::optional<std::string_view> field);
  void endRow();
  // The rows ended so far, taken away, and how many bytes they are.
  std::string take();
  std::size_t pending() const { return text_.size(); }

 private:
  DelimitedFormat format_;
  std::string text_;
  bool rowStarted_ = false;
};

}  // namespace ui
