#include "DateCellEditor.h"

#include <QAction>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>

namespace ui {

namespace {

// A leading year-month-day, after any blanks.
const QRegularExpression& LeadingDate() {
  static const QRegularExpression date(QStringLiteral("^(\\s*)(\\d{4,})-(\\d{1,2})-(\\d{1,2})"));
  return date;
}

}  // namespace

DateCellEditor::DateCellEditor(QWidget* parent) : QLineEdit(parent), calendar_(new QCalendarWidget(this)) {
  calendar_->setWindowFlags(Qt::Popup);
  calendar_->setGridVisible(true);
  calendar_->hide();
  QAction* pick = addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
  pick->setToolTip(QStringLiteral("Choose a date (F4)"));
  connect(pick, &QAction::triggered, this, &DateCellEditor::openCalendar);
  connect(calendar_, &QCalendarWidget::clicked, this, &DateCellEditor::chooseDate);
  connect(calendar_, &QCalendarWidget::activated, this, &DateCellEditor::chooseDate);
}

QString DateCellEditor::WithDate(const QString& text, QDate date) {
  const QString chosen = date.toString(QStringLiteral("yyyy-MM-dd"));
  const QRegularExpressionMatch found = LeadingDate().match(text);
  if (!found.hasMatch()) return chosen;
  return found.captured(1) + chosen + text.mid(found.capturedEnd(0));
}

void DateCellEditor::widenForText() {
  const int wanted = fontMetrics().horizontalAdvance(text()) + height() + 16;
  if (width() < wanted) resize(wanted, height());
}

void DateCellEditor::openCalendar() {
  const QRegularExpressionMatch found = LeadingDate().match(text());
  const QDate shown = found.hasMatch() ? QDate(found.captured(2).toInt(), found.captured(3).toInt(),
                                               found.captured(4).toInt())
                                       : QDate();
  calendar_->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
  QPoint at = mapToGlobal(rect().bottomLeft());
  // Above the cell where there is no room below it.
  const QSize size = calendar_->sizeHint();
  if (const QScreen* screen = this->screen(); at.y() + size.height() > screen->availableGeometry().bottom())
    at.ry() -= height() + size.height();
  calendar_->move(at);
  calendar_->resize(size);
  calendar_->show();
  calendar_->setFocus(Qt::PopupFocusReason);
}

void DateCellEditor::chooseDate(QDate date) {
  calendar_->hide();
  if (!date.isValid()) return;
  setText(WithDate(text(), date));
  setFocus(Qt::PopupFocusReason);
}

void DateCellEditor::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && event->modifiers() & Qt::AltModifier)) {
    openCalendar();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace ui
