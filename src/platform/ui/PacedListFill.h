#pragma once

#include <QElapsedTimer>
#include <QStringList>

#include <chrono>

class QListWidget;

namespace ui {

// Adds items to a list box at the pace of the display. A list that grows by
// one item per event-loop turn would otherwise be laid out and repainted on
// every turn, which for thousands of items costs ten times the work of
// reading them. Items added within one frame reach the list together; the
// first item of a fill appears at once, and whatever is still waiting is
// added by Flush or at the end of the fill's life, in the order given.
class PacedListFill {
 public:
  static constexpr std::chrono::milliseconds DisplayFrame{16};

  explicit PacedListFill(QListWidget& list, std::chrono::milliseconds frame = DisplayFrame);
  ~PacedListFill();
  PacedListFill(const PacedListFill&) = delete;
  PacedListFill& operator=(const PacedListFill&) = delete;

  void Add(const QString& text);
  // Puts every waiting item into the list now.
  void Flush();

 private:
  QListWidget& list_;
  std::chrono::milliseconds frame_;
  QStringList waiting_;
  QElapsedTimer sinceFlush_;
};

}  // namespace ui
