#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ui {

// How a stored value is shown in a cell, in a tool tip and to assistive
// technology: never more than a few thousand characters, whatever the value
// holds. Text is shown up to ShownTextBytes bytes, each NUL byte as a
// visible mark; binary values as hexadecimal up to ShownBinaryBytes bytes,
// longer ones by their first bytes. A value cut short ends in a mark that
// gives its full size: "... (50.0 MB)".
inline constexpr std::size_t ShownTextBytes = 3000;
inline constexpr std::size_t ShownBinaryBytes = 256;
inline constexpr std::size_t ShownLeadingBytes = 32;

// `wholeSize`: the size of the whole value where `bytes` is only its
// beginning (a value the row cache holds cut), else 0.
QString ShownValue(std::string_view bytes, bool binary, std::uint64_t wholeSize = 0);
// A binary value whole, as a cell shows a short one and a copy takes any:
// "0x00FF10".
QString HexadecimalText(std::string_view bytes);
// "812 bytes", "4.0 KB", "50.0 MB".
QString SizeText(std::uint64_t bytes);

}  // namespace ui
