#pragma once

#include <QFrame>
#include <QStringList>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QTimer;

namespace ui {

// The bar a grid shows over its bottom edge to find rows: the text, the
// column it is looked for in, and the filters on, each with a button that
// clears it. It only asks; the grid reads the rows.
class FindBar final : public QFrame {
  Q_OBJECT
 public:
  explicit FindBar(QWidget* parent = nullptr);

  void setColumns(const QStringList& names);
  // One button per filter, labelled so.
  void setFilters(const QStringList& labels);
  QString text() const;
  // The column chosen, -1 for all columns.
  int column() const;
  void clearText();
  // How many rows hold the text, beside it.
  void setMatchCount(const QString& count);
  QString matchCount() const;
  void focusText();

 signals:
  // The text (after a short pause in typing) or the column changed.
  void findChanged();
  void nextRequested();
  void closeRequested();
  void filterCleared(int index);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* text_;
  QComboBox* column_;
  QLabel* count_;
  QHBoxLayout* filters_;
  QTimer* typing_;
};

}  // namespace ui
