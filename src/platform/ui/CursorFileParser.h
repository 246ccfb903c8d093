#pragma once

#include <QImage>
#include <cstdint>
#include <span>
#include <string>

namespace ui {

struct ParsedCursor {
  QImage image;
  int hotX = 0;
  int hotY = 0;
};

// Reads the bytes of a Windows cursor file (.CUR): the image nearest to the
// usual pointer size and its hot spot. `path` only names the file in
// failures. Raises std::runtime_error describing what is wrong; never reads
// outside `bytes`.
ParsedCursor ParseCursorFile(std::span<const std::uint8_t> bytes, const std::string& path);

}  // namespace ui
