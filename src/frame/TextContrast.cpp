#include <QColor>
#include <algorithm>
#include <cmath>

#include "frame/Appearance.h"

namespace frame {

namespace {

constexpr double kComfortableContrast = 7.0;

// The relative luminance of a colour on an sRGB screen.
double Luminance(const QColor& colour) {
  const auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = colour.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

}  // namespace

double ContrastRatio(const QColor& first, const QColor& second) {
  const double a = Luminance(first);
  const double b = Luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor ReadableOn(const QColor& text, const QColor& background) {
  if (ContrastRatio(text, background) >= kReadableContrast) return text;
  // A colour that has to move goes on to a comfortable ratio, not just past
  // the least: towards white or black, whichever stands out more from the
  // background (and ends there where even that is less).
  const QColor far = ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background)
                         ? QColor(Qt::white)
                         : QColor(Qt::black);
  const QColor from = text.toRgb();
  for (int step = 1; step <= 20; ++step) {
    const double share = step / 20.0;
    const QColor mixed = QColor::fromRgbF(
        static_cast<float>(from.redF() + (far.redF() - from.redF()) * share),
        static_cast<float>(from.greenF() + (far.greenF() - from.greenF()) * share),
        static_cast<float>(from.blueF() + (far.blueF() - from.blueF()) * share));
    if (ContrastRatio(mixed, background) >= kComfortableContrast) return mixed;
  }
  return far;
}

}  // namespace frame
