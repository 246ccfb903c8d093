#pragma once

#include <QDialog>
#include <functional>

class QComboBox;

namespace ui {

class LongTextEditor;

// The larger editor of a text cell: the whole value with its line breaks,
// and the style of those breaks (LF, CR LF, CR), kept as stored unless the
// user picks another. The dialog writes nothing itself: whoever opened it
// writes value() when it is accepted and changed. Ctrl+Enter is OK; Cancel,
// Esc or closing the window with changes asks before they go.
class ValueEditorDialog final : public QDialog {
  Q_OBJECT
 public:
  ValueEditorDialog(const QString& columnName, const QString& value, QWidget* parent = nullptr);

  LongTextEditor* textEditor() const { return text_; }
  // The text as edited, its line breaks in the chosen style; the value given
  // exactly when the user changed nothing.
  QString value() const;
  bool changed() const { return value() != original_; }

  // Asks the user a yes/no question; tests answer it themselves. Empty: a
  // message box over the dialog.
  using Confirmation = std::function<bool(const QString& question)>;
  void setConfirmation(Confirmation confirm) { confirm_ = std::move(confirm); }

  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString original_;
  QString openedBreak_;
  LongTextEditor* text_;
  QComboBox* lineBreaks_;
  Confirmation confirm_;
};

}  // namespace ui
