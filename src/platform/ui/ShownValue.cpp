#include "ShownValue.h"

#include <QByteArray>
#include <algorithm>

namespace ui {
namespace {

// Where text may be cut without splitting a UTF-8 sequence.
std::size_t CharacterBoundary(std::string_view text, std::size_t at) {
  if (at < text.size()) {
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
  }
  // The end of the beginning of a value held cut: its last character may
  // be incomplete.
  std::size_t start = text.size();
  while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return text.size();
  const auto lead = static_cast<unsigned char>(text[start - 1]);
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return start - 1 + length > text.size() ? start - 1 : text.size();
}

QString CutMark(std::uint64_t bytes) { return QStringLiteral("... (%1)").arg(SizeText(bytes)); }

}  // namespace

QString SizeText(std::uint64_t bytes) {
  // In the decimal units that file managers show.
  if (bytes < 1000) return QStringLiteral("%1 bytes").arg(bytes);
  const double kilobytes = static_cast<double>(bytes) / 1000.0;
  if (kilobytes < 1000.0) return QStringLiteral("%1 KB").arg(kilobytes, 0, 'f', 1);
  const double megabytes = kilobytes / 1000.0;
  if (megabytes < 1000.0) return QStringLiteral("%1 MB").arg(megabytes, 0, 'f', 1);
  return QStringLiteral("%1 GB").arg(megabytes / 1000.0, 0, 'f', 1);
}

QString HexadecimalText(std::string_view bytes) {
  const QByteArray hex = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex().toUpper();
  return QStringLiteral("0x") + QString::fromLatin1(hex);
}

QString ShownValue(std::string_view bytes, bool binary, std::uint64_t wholeSize) {
  const std::uint64_t size = std::max<std::uint64_t>(wholeSize, bytes.size());
  if (binary) {
    if (size <= ShownBinaryBytes) return HexadecimalText(bytes);
    return HexadecimalText(bytes.substr(0, ShownLeadingBytes)) + CutMark(size);
  }
  const bool whole = size <= ShownTextBytes;
  const std::string_view shown =
      whole ? bytes : bytes.substr(0, CharacterBoundary(bytes, ShownTextBytes));
  QString text = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
  // A NUL would end the text wherever it is drawn.
  text.replace(QChar(u'\0'), QChar(0x2400));
  return whole ? text : text + CutMark(size);
}

}  // namespace ui
