#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/PageWindow.h"
#include "platform/ui/SkinFramework.h"

namespace pages {

class CompletionList;

// The connection page: the data source name, its test, a short how-to, and
// the way on to the table chooser. Its load is the program's start-up
// sequence. Text1 is the one place the data source name lives.
class Form1 final : public ui::PageWindow {
  Q_OBJECT
 public:
  Form1();
  ~Form1() override;

  void Form_Load() override;
  void Form_Unload() override;

  void PushButton3_Click();  // "Next >"
  void PushButton6_Click();  // "Help"
  void PushButton7_Click();  // "Test Connection"

  // True when the start-up sequence went on to the table chooser.
  bool movedOnAtStart() const { return movedOnAtStart_; }

  QGroupBox* Frame1;
  QLineEdit* Text1;
  QPushButton* PushButton7;
  QPushButton* PushButton6;
  QLabel* Label1;
  QPushButton* PushButton3;
  ui::SkinFramework* SkinFramework1;
  // The known data source names offered under Text1 while typing.
  CompletionList* Text1Completion;

 private:
  void Text1_Change();
  void OfferDataSourceNames();
  bool eventFilter(QObject* watched, QEvent* event) override;

  bool movedOnAtStart_ = false;
  bool settingFailureShown_ = false;
  // Text1 lost the focus only to a menu or another program.
  bool text1FocusLent_ = false;
};

// The help text: ten lines, each followed by two carriage returns.
std::string ConnectionHelpText();

}  // namespace pages
