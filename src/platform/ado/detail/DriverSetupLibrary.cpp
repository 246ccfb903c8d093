#include "DriverSetupLibrary.h"

#include <odbcinst.h>

namespace ado {

void KeepDriverSetupLibraryLoaded() {
  // Any call makes the library a load-time dependency of ours.
  UWORD mode = 0;
  SQLGetConfigMode(&mode);
}

}  // namespace ado
