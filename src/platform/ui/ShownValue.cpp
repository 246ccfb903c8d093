#include "ShownValue.h"

#include <QByteArray>

namespace ui {
namespace {

// Where text may be cut without splitting a UTF-8 sequence.
std::size_t CharacterBoundary(std::string_view text, std::size_t at) {
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  return at;
}

QString CutMark(std::size_t bytes) { return QStringLiteral("... (%1)").arg(SizeText(bytes)); }

}  // namespace

QString SizeText(std::size_t bytes) {
  // In the decimal units that file managers show.
  if (bytes < 1000) return QStringLiteral("%1 bytes").arg(bytes);
  const double kilobytes = static_cast<double>(bytes) / 1000.0;
  if (kilobytes < 1000.0) return QStringLiteral("%1 KB").arg(kilobytes, 0, 'f', 1);
  const double megabytes = kilobytes / 1000.0;
  if (megabytes < 1000.0) return QStringLiteral("%1 MB").arg(megabytes, 0, 'f', 1);
  return QStringLiteral("%1 GB").arg(megabytes / 1000.0, 0, 'f', 1);
}

QString ShownValue(std::string_view bytes, bool binary) {
  if (binary) {
    const bool whole = bytes.size() <= ShownBinaryBytes;
    const std::string_view shown = whole ? bytes : bytes.substr(0, ShownLeadingBytes);
    const QByteArray hex = QByteArray(shown.data(), static_cast<qsizetype>(shown.size())).toHex().toUpper();
    return QStringLiteral("0x") + QString::fromLatin1(hex) + (whole ? QString() : CutMark(bytes.size()));
  }
  const bool whole = bytes.size() <= ShownTextBytes;
  const std::string_view shown = whole ? bytes : bytes.substr(0, CharacterBoundary(bytes, ShownTextBytes));
  QString text = QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
  // A NUL would end the text wherever it is drawn.
  text.replace(QChar(u'\0'), QChar(0x2400));
  return whole ? text : text + CutMark(bytes.size());
}

}  // namespace ui
