#include "platform/ui/ProcessLauncher.h"

#include <QProcess>
#include <QStringList>

namespace ui {

namespace {

ProcessLauncher& Launcher() {
  static ProcessLauncher launcher;
  return launcher;
}

// "explorer <target>" asks the desktop shell to open a document or address;
// here the desktop's opener does that.
QStringList DesktopCommandFor(const QStringList& words) {
  if (!words.isEmpty() && words.front().compare(QStringLiteral("explorer"), Qt::CaseInsensitive) == 0) {
    QStringList opener{QStringLiteral("xdg-open")};
    opener.append(words.mid(1));
    return opener;
  }
  return words;
}

}  // namespace

void SetProcessLauncher(ProcessLauncher launcher) { Launcher() = std::move(launcher); }

void StartProcess(const std::string& commandLine) {
  if (Launcher()) {
    Launcher()(commandLine);
    return;
  }
  const QStringList words = DesktopCommandFor(QProcess::splitCommand(QString::fromStdString(commandLine)));
  if (words.isEmpty()) return;
  // The caller neither waits for the process nor looks at its outcome.
  QProcess::startDetached(words.front(), words.mid(1));
}

}  // namespace ui
