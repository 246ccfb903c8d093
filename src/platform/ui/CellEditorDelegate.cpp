#include "platform/ui/CellEditorDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>
#include <limits>

namespace ui {

namespace {

constexpr const char* kOpenedWith = "quorvaneOpenedWith";
// Stands for a line break inside a cell.
const QString kLineBreakMark = QStringLiteral("\u21b5");

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

QString CellEditorDelegate::ToolTipText(const QString& value) {
  if (value.size() <= MaximumToolTipCharacters) return value;
  return value.left(MaximumToolTipCharacters) + QStringLiteral("... (%1 characters)").arg(value.size());
}

bool CellEditorDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip || !index.isValid())
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const QString value = index.data(Qt::DisplayRole).toString();
  const QString shown = displayText(value, option.locale);
  // Only a value the cell does not show whole; as plain text, whatever it
  // holds.
  const bool whole = shown == value && option.fontMetrics.horizontalAdvance(value) + 8 <= option.rect.width();
  if (whole) {
    QToolTip::hideText();
    return true;
  }
  QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(ToolTipText(value), Qt::WhiteSpacePre), view);
  return true;
}

}  // namespace ui
