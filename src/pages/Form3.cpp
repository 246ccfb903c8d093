#include "Form3.h"

#include "Controls.h"
#include "Form2.h"
#include "PageEnd.h"
#include "Wizard.h"
#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/ErrorReport.h"
#include "frame/Settings.h"
#include "platform/ui/MessageBox.h"

namespace pages {

namespace {

constexpr const char* kLoad = "in Dunmarra2021/08/31.Form3.Form_Load ";
constexpr const char* kResize = "in Dunmarra2021/08/31.Form3.Form_Resize ";
constexpr const char* kBack = "in Dunmarra2021/08/31.Form3.PushButton1_Click ";

void SetWidthInTwips(QWidget& widget, float twips) {
  widget.resize(ui::TwipsToPixels(twips), widget.height());
}

void SetHeightInTwips(QWidget& widget, float twips) {
  widget.resize(widget.width(), ui::TwipsToPixels(twips));
}

void SetTopInTwips(QWidget& widget, float twips) {
  widget.move(widget.x(), ui::TwipsToPixels(twips));
}

}  // namespace

Form3::Form3() : ui::PageWindow(ui::Border::Sizable, 5895, 2775) {
  SetUpPageLayout(*this, QStringLiteral("Form3"), frame::PageFont());

  Label1 = MakeLabel(this, QStringLiteral(" Changes you make are automatically saved as you make them."),
                     120, 1920, 5535, 255);
  QPalette note = Label1->palette();
  note.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
  Label1->setPalette(note);
  Label2 = MakeLabel(this, QStringLiteral(" Table: "), 240, 120, 5175, 255);
  DataGrid1 = new ui::DataGrid(this);
  DataGrid1->setFont(frame::PageFont());
  // A screen reader names the grid as the label above it does; choosing a
  // table renames both.
  DataGrid1->setAccessibleName(Label2->text().trimmed());
  ui::PlaceInTwips(*DataGrid1, 120, 480, 5655, 1360);
  PushButton1 = MakePushButton(this, QStringLiteral("< Back"), 120, 2280, 5655, 405);

  setTabOrder(DataGrid1, PushButton1);
  connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
  connect(DataGrid1, &ui::DataGrid::writeFailed, this, &Form3::ShowWriteFailure);
  connect(DataGrid1, &ui::DataGrid::editRefused, this,
          [](const QString& reason) { ui::MsgBox(reason.toStdString()); });
  connect(DataGrid1, &ui::DataGrid::notice, this, [](const QString& message) { ui::MsgBox(message.toStdString()); });

  frame::SetPointerOnHover(*this, *PushButton1, ui::vbCustom);
  for (QWidget* surface : {static_cast<QWidget*>(this), static_cast<QWidget*>(Label1),
                           static_cast<QWidget*>(Label2), static_cast<QWidget*>(DataGrid1)})
    frame::SetPointerOnHover(*this, *surface, ui::vbDefault);
}

void Form3::Form_Load() {
  frame::ErrorTrap trap(kLoad);
  trap.Step(100, [&] { frame::ApplyFormColors(*this); });
  trap.Step(102, [&] { setWindowIcon(frame::ApplicationIcon()); });
  frame::LoadHandCursor(trap, *this);
  trap.Step(110, [&] { setWindowTitle(QString::fromUtf8(frame::ProductName)); });
}

void Form3::Form_Unload() {
  EndProgramKeepingPendingEdit();
}

void Form3::Form_Resize() {
  frame::ErrorTrap trap(kResize);
  // A failing test of whether the window is minimized lets the rule run.
  if (trap.Test(100, [&] { return isMinimizedNow(); }, false)) return;
  // The outer size is read anew for every step and compared in single
  // precision.
  if (trap.Test(102, [&] { return static_cast<float>(outerWidthTwips()) - 500.0f > 0.0f; }))
    trap.Step(102, [&] {
      SetWidthInTwips(*DataGrid1, static_cast<float>(outerWidthTwips()) - 500.0f);
    });
  if (trap.Test(104, [&] { return static_cast<float>(outerHeightTwips()) - 1970.0f > 0.0f; }))
    trap.Step(104, [&] {
      SetHeightInTwips(*DataGrid1, static_cast<float>(outerHeightTwips()) - 1970.0f);
    });
  if (trap.Test(106, [&] { return static_cast<float>(outerHeightTwips()) - 1420.0f > 0.0f; }))
    trap.Step(106, [&] {
      SetTopInTwips(*Label1, static_cast<float>(outerHeightTwips()) - 1420.0f);
    });
  if (trap.Test(108, [&] { return static_cast<float>(outerHeightTwips()) - 1070.0f > 0.0f; }))
    trap.Step(108, [&] {
      SetTopInTwips(*PushButton1, static_cast<float>(outerHeightTwips()) - 1070.0f);
    });
}

void Form3::PushButton1_Click() {
  frame::ErrorTrap trap(kBack);
  trap.Step(100, [] { Wizard::Current().form2().Show(); });
  trap.Step(102, [&] { Hide(); });
}

void Form3::ShowWriteFailure(const QString& message) {
  ui::MsgBox(message.toStdString(), ui::MessageIcon::Warning);
}

}  // namespace pages
