#pragma once

#include <QImage>
#include <cstdint>
#include <span>

namespace ui {

// Largest cursor image edge we accept; the format itself stops at 256 for
// bitmaps, and PNG images are held to the same order of size.
constexpr int MaxCursorEdge = 1024;

// Decodes one image of a cursor file: a device-independent bitmap (header,
// palette, colour bitmap of 1, 4, 8, 24 or 32 bits per pixel, then the
// 1-bit transparency mask; the header's height counts both) or an embedded
// PNG image. Raises std::runtime_error describing what is wrong.
QImage DecodeCursorImage(std::span<const std::uint8_t> image);

}  // namespace ui
