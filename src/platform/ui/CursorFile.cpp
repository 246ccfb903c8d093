#include "platform/ui/CursorFile.h"

#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "platform/ui/CursorFileParser.h"

namespace ui {

namespace {

constexpr qint64 MaxCursorFileBytes = 8 * 1024 * 1024;

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

}  // namespace

QCursor LoadCursorFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadCursorBytes(path);
  const ParsedCursor cursor = ParseCursorFile(bytes, path);
  return QCursor(QPixmap::fromImage(cursor.image), cursor.hotX, cursor.hotY);
}

}  // namespace ui
