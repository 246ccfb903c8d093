#include "LineBreaks.h"

#include <QRegularExpression>

namespace ui {

QString LineBreakOf(const QString& value) {
  const qsizetype at = value.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  if (at < 0 || value.at(at) == QLatin1Char('\n')) return QStringLiteral("\n");
  return value.mid(at, 2) == QStringLiteral("\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\r");
}

QString WithLineBreaks(const QString& text, const QString& lineBreak) {
  if (lineBreak == QStringLiteral("\n")) return text;
  QString written = text;
  return written.replace(QLatin1Char('\n'), lineBreak);
}

}  // namespace ui
