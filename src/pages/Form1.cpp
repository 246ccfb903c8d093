#include "Form1.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTimer>
#include <stdexcept>
#include <utility>

#include "CompletionList.h"
#include "Controls.h"
#include "Form2.h"
#include "PageEnd.h"
#include "Wizard.h"
#include "db/DataSource.h"
#include "db/Sybase.h"
#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/ErrorReport.h"
#include "frame/Settings.h"
#include "platform/ado/Connection.h"
#include "platform/ado/DataSourceNames.h"
#include "platform/ui/MessageBox.h"

namespace pages {

namespace {

constexpr const char* kLoad = "in Dunmarra2021/08/31.Form1.Form_Load ";
constexpr const char* kNext = "in Dunmarra2021/08/31.Form1.PushButton3_Click ";
constexpr const char* kHelp = "in Dunmarra2021/08/31.Form1.PushButton6_Click ";
constexpr const char* kTest = "in Dunmarra2021/08/31.Form1.PushButton7_Click ";

}  // namespace

std::string ConnectionHelpText() {
  static const char* const lines[] = {
      "Here is how I connected to my Sybase database.",
      "1. Downloaded and installed drivers: SQL Anywhere 10 for Windows "
      "(SQLAnywhere_1000_Windows.exe)",
      "2. Applied for a Developer Key with the database vendor, and a person at the vendor "
      "helped me through it.",
      "3. Clicked to Start > Settings > Control Panel > Administrative Tools > Data Source (ODBC)",
      "4. Clicked 'Add...' ",
      "5. Selected 'SQL Anywhere 10'",
      "6. Filled in 'Data source name', 'User ID', 'Password', 'Server Name', 'TCP/IP' given to "
      "me by my administrator.",
      "7. Clicked 'Test Connection'.",
      "8. Filled in 'Data Source Name' in my program to be the same as 'Data source name' in "
      "Data Source (ODBC)",
      "9. Clicked 'Test Connection' in my program.",
  };
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\r";
  }
  return text;
}

Form1::Form1() : ui::PageWindow(ui::Border::FixedSingle, 8040, 2190) {
  QFont windowFont(QStringLiteral("Arial"));
  windowFont.setPointSizeF(9);
  SetUpPageLayout(*this, QStringLiteral("Form1"), windowFont);

  Frame1 = new QGroupBox(QStringLiteral("Sybase iAnywhere Database"), this);
  Frame1->setFont(frame::PageFont());
  PaintWhite(*Frame1);
  ui::PlaceInTwips(*Frame1, 120, 120, 7800, 1410);

  Text1 = new QLineEdit(Frame1);
  Text1->setFont(frame::PageFont());
  ui::PlaceInTwips(*Text1, 2040, 360, 5510, 330);
  // Offers the known data source names; choosing one only sets the text.
  Text1Completion = new CompletionList(*Text1);
  // What a screen reader says of the box: its label, without the colon.
  Text1->setAccessibleName(QStringLiteral("Data Source Name"));
  PushButton7 = MakePushButton(Frame1, QStringLiteral("Test Connection"), 240, 840, 3600, 405);
  PushButton6 = MakePushButton(Frame1, QStringLiteral("Help"), 3960, 840, 3600, 405);
  Label1 = MakeLabel(Frame1, QStringLiteral("Data Source Name:"), 240, 405, 1695, 255);
  PushButton3 = MakePushButton(this, QStringLiteral("Next >"), 120, 1660, 7800, 405);
  SkinFramework1 = new ui::SkinFramework(this);

  setTabOrder(Text1, PushButton7);
  setTabOrder(PushButton7, PushButton6);
  setTabOrder(PushButton6, PushButton3);

  connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
  connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
  connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
  connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
  Text1->installEventFilter(this);

  for (QWidget* button : {static_cast<QWidget*>(PushButton3), static_cast<QWidget*>(PushButton6),
                          static_cast<QWidget*>(PushButton7)})
    frame::SetPointerOnHover(*this, *button, ui::vbCustom);
  for (QWidget* surface : {static_cast<QWidget*>(this), static_cast<QWidget*>(Text1),
                           static_cast<QWidget*>(Frame1)})
    frame::SetPointerOnHover(*this, *surface, ui::vbDefault);

  db::SetDataSourceNameReader([this] { return Text1->text().toStdString(); });
}

Form1::~Form1() {
  db::SetDataSourceNameReader({});
}

