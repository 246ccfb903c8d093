#include <QFile>

#include "frame/Application.h"

namespace frame {

QIcon ApplicationIcon() {
  QIcon icon;
  for (const char* size : {"32", "48", "128", "256"}) {
    const QString path = QStringLiteral(":/icons/app-%1.png").arg(QLatin1String(size));
    if (QFile::exists(path)) icon.addFile(path);
  }
  return icon;
}

}  // namespace frame
