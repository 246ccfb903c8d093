#pragma once

#include <QHeaderView>
#include <cstddef>

namespace ui {

// The row numbers at the grid's left, as wide as the widest number the
// table will show. A plain header measures up to 200 of its sections each
// time rows come or go, which costs a table's first screen more than its
// rows do; this one measures its first and last sections and widens them
// by the digits of the places still to come.
class RowNumberHeader final : public QHeaderView {
  Q_OBJECT
 public:
  explicit RowNumberHeader(QWidget* parent = nullptr);

  // The largest number the header will show once all places are told of
  // (0: as many as it has sections).
  void setWidestNumber(std::size_t rows);
  std::size_t widestNumber() const { return widestNumber_; }
  // The number before the first section's (a page's first row's).
  void setNumberBase(std::size_t base) { numberBase_ = base; }
  QSize sizeHint() const override;
  // Sections [first, last] are marked as just saved, in green (-1: none).
  void setSavedSections(int first, int last);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  int savedFirst_ = -1;
  int savedLast_ = -1;
  std::size_t widestNumber_ = 0;
  std::size_t numberBase_ = 0;
};

}  // namespace ui
