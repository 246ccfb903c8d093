#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace bench {

// How long the event loop went without a turn: a timer asks for a tick
// every few milliseconds and the longest gap between two ticks is kept.
class StallWatch {
 public:
  StallWatch();
  // The longest gap so far, the one since the last tick included, in ms.
  double longestMs() const;

 private:
  void tick();

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 lastTick_ = 0;
  qint64 longest_ = 0;
};

}  // namespace bench
