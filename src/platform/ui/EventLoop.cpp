#include "platform/ui/EventLoop.h"

#include <QCoreApplication>

namespace ui {

void DoEvents() { QCoreApplication::processEvents(); }

}  // namespace ui
