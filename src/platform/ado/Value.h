#pragma once

#include <optional>
#include <string>

namespace ado {

// A field value: NULL, a text, or a number (kept in the text form the driver
// gave it). NULL stays distinct from the empty text.
class Value {
 public:
  enum class Kind { Null, Text, Number, Binary };

  Value() = default;
  static Value Text(std::string text) { return Value(Kind::Text, std::move(text)); }
  static Value Number(std::string text) { return Value(Kind::Number, std::move(text)); }
  static Value Binary(std::string bytes) { return Value(Kind::Binary, std::move(bytes)); }

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  // The text form; empty for NULL.
  const std::string& toString() const { return text_; }

  bool operator==(const Value&) const = default;

 private:
  Value(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
  Kind kind_ = Kind::Null;
  std::string text_;
};

}  // namespace ado
