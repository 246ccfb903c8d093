#pragma once

#include <QString>
#include <cstddef>
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

QString ShownValue(std::string_view bytes, bool binary);
// "812 bytes", "4.0 KB", "50.0 MB".
QString SizeText(std::size_t bytes);

}  // namespace ui
