#include "PageEnd.h"

#include "Form3.h"
#include "Wizard.h"
#include "platform/ui/DataGrid.h"
#include "platform/ui/PageWindow.h"

namespace pages {

void EndProgramKeepingPendingEdit() {
  Wizard& wizard = Wizard::Current();
  // A refused write has been announced by the grid; the program ends anyway,
  // as the user asked.
  if (wizard.form3Exists()) wizard.form3().DataGrid1->commitPendingEdit();
  ui::EndProgram();
}

}  // namespace pages
