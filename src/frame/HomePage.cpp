#include <QTime>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "frame/Application.h"
#include "platform/ui/ProcessLauncher.h"

namespace frame {

namespace {

constexpr int LuckyNumber = 7;

std::function<float()>& InjectedDraw() {
  static std::function<float()> draw;
  return draw;
}

// A fresh generator seeded from the seconds since midnight, as a
// single-precision number, so that every start rolls anew.
float DrawSeededFromTimeOfDay() {
  const float seconds = static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
  std::mt19937 generator(std::bit_cast<std::uint32_t>(seconds));
  const double unit = static_cast<double>(generator() - std::mt19937::min()) /
                      (static_cast<double>(std::mt19937::max() - std::mt19937::min()) + 1.0);
  // Rounding to float could give 1.0 itself; the draw stays below it.
  return std::min(static_cast<float>(unit), std::nextafter(1.0f, 0.0f));
}

}  // namespace

void SetRandomDraw(std::function<float()> draw) { InjectedDraw() = std::move(draw); }

void OfferHomePage() {
  const float r = InjectedDraw() ? InjectedDraw()() : DrawSeededFromTimeOfDay();
  const int drawn = std::clamp(static_cast<int>(r * 100) + 1, 1, 100);
  if (drawn != LuckyNumber) return;
  ui::StartProcess("explorer \"" + std::string(HomePageAddress) + "\"");
}

}  // namespace frame
