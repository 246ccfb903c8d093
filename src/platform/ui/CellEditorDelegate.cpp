#include "platform/ui/CellEditorDelegate.h"

#include <QLineEdit>
#include <limits>

namespace ui {

QWidget* CellEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor))
    line->setMaxLength(std::numeric_limits<int>::max());
  return editor;
}

}  // namespace ui
