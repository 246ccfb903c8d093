#pragma once

#include <QStyledItemDelegate>

namespace ui {

// The grid's cell editor. A line edit cuts its text at 32767 characters by
// default; a cell may hold far more, and opening its editor must never cut
// what is committed back. An editor closed with the text it opened with
// writes nothing: a NULL stays NULL, and bytes that are not valid UTF-8
// (shown replaced) stay as they are.
class CellEditorDelegate final : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}  // namespace ui
