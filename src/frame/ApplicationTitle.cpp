#include <QCoreApplication>
#include <QString>

#include "frame/Application.h"
#include "frame/Settings.h"
#include "platform/ui/MessageBox.h"

namespace frame {

namespace {

constexpr qsizetype MaxTitleLength = 40;

// Drops the last space and everything after it. A cut that would leave
// nothing (no space, or only a leading one) is not made: a one-word product
// name is its own title.
bool CutLastWord(QString& title) {
  const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
  if (space <= 0) return false;
  title.truncate(space);
  return true;
}

}  // namespace

std::string ApplicationTitleFor(std::string_view productName) {
  QString title = QString::fromUtf8(productName.data(), static_cast<qsizetype>(productName.size()));
  CutLastWord(title);
  while (title.size() > MaxTitleLength) {
    if (!CutLastWord(title)) {
      // One word longer than the limit: keep its first characters, without
      // splitting a character that takes two code units.
      qsizetype length = MaxTitleLength;
      if (title.at(length - 1).isHighSurrogate()) --length;
      title.truncate(length);
    }
  }
  return title.toStdString();
}

void SetApplicationTitle() {
  const std::string title = ApplicationTitleFor(ProductName);
  ui::SetApplicationTitleText(title);
  // Only the name: a display name would be appended to every window title.
  QCoreApplication::setApplicationName(QString::fromStdString(title));
}

}  // namespace frame
