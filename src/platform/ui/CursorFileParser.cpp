#include "platform/ui/CursorFileParser.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/ui/CursorBitmap.h"
#include "platform/ui/LittleEndianReader.h"

namespace ui {

namespace {

constexpr std::uint16_t CursorResourceType = 2;
constexpr std::size_t DirectoryHeaderSize = 6;
constexpr std::size_t DirectoryEntrySize = 16;
// Pointers are drawn at about this size; a file with several images gives
// the one nearest to it.
constexpr int PreferredEdge = 32;

struct CursorEntry {
  int width = 0;
  int hotX = 0;
  int hotY = 0;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
};

CursorEntry ChooseEntry(const LittleEndianReader& file, const std::string& path) {
  if (file.U16(0) != 0 || file.U16(2) != CursorResourceType) {
    throw std::runtime_error("The file " + path + " is not a cursor file (wrong header)");
  }
  const std::uint16_t count = file.U16(4);
  if (count == 0) throw std::runtime_error("The cursor file " + path + " holds no images");

  CursorEntry chosen;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = DirectoryHeaderSize + i * DirectoryEntrySize;
    CursorEntry entry;
    entry.width = file.U8(at) == 0 ? 256 : file.U8(at);
    entry.hotX = file.U16(at + 4);
    entry.hotY = file.U16(at + 6);
    entry.size = file.U32(at + 8);
    entry.offset = file.U32(at + 12);
    if (i == 0 || std::abs(entry.width - PreferredEdge) < std::abs(chosen.width - PreferredEdge)) {
      chosen = entry;
    }
  }
  return chosen;
}

}  // namespace

ParsedCursor ParseCursorFile(std::span<const std::uint8_t> bytes, const std::string& path) {
  const LittleEndianReader file(bytes, "The cursor file " + path);
  const CursorEntry entry = ChooseEntry(file, path);

  ParsedCursor cursor;
  try {
    cursor.image = DecodeCursorImage(file.Field(entry.offset, entry.size));
  } catch (const std::runtime_error& failure) {
    throw std::runtime_error(std::string(failure.what()) + " (in " + path + ")");
  }
  if (entry.hotX >= cursor.image.width() || entry.hotY >= cursor.image.height()) {
    throw std::runtime_error("The cursor file " + path + " puts the hot spot (" +
                             std::to_string(entry.hotX) + ", " + std::to_string(entry.hotY) +
                             ") outside its " + std::to_string(cursor.image.width()) + " x " +
                             std::to_string(cursor.image.height()) + " image");
  }
  cursor.hotX = entry.hotX;
  cursor.hotY = entry.hotY;
  return cursor;
}

}  // namespace ui
