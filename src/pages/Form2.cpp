#include "Form2.h"

#include <QKeyEvent>

#include "Controls.h"
#include "Form1.h"
#include "Form3.h"
#include "Globals.h"
#include "PageEnd.h"
#include "Wizard.h"
#include "db/DataSource.h"
#include "db/Sybase.h"
#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/ErrorReport.h"
#include "frame/Settings.h"
#include "platform/ado/Identifier.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/MessageBox.h"

namespace pages {

namespace {

constexpr const char* kLoad = "in Dunmarra2021/08/31.Form2.Form_Load ";
constexpr const char* kBack = "in Dunmarra2021/08/31.Form2.PushButton2_Click ";
constexpr const char* kNext = "in Dunmarra2021/08/31.Form2.PushButton3_Click ";

void Require(const void* object) {
  if (!object) throw std::runtime_error("Object variable not set");
}

}  // namespace

std::string TableQueryText(const std::string& tableName, char quote) {
  return "SELECT * FROM " + ado::QuoteIdentifier(tableName, quote);
}

Form2::Form2() : ui::PageWindow(ui::Border::FixedSingle, 5895, 2685) {
  SetUpPageLayout(*this, QStringLiteral("Form2"), frame::PageFont());

  List1 = new QListWidget(this);
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setSortingEnabled(false);
  // The catalogue lets the event loop run after every table it reads; a list
  // that measured every item and laid them all out again each time would
  // take half a minute over a few thousand tables.
  List1->setUniformItemSizes(true);
  List1->setLayoutMode(QListView::Batched);
  ui::PlaceInTwips(*List1, 120, 480, 5655, 1410);
  PushButton2 = MakePushButton(this, QStringLiteral("< Back"), 120, 2160, 2775, 405);
  PushButton3 = MakePushButton(this, QStringLiteral("Next >"), 3000, 2160, 2760, 405);
  Line1 = MakeHorizontalLine(this, 120, 2040, 5760);
  Label1 = MakeLabel(this, QStringLiteral(" Which table do you want edit?"), 240, 120, 2775, 255);
  // A screen reader names the list by the question above it.
  List1->setAccessibleName(Label1->text().trimmed());

  setTabOrder(List1, PushButton2);
  setTabOrder(PushButton2, PushButton3);

  connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
  connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
  connect(List1, &QListWidget::itemDoubleClicked, this, &Form2::PushButton3_Click);
  List1->installEventFilter(this);
  for (QWidget* button : {PushButton2, PushButton3})
    frame::SetPointerOnHover(*this, *button, ui::vbCustom);
  for (QWidget* surface : {static_cast<QWidget*>(this), static_cast<QWidget*>(Label1),
                           static_cast<QWidget*>(List1)})
    frame::SetPointerOnHover(*this, *surface, ui::vbDefault);
}

void Form2::Form_Load() {
  frame::ErrorTrap trap(kLoad);
  trap.Step(100, [&] { frame::ApplyFormColors(*this); });
  trap.Step(102, [&] { setWindowIcon(frame::ApplicationIcon()); });
  frame::LoadHandCursor(trap, *this);
  trap.Step(110, [&] { setWindowTitle(QString::fromUtf8(frame::ProductName)); });
  trap.Step(112, [&] { setMousePointer(ui::vbHourglass); });
  trap.Step(114, [&] { setEnabled(false); });
  trap.Step(116, [&] { db::AddTablesToSybaseListbox(*List1); });
  if (trap.Test(118, [&] { return List1->count() > 0; })) trap.Step(118, [&] {
      List1->setCurrentRow(0);
    });
  trap.Step(120, [&] { setEnabled(true); });
  trap.Step(122, [&] { setMousePointer(ui::vbDefault); });
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  if (watched == List1 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      PushButton3_Click();
      return true;
    }
  }
  return ui::PageWindow::eventFilter(watched, event);
}

void Form2::Form_Unload() {
  EndProgramKeepingPendingEdit();
}

void Form2::PushButton2_Click() {
  frame::ErrorTrap trap(kBack);
  trap.Step(100, [] { Wizard::Current().form1().Show(); });
  trap.Step(102, [&] { Hide(); });
}

void Form2::PushButton3_Click() {
  frame::ErrorTrap trap(kNext);
  ado::ConnectionPtr connection;
  ado::RecordsetPtr recordset;
  trap.Step(100, [&] { connection = ado::CreateConnection(); });
  trap.Step(102, [&] { recordset = std::make_shared<ado::Recordset>(); });
  if (trap.Test(104, [&] { return List1->currentRow() < 0 || !List1->currentItem(); })) {
    trap.Step(136, [] { ui::MsgBox("Please select a table"); });
    return;
  }
  trap.Step(106, [&] { setMousePointer(ui::vbHourglass); });
  trap.Step(110, [&] {
    Require(connection.get());
    connection->setCursorLocation(ado::adUseServer);
  });
  trap.Step(112, [&] {
    Require(connection.get());
    connection->setProvider("MSDASQL");
  });
  trap.Step(114, [&] {
    Require(connection.get());
    connection->Open(db::ConnectionStringFor(db::CurrentDataSourceName()));
  });
  trap.Step(116, [&] { SelectedTable = List1->currentItem()->text().toStdString(); });
  Form3& editor = Wizard::Current().form3();
  trap.Step(118, [&] { editor.Show(); });
  trap.Step(120, [&] {
    editor.Label2->setText(QStringLiteral(" Now Editing: ") + QString::fromStdString(SelectedTable));
    editor.DataGrid1->setAccessibleName(editor.Label2->text().trimmed());
  });
  trap.Step(122, [&] {
    // A cell edit still open on the previous table is saved before that
    // table is let go.
    editor.DataGrid1->commitPendingEdit();
    editor.DataGrid1->setDataSource(nullptr);
  });
  trap.Step(124, [&] {
    Require(connection.get());
    connection->setCursorLocation(ado::adUseClient);
  });
  trap.Step(126, [&] {
    Require(recordset.get());
    recordset->setTable(SelectedTable);
    recordset->Open(TableQueryText(SelectedTable, connection->IdentifierQuote()), connection, ado::adOpenDynamic,
                    ado::adLockOptimistic);
  });
  trap.Step(128, [&] {
    Require(recordset.get());
    // The widths and zoom the user chose for this table come back with it.
    editor.DataGrid1->setRememberedAs(frame::AppName, QString::fromStdString(db::CurrentDataSourceName()));
    // A recordset that failed to open binds nothing: the grid stays empty.
    editor.DataGrid1->setDataSource(recordset->isOpen() ? recordset->DataSource() : nullptr);
  });
  trap.Step(130, [&] { editor.DataGrid1->setFocus(); });
  trap.Step(132, [&] { Hide(); });
  trap.Step(134, [&] { setMousePointer(ui::vbDefault); });
}

}  // namespace pages
