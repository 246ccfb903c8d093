#include "platform/ui/CursorFile.h"

#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/ui/CursorBitmap.h"
#include "platform/ui/LittleEndianReader.h"

namespace ui {

namespace {

constexpr std::uint16_t CursorResourceType = 2;
constexpr std::size_t DirectoryHeaderSize = 6;
constexpr std::size_t DirectoryEntrySize = 16;
constexpr qint64 MaxCursorFileBytes = 8 * 1024 * 1024;
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

std::vector<std::uint8_t> ReadCursorBytes(const std::string& path) {
  const QString name = QString::fromStdString(path);
  const QFileInfo info(name);
  if (!info.exists()) throw std::runtime_error("The cursor file " + path + " does not exist");
  if (!info.isFile()) throw std::runtime_error("The cursor file " + path + " is not a file");
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) {
    throw std::runtime_error("The cursor file " + path + " cannot be read: " +
                             file.errorString().toStdString());
  }
  if (file.size() > MaxCursorFileBytes) {
    throw std::runtime_error("The cursor file " + path + " is too large to be a cursor");
  }
  const QByteArray content = file.read(MaxCursorFileBytes + 1);
  if (content.isEmpty()) throw std::runtime_error("The cursor file " + path + " is empty");
  if (content.size() > MaxCursorFileBytes) {
    throw std::runtime_error("The cursor file " + path + " is too large to be a cursor");
  }
  return {content.begin(), content.end()};
}

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

QCursor LoadCursorFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadCursorBytes(path);
  const LittleEndianReader file(bytes, "The cursor file " + path);
  const CursorEntry entry = ChooseEntry(file, path);

  QImage image;
  try {
    image = DecodeCursorImage(file.Field(entry.offset, entry.size));
  } catch (const std::runtime_error& failure) {
    throw std::runtime_error(std::string(failure.what()) + " (in " + path + ")");
  }
  if (entry.hotX >= image.width() || entry.hotY >= image.height()) {
    throw std::runtime_error("The cursor file " + path + " puts the hot spot (" +
                             std::to_string(entry.hotX) + ", " + std::to_string(entry.hotY) +
                             ") outside its " + std::to_string(image.width()) + " x " +
                             std::to_string(image.height()) + " image");
  }
  return QCursor(QPixmap::fromImage(image), entry.hotX, entry.hotY);
}

}  // namespace ui
