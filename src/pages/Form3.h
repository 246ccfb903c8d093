#pragma once

#include <QLabel>
#include <QPushButton>

#include "platform/ui/DataGrid.h"
#include "platform/ui/PageWindow.h"

namespace pages {

// The table editor: the grid bound to the chosen table, a note that changes
// are saved as they are made, and the way back. It opens nothing itself.
class Form3 final : public ui::PageWindow {
  Q_OBJECT
 public:
  Form3();

  void Form_Load() override;
  void Form_Unload() override;
  void Form_Resize() override;

  void PushButton1_Click();  // "< Back"

  QLabel* Label1;
  QLabel* Label2;
  ui::DataGrid* DataGrid1;
  QPushButton* PushButton1;

 private:
  void ShowWriteFailure(const QString& message);
};

}  // namespace pages
