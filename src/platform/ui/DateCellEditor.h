#pragma once

#include <QDate>
#include <QLineEdit>

class QCalendarWidget;

namespace ui {

// The cell editor of a date or timestamp column: the exact text the
// database gave, edited as text, and a calendar (the button inside the
// editor, F4 or Alt+Down) whose chosen date replaces only the date part of
// the text; time, fraction of a second and offset stay as they are.
class DateCellEditor final : public QLineEdit {
  Q_OBJECT
 public:
  explicit DateCellEditor(QWidget* parent = nullptr);

  void openCalendar();
  void chooseDate(QDate date);
  QCalendarWidget* calendar() const { return calendar_; }
  // Makes the editor wide enough for its text beside the calendar's button,
  // wider than the cell where need be.
  void widenForText();

  // `text` with its leading date (year-month-day) replaced by `date`; the
  // date alone when the text starts with none.
  static QString WithDate(const QString& text, QDate date);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QCalendarWidget* calendar_;
};

}  // namespace ui
