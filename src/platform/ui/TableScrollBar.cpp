#include "TableScrollBar.h"

#include <QEvent>
#include <QSignalBlocker>
#include <algorithm>
#include <limits>

namespace ui {

TableScrollBar::TableScrollBar(QScrollBar* pageBar) : QScrollBar(Qt::Vertical, pageBar) {
  setGeometry(pageBar->rect());
  pageBar->installEventFilter(this);
}

bool TableScrollBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == parent()) setGeometry(static_cast<QWidget*>(watched)->rect());
  return QScrollBar::eventFilter(watched, event);
}

void TableScrollBar::setRows(std::size_t rows, std::size_t visible) {
  lastTop_ = rows > visible ? rows - visible : 0;
  constexpr auto kSteps = static_cast<std::size_t>(std::numeric_limits<int>::max());
  rowsPerStep_ = lastTop_ / kSteps + 1;
  const QSignalBlocker quiet(this);
  setRange(0, static_cast<int>(lastTop_ / rowsPerStep_));
  setPageStep(static_cast<int>(std::max<std::size_t>(1, visible / rowsPerStep_)));
}

void TableScrollBar::showTop(std::size_t top) {
  const QSignalBlocker quiet(this);
  setValue(static_cast<int>(std::min(top, lastTop_) / rowsPerStep_));
}

std::size_t TableScrollBar::top() const {
  return value() == maximum() ? lastTop_ : static_cast<std::size_t>(value()) * rowsPerStep_;
}

}  // namespace ui
