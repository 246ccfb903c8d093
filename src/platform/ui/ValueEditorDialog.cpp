#include "ValueEditorDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "LineBreaks.h"

namespace ui {
namespace {

constexpr qsizetype LongestWrappedLine = 20000;

qsizetype LongestLine(const QString& text) {
  qsizetype longest = 0;
  qsizetype start = 0;
  for (qsizetype at = 0; at <= text.size(); ++at) {
    if (at < text.size() && text[at] != u'\n' && text[at] != u'\r') continue;
    longest = std::max(longest, at - start);
    start = at + 1;
  }
  return longest;
}

}  // namespace

ValueEditorDialog::ValueEditorDialog(const QString& columnName, const QString& value, QWidget* parent)
    : QDialog(parent), original_(value), text_(new QPlainTextEdit(this)), lineBreaks_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("Edit \"%1\"").arg(columnName));
  // Wrapping costs time that grows with the square of a line's length (a
  // line of a million characters takes minutes to lay out); long lines
  // scroll sideways instead.
  text_->setLineWrapMode(LongestLine(value) > LongestWrappedLine ? QPlainTextEdit::NoWrap
                                                                 : QPlainTextEdit::WidgetWidth);
  text_->setPlainText(value);
  openedText_ = editedText();
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

QString ValueEditorDialog::editedText() const {
  // The raw text keeps non-breaking spaces, which the plain text turns into
  // blanks; its paragraphs are the lines.
  return text_->document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

QString ValueEditorDialog::value() const {
  const QString lineBreak = lineBreaks_->currentData().toString();
  const QString edited = editedText();
  if (edited == openedText_ && lineBreak == openedBreak_) return original_;
  return WithLineBreaks(edited, lineBreak);
}

}  // namespace ui
