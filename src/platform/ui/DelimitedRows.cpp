#include "DelimitedRows.h"

#include <utility>

namespace ui {

void DelimitedRows::add(std::optional<std::string_view> field) {
  const char separator = format_ == DelimitedFormat::Csv ? ',' : '\t';
  if (std::exchange(rowStarted_, true)) text_ += separator;
  if (!field) return;
  const bool quoted = field->empty() || field->find(separator) != std::string_view::npos ||
                      field->find_first_of("\"\r\n") != std::string_view::npos;
  if (!quoted) {
    text_ += *field;
    return;
  }
  text_ += '"';
  for (const char c : *field) {
    if (c == '"') text_ += '"';
    text_ += c;
  }
  text_ += '"';
}

void DelimitedRows::endRow() {
  text_ += format_ == DelimitedFormat::Csv ? "\r\n" : "\n";
  rowStarted_ = false;
}

std::string DelimitedRows::take() { return std::exchange(text_, {}); }

}  // namespace ui
