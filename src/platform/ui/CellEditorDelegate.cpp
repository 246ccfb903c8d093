#include "platform/ui/CellEditorDelegate.h"

#include <QLineEdit>
#include <limits>

namespace ui {

namespace {

constexpr const char* kOpenedWith = "quorvaneOpenedWith";

}  // namespace

QWidget* CellEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor))
    line->setMaxLength(std::numeric_limits<int>::max());
  return editor;
}

void CellEditorDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  QStyledItemDelegate::setEditorData(editor, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setProperty(kOpenedWith, line->text());
}

void CellEditorDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    const QVariant openedWith = line->property(kOpenedWith);
    if (openedWith.isValid() && openedWith.toString() == line->text()) return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

}  // namespace ui
