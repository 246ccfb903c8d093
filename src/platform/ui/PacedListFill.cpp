#include "platform/ui/PacedListFill.h"

#include <QListWidget>

namespace ui {

PacedListFill::PacedListFill(QListWidget& list, std::chrono::milliseconds frame) : list_(list), frame_(frame) {}

PacedListFill::~PacedListFill() {
  try {
    Flush();
  } catch (...) {
    // Only out of memory can get here, while another failure unwinds.
  }
}

void PacedListFill::Add(const QString& text) {
  waiting_.append(text);
  if (!sinceFlush_.isValid() || sinceFlush_.elapsed() >= frame_.count()) Flush();
}

void PacedListFill::Flush() {
  sinceFlush_.start();
  if (waiting_.isEmpty()) return;
  list_.addItems(waiting_);
  waiting_.clear();
}

}  // namespace ui
