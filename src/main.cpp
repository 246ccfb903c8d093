#include <QApplication>

#include "pages/Wizard.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  pages::Wizard wizard;
  wizard.Start();
  return application.exec();
}
