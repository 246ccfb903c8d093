#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "platform/ui/PageWindow.h"

namespace pages {

// The table chooser: lists the plain tables of the data source and opens the
// chosen one for editing.
class Form2 final : public ui::PageWindow {
  Q_OBJECT
 public:
  Form2();

  // Public: the connection page runs it again to rebuild the list.
  void Form_Load() override;
  void Form_Unload() override;

  void PushButton2_Click();  // "< Back"
  void PushButton3_Click();  // "Next >"

  QListWidget* List1;
  QPushButton* PushButton2;
  QPushButton* PushButton3;
  QWidget* Line1;
  QLabel* Label1;

 private:
  // Enter on the list does what "Next >" does, as a double-click on a table does.
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The query that opens a table: every row and column, the name quoted the way
// the data source quotes it (`quote`), so that any name the catalogue lists
// stands for itself.
std::string TableQueryText(const std::string& tableName, char quote = '"');

}  // namespace pages
