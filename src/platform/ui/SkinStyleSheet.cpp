#include "platform/ui/SkinStyleSheet.h"

#include <QStringDecoder>
#include <stdexcept>

namespace ui {

QString SkinStyleSheet(const QByteArray& bytes, const std::string& path) {
  if (bytes.trimmed().isEmpty()) throw std::runtime_error("The skin file " + path + " is empty");
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(bytes);
  if (decoder.hasError() || bytes.contains('\0'))
    throw std::runtime_error("The skin file " + path + " is not UTF-8 text");
  return text;
}

}  // namespace ui
