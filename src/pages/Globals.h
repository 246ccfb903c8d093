#pragma once

#include <string>

namespace pages {

// The name of the table chosen by the table chooser's last "Next >" that had
// a table selected; empty before the first one.
inline std::string SelectedTable;

}  // namespace pages
