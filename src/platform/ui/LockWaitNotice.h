#pragma once

#include <QLabel>

namespace ui {

class LockWait;

// A small bar at the top of a widget, over what it shows, that says a
// write waits for another session's lock. Hidden at rest; it takes no
// place in any layout.
class LockWaitNotice final : public QLabel {
  Q_OBJECT
 public:
  explicit LockWaitNotice(QWidget* over);
  // Shows the waits of the writes that wait there.
  void follow(const LockWait* wait);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void place();
};

}  // namespace ui
