#pragma once

#include <QStyledItemDelegate>

namespace ui {

// The grid's cell editor. A line edit cuts its text at 32767 characters by
// default; a cell may hold far more, and opening its editor must never cut
// what is committed back.
class CellEditorDelegate final : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
};

}  // namespace ui
