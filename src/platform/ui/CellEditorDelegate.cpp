#include "platform/ui/CellEditorDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolTip>
#include <limits>

#include "DateCellEditor.h"
#include "LineBreaks.h"
#include "RecordsetModel.h"
#include "ReferenceEditor.h"
#include "ReferenceTip.h"
#include "platform/ado/References.h"

namespace ui {

namespace {

constexpr const char* kOpenedWith = "quorvaneOpenedWith";
// Stands for a line break inside a cell.
const QString kLineBreakMark = QStringLiteral("\u21b5");

}  // namespace

QWidget* CellEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  const auto* records = qobject_cast<const RecordsetModel*>(index.model());
  // A foreign key of one column offers the referenced table's values.
  const auto references = records && records->recordset() ? records->recordset()->references() : nullptr;
  const ado::ForeignKey* key = references ? references->KeyOf(index.column()) : nullptr;
  if (key && !key->composite()) return new ReferenceEditor(references, *key, parent);
  QWidget* editor = records && records->columnHoldsDate(index.column())
                        ? new DateCellEditor(parent)
                        : QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor))
    line->setMaxLength(std::numeric_limits<int>::max());
  return editor;
}

void CellEditorDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  QStyledItemDelegate::setEditorData(editor, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setProperty(kOpenedWith, line->text());
  if (auto* date = qobject_cast<DateCellEditor*>(editor)) date->widenForText();
  if (auto* reference = qobject_cast<ReferenceEditor*>(editor)) {
    reference->setCurrentIndex(-1);
    reference->setEditText(index.data(Qt::EditRole).toString());
    reference->setProperty(kOpenedWith, reference->currentText());
  }
}

void CellEditorDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const {
  QStyledItemDelegate::updateEditorGeometry(editor, option, index);
  if (auto* date = qobject_cast<DateCellEditor*>(editor)) date->widenForText();
}

void CellEditorDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    const QVariant openedWith = line->property(kOpenedWith);
    if (openedWith.isValid() && openedWith.toString() == line->text()) return;
  }
  if (auto* reference = qobject_cast<ReferenceEditor*>(editor)) {
    if (reference->property(kOpenedWith).toString() != reference->currentText())
      model->setData(index, reference->currentText(), Qt::EditRole);
    return;
  }
  QStyledItemDelegate::setModelData(editor, model, index);
}

bool CellEditorDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* line = qobject_cast<QLineEdit*>(object);
  if (line && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && key->modifiers() & (Qt::ShiftModifier | Qt::AltModifier)) {
      // Enter alone still commits.
      line->insert(LineBreakOf(line->property(kOpenedWith).toString()));
      return true;
    }
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

Qt::CheckState CellEditorDelegate::NextCheckState(Qt::CheckState state, bool withNull) {
  if (state == Qt::Unchecked) return Qt::Checked;
  if (state == Qt::Checked && withNull) return Qt::PartiallyChecked;
  return Qt::Unchecked;
}

bool CellEditorDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) {
  const QVariant state = index.data(Qt::CheckStateRole);
  const Qt::ItemFlags flags = index.flags();
  // A new row's boolean not given yet has a check box to come.
  if (!(flags & Qt::ItemIsUserCheckable))
    return QStyledItemDelegate::editorEvent(event, model, option, index);
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier) return false;
      break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      QStyleOptionViewItem item(option);
      initStyleOption(&item, index);
      const QWidget* widget = option.widget;
      const QStyle* style = widget ? widget->style() : QApplication::style();
      const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, widget);
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !box.contains(mouse->position().toPoint())) return false;
      // The press and a double click on the box only select the cell.
      if (event->type() != QEvent::MouseButtonRelease) return event->type() == QEvent::MouseButtonDblClick;
      break;
    }
    default:
      return false;
  }
  // Whether the column takes NULL is settled only now, as for Ctrl+0.
  const auto* records = qobject_cast<const RecordsetModel*>(model);
  const bool withNull = records ? records->columnIsNullable(index.column()) : bool(flags & Qt::ItemIsUserTristate);
  const auto current = state.isValid() ? static_cast<Qt::CheckState>(state.toInt()) : Qt::Unchecked;
  const auto next = NextCheckState(current, withNull);
  return model->setData(index, next, Qt::CheckStateRole);
}

void CellEditorDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  // A boolean shows as its check box alone.
  if (option->features & QStyleOptionViewItem::HasCheckIndicator) {
    option->text.clear();
    option->features &= ~QStyleOptionViewItem::HasDisplay;
  }
}

QString CellEditorDelegate::displayText(const QVariant& value, const QLocale& locale) const {
  // The base turns line feeds into line separators, which would draw a
  // second line the row is too low for.
  QString text = QStyledItemDelegate::displayText(value, locale);
  const QChar separator = QChar::LineSeparator;
  if (!text.contains(separator) && !text.contains(QLatin1Char('\r'))) return text;
  text.replace(QStringLiteral("\r") + separator, kLineBreakMark);
  text.replace(separator, kLineBreakMark);
  text.replace(QLatin1Char('\r'), kLineBreakMark);
  return text;
}

bool CellEditorDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip || !index.isValid())
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  if (const QString reference = ReferenceTipOf(index); !reference.isEmpty()) {
    QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(reference, Qt::WhiteSpacePre), view);
    return true;
  }
  const QString value = index.data(Qt::DisplayRole).toString();
  const QString shown = displayText(value, option.locale);
  // Only a value the cell does not show whole; as plain text, whatever it
  // holds.
  const bool whole = shown == value && option.fontMetrics.horizontalAdvance(value) + 8 <= option.rect.width();
  if (whole) {
    QToolTip::hideText();
    return true;
  }
  QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(value, Qt::WhiteSpacePre), view);
  return true;
}

}  // namespace ui
