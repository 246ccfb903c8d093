#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "platform/ui/PageWindow.h"

namespace ui {

namespace {

std::function<void()>& Ender() {
  static std::function<void()> ender;
  return ender;
}

// Hides rather than closes the other windows: closing would run their own
// unload handlers, and the program ends once, not once per page.
void QuitApplication() {
  static bool ending = false;
  if (ending) return;
  ending = true;
  for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  QCoreApplication::exit(0);
  // exit() only stops loops that run now; an end requested before the main
  // loop starts takes effect as soon as it does.
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

}  // namespace

void SetProgramEnder(std::function<void()> ender) { Ender() = std::move(ender); }

void EndProgram() {
  if (Ender()) {
    Ender()();
    return;
  }
  QuitApplication();
}

}  // namespace ui
