#include "RowNumberHeader.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace ui {

RowNumberHeader::RowNumberHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
  // As a table view sets up its own header.
  setSectionsClickable(true);
  setHighlightSections(true);
}

void RowNumberHeader::setWidestNumber(std::size_t rows) { widestNumber_ = rows; }

QSize RowNumberHeader::sizeHint() const {
  const int sections = count();
  if (!model() || sections == 0) return QHeaderView::sizeHint();
  // The numbers widen towards the end; the last section may be a new row's
  // mark, so the one before it is measured too.
  QSize hint(0, 0);
  for (const int section : {0, sections - 2, sections - 1})
    if (section >= 0) hint = hint.expandedTo(sectionSizeFromContents(section));
  const std::size_t lastNumber = numberBase_ + static_cast<std::size_t>(sections);
  if (widestNumber_ > lastNumber) {
    // Sections are measured in bold.
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    hint.rwidth() += std::max(0, metrics.horizontalAdvance(QString::number(widestNumber_)) -
                                     metrics.horizontalAdvance(QString::number(lastNumber)));
  }
  return hint;
}

void RowNumberHeader::setSavedSections(int first, int last) {
  savedFirst_ = first;
  savedLast_ = last;
  viewport()->update();
}

void RowNumberHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  // The style's header leaves the painter clipped to nothing where it was
  // not clipped before: what follows needs the painter as it was.
  painter->save();
  QHeaderView::paintSection(painter, rect, logicalIndex);
  painter->restore();
  if (logicalIndex < savedFirst_ || logicalIndex > savedLast_) return;
  // A green wash, and a check mark at the edge away from the number.
  painter->save();
  painter->fillRect(rect, QColor(0, 170, 60, 90));
  painter->setPen(QColor(0, 110, 40));
  painter->drawText(rect.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("\u2713"));
  painter->restore();
}

}  // namespace ui
