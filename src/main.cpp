#include <QApplication>
#include <iostream>

#include "frame/CommandLine.h"
#include "pages/Wizard.h"

int main(int argc, char** argv) {
  // Before QApplication, which aborts with a page of text when it finds no display.
  if (const auto status = frame::AnswerCommandLine(argc, argv, std::cout, std::cerr)) return *status;
  QApplication application(argc, argv);
  pages::Wizard wizard;
  wizard.Start();
  return application.exec();
}
