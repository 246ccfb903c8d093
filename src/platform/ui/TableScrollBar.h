#pragma once

#include <QScrollBar>
#include <cstddef>

namespace ui {

// The scroll bar of a table whose rows a view shows a page at a time: it
// spans every row of the table and lies over the view's own bar, which
// scrolls the page only. A table of more rows than a bar counts in an int
// is scrolled a share of rows a step.
class TableScrollBar final : public QScrollBar {
 public:
  explicit TableScrollBar(QScrollBar* pageBar);

  // `rows` rows in all, `visible` of them on screen.
  void setRows(std::size_t rows, std::size_t visible);
  // The first row on screen, shown without telling of a move.
  void showTop(std::size_t top);
  // The first row on screen where the user moved the bar.
  std::size_t top() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::size_t rowsPerStep_ = 1;
  std::size_t lastTop_ = 0;
};

}  // namespace ui