void Form1::Form_Load() {
  frame::ErrorTrap trap(kLoad);
  trap.Step(100, [&] { frame::ApplySkin(*this, *SkinFramework1); });
  trap.Step(104, [&] {
    setWindowTitle(QString::fromUtf8(frame::ProductName));
    setWindowIcon(frame::ApplicationIcon());
    frame::SetApplicationTitle();
  });
  frame::LoadHandCursor(trap, *this);
  OfferDataSourceNames();
  trap.Step(110, [] { frame::OfferHomePage(); });
  trap.Step(128, [&] {
    Text1->setText(QString::fromStdString(
        frame::ReadSetting(frame::AppName, frame::ProductName, frame::DataSourceNameKey)));
  });
  // A connection object that cannot be created counts as a name that does not
  // connect: the connection page is shown.
  if (!trap.Test(130, [] { return db::ConnectToSybase(); }, false)) return;
  trap.Step(132, [] { Wizard::Current().form2().Show(); });
  trap.Step(134, [&] {
    Hide();
    movedOnAtStart_ = true;
  });
}

void Form1::Form_Unload() {
  EndProgramKeepingPendingEdit();
}

void Form1::PushButton3_Click() {
  frame::ErrorTrap trap(kNext);
  if (!trap.Test(100, [] { return db::ConnectToSybase(); }, false)) return;
  trap.Step(102, [] { Wizard::Current().form2().Show(); });
  trap.Step(104, [&] { Hide(); });
  trap.Step(106, [] { Wizard::Current().form2().Form_Load(); });
}

void Form1::PushButton6_Click() {
  frame::ErrorTrap trap(kHelp);
  std::string text;
  trap.Step(100, [&] { text = ConnectionHelpText(); });
  trap.Step(124, [&] { ui::MsgBox(text); });
}

void Form1::PushButton7_Click() {
  frame::ErrorTrap trap(kTest);
  ado::ConnectionPtr connection;
  trap.Step(100, [&] { connection = ado::CreateConnection(); });
  // From here on a failure says that connecting failed; the driver's reason
  // is there for the asking.
  try {
    setMousePointer(ui::vbHourglass);
    if (!connection) throw std::runtime_error("Object variable not set");
    db::OpenDataSourceConnection(*connection);
    // A file that is no database, or one locked by another program, opens
    // all the same: only its first read tells.
    connection->CheckReadable();
    ui::MsgBox("Connection successful.");
    setMousePointer(ui::vbDefault);
  } catch (...) {
    ui::MsgBox("Could not connect.", ui::MessageIcon::None, {}, frame::DescribeFailure(std::current_exception()));
    setMousePointer(ui::vbDefault);
  }
}

void Form1::Text1_Change() {
  try {
    frame::WriteSetting(frame::AppName, frame::ProductName, frame::DataSourceNameKey,
                        Text1->text().toStdString());
  } catch (const std::exception& failure) {
    // Typing goes on; the user hears of it once, not on every keystroke.
    if (settingFailureShown_) return;
    settingFailureShown_ = true;
    ui::MsgBox(std::string("The data source name cannot be remembered for the next start:\r") +
                   failure.what(),
               ui::MessageIcon::Warning);
  }
}

void Form1::OfferDataSourceNames() {
  // Read at the load and anew whenever the box gets the focus: data sources
  // may have been added meanwhile.
  QStringList offered;
  try {
    for (const std::string& name : ado::DataSourceNames()) offered << QString::fromStdString(name);
  } catch (const std::exception&) {
    // Without the driver manager there is nothing to offer; typing still works.
  }
  Text1Completion->setCandidates(offered);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Text1) return ui::PageWindow::eventFilter(watched, event);
  if (event->type() == QEvent::FocusOut) {
    // A menu over the box, or another program, took the focus for a while.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    text1FocusLent_ = reason == Qt::PopupFocusReason ||
                      (reason == Qt::ActiveWindowFocusReason && !QApplication::activeWindow());
  } else if (event->type() == QEvent::FocusIn) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    // The box getting back the focus it lent is no new arrival: what is
    // typed stays unselected, so that the next key adds to it.
    const bool lentBack = std::exchange(text1FocusLent_, false) &&
                          (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason);
    if (!lentBack) {
      OfferDataSourceNames();
      Text1->selectAll();
      // A click that gave the focus places the caret after this handler.
      if (reason == Qt::MouseFocusReason) QTimer::singleShot(0, Text1, [text = Text1] { text->selectAll(); });
    }
  }
  return ui::PageWindow::eventFilter(watched, event);
}

}  // namespace pages
