#pragma once

namespace pages {

// Ends the program as closing a page does, after committing a cell edit that
// is still open in the editor's grid, so that nothing typed is lost unseen.
void EndProgramKeepingPendingEdit();

}  // namespace pages
