#include "frame/Appearance.h"
#include "frame/ErrorReport.h"
#include "platform/ui/CursorFile.h"
#include "platform/ui/PageWindow.h"

namespace frame {

void LoadHandCursor(ErrorTrap& trap, ui::PageWindow& page) {
  if (trap.Test(106, [] { return FileExists(HandCursorFilePath()); })) {
    trap.Step(108, [&page] { page.setMouseIcon(ui::LoadCursorFile(HandCursorFilePath())); });
  }
}

}  // namespace frame
