#include "StallWatch.h"

#include <algorithm>

namespace bench {

constexpr int TickMs = 5;

StallWatch::StallWatch() {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
  clock_.start();
  timer_.start(TickMs);
}

void StallWatch::tick() {
  const qint64 now = clock_.nsecsElapsed();
  longest_ = std::max(longest_, now - lastTick_);
  lastTick_ = now;
}

double StallWatch::longestMs() const {
  return static_cast<double>(std::max(longest_, clock_.nsecsElapsed() - lastTick_)) / 1e6;
}

}  // namespace bench
