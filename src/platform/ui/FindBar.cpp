#include "FindBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace ui {

namespace {

// Typing this long without a key reads the rows that hold the text.
constexpr int kTypingPauseMs = 250;

}  // namespace

FindBar::FindBar(QWidget* parent)
    : QFrame(parent), text_(new QLineEdit(this)), column_(new QComboBox(this)), count_(new QLabel(this)), filters_(new QHBoxLayout),
      typing_(new QTimer(this)) {
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(new QLabel(QStringLiteral("Find:"), this));
  text_->setPlaceholderText(QStringLiteral("text in any cell (Enter, F3: next)"));
  text_->setClearButtonEnabled(true);
  layout->addWidget(text_, 1);
  layout->addWidget(count_);
  layout->addWidget(new QLabel(QStringLiteral("in"), this));
  layout->addWidget(column_);
  layout->addLayout(filters_);
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("\u00d7"));
  close->setToolTip(QStringLiteral("Close and show the whole table (Esc)"));
  layout->addWidget(close);
  typing_->setSingleShot(true);
  typing_->setInterval(kTypingPauseMs);
  connect(typing_, &QTimer::timeout, this, &FindBar::findChanged);
  connect(text_, &QLineEdit::textEdited, typing_, qOverload<>(&QTimer::start));
  connect(text_, &QLineEdit::returnPressed, this, [this] {
    // Enter right after typing finds first, then moves on.
    if (typing_->isActive()) {
      typing_->stop();
      emit findChanged();
    } else {
      emit nextRequested();
    }
  });
  connect(column_, &QComboBox::activated, this, &FindBar::findChanged);
  connect(close, &QToolButton::clicked, this, &FindBar::closeRequested);
}

void FindBar::setColumns(const QStringList& names) {
  column_->clear();
  column_->addItem(QStringLiteral("All columns"));
  column_->addItems(names);
}

void FindBar::setFilters(const QStringList& labels) {
  while (std::unique_ptr<QLayoutItem> item{filters_->takeAt(0)})
    if (QWidget* button = item->widget()) button->deleteLater();
  for (int index = 0; index < labels.size(); ++index) {
    auto* button = new QToolButton(this);
    button->setText(labels[index] + QStringLiteral("  \u00d7"));
    button->setToolTip(QStringLiteral("Clear this filter"));
    connect(button, &QToolButton::clicked, this, [this, index] { emit filterCleared(index); });
    filters_->addWidget(button);
  }
}

QString FindBar::text() const { return text_->text(); }

void FindBar::setMatchCount(const QString& count) { count_->setText(count); }

QString FindBar::matchCount() const { return count_->text(); }

int FindBar::column() const { return column_->currentIndex() - 1; }

void FindBar::clearText() {
  typing_->stop();
  text_->clear();
  column_->setCurrentIndex(0);
}

void FindBar::focusText() {
  text_->setFocus();
  text_->selectAll();
}

void FindBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    emit closeRequested();
    return;
  }
  QFrame::keyPressEvent(event);
}

}  // namespace ui
