#include "LockWaitNotice.h"

#include <QEvent>
#include <algorithm>

#include "LockWait.h"

namespace ui {

LockWaitNotice::LockWaitNotice(QWidget* over) : QLabel(LockWait::WaitingText(), over) {
  setObjectName(QStringLiteral("lockWaitNotice"));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  setFrameShape(QFrame::Box);
  setMargin(6);
  hide();
  over->installEventFilter(this);
}

void LockWaitNotice::follow(const LockWait* wait) {
  connect(wait, &LockWait::waitShown, this, [this, wait](bool shown) {
    if (shown) setText(wait->waitText());
    if (shown) place();
    setVisible(shown);
    if (shown) raise();
  });
}

void LockWaitNotice::place() {
  adjustSize();
  const QWidget* over = parentWidget();
  move(std::max(0, (over->width() - width()) / 2), std::min(over->height() / 4, 48));
}

bool LockWaitNotice::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible()) place();
  return QLabel::eventFilter(watched, event);
}

}  // namespace ui
