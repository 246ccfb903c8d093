#include <QFont>

#include "frame/Appearance.h"

namespace frame {

namespace {

QFont BoldArial(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

}  // namespace

QFont PageFont() { return BoldArial(9.0); }

QFont PushButtonFont() { return BoldArial(11.25); }

}  // namespace frame
