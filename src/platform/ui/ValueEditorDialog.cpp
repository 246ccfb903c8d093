#include "ValueEditorDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "LineBreaks.h"
#include "LongTextEditor.h"

namespace ui {

ValueEditorDialog::ValueEditorDialog(const QString& columnName, const QString& value, QWidget* parent)
    : QDialog(parent), original_(value), text_(new LongTextEditor(this)), lineBreaks_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Edit \"%1\"").arg(columnName));
  text_->load(value);
  openedBreak_ = LineBreakOf(value);
  lineBreaks_->addItem(QStringLiteral("LF"), QStringLiteral("\n"));
  lineBreaks_->addItem(QStringLiteral("CR LF"), QStringLiteral("\r\n"));
  lineBreaks_->addItem(QStringLiteral("CR"), QStringLiteral("\r"));
  lineBreaks_->setCurrentIndex(lineBreaks_->findData(openedBreak_));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* label = new QLabel(QStringLiteral("Line breaks:"), this);
  label->setBuddy(lineBreaks_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(label);
  bottom->addWidget(lineBreaks_);
  bottom->addStretch();
  bottom->addWidget(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(bottom);
  resize(640, 420);
}

QString ValueEditorDialog::value() const {
  const QString lineBreak = lineBreaks_->currentData().toString();
  if (!text_->touched() && lineBreak == openedBreak_) return original_;
  const QString edited = text_->text();
  // Changed back: the value as it was, also where the editor reads it
  // otherwise (mixed line breaks).
  if (lineBreak == openedBreak_ && edited == LongTextEditor::AsRead(original_)) return original_;
  return WithLineBreaks(edited, lineBreak);
}

void ValueEditorDialog::reject() {
  if (changed()) {
    const QString question = QStringLiteral("Discard your changes?");
    const bool discard = confirm_ ? confirm_(question)
                                  : QMessageBox::question(this, windowTitle(), question,
                                                          QMessageBox::Yes | QMessageBox::No,
                                                          QMessageBox::No) == QMessageBox::Yes;
    if (!discard) return;
  }
  QDialog::reject();
}

void ValueEditorDialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && event->modifiers() & Qt::ControlModifier) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace ui
