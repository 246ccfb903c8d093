#pragma once

#include <QStyledItemDelegate>

namespace ui {

// The grid's cell editor. A line edit cuts its text at 32767 characters by
// default; a cell may hold far more, and opening its editor must never cut
// what is committed back. An editor closed with the text it opened with
// writes nothing: a NULL stays NULL, and bytes that are not valid UTF-8
// (shown replaced) stay as they are.
// A cell shows a line break inside its value as a mark, never as a cut-off
// second line; a value the cell cannot show whole is shown in a tool tip as
// the model shows it (long values by their beginning and size).
// Shift+Enter and Alt+Enter type a line break, in the style the value
// already uses (CR LF stays CR LF). Dates and timestamps get an editor with
// a calendar; a boolean cell shows a check box that Space and a click cycle
// through false, true and, where the column accepts it, NULL.
class CellEditorDelegate final : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;
  QString displayText(const QVariant& value, const QLocale& locale) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // The state a check box goes to from `state`: false, true, then NULL
  // (partly checked) where `withNull`, then false again.
  static Qt::CheckState NextCheckState(Qt::CheckState state, bool withNull);

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace ui
