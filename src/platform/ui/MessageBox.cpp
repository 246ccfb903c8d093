#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

namespace {

std::string& TitleText() {
  static std::string title;
  return title;
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

// Texts are built with bare carriage returns as line breaks; Qt breaks lines
// only at line feeds.
QString DisplayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace

void SetApplicationTitleText(const std::string& title) { TitleText() = title; }

const std::string& ApplicationTitleText() { return TitleText(); }

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

void MsgBox(const std::string& text, MessageIcon icon, const std::string& title, const std::string& details) {
  const MessageBoxRequest request{text, title.empty() ? ApplicationTitleText() : title, icon, details};
  if (Handler()) {
    Handler()(request);
    return;
  }
  QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  QString::fromStdString(request.title), DisplayText(request.text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  if (!request.details.empty()) box.setDetailedText(DisplayText(request.details));
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace ui
