#pragma once

#include <string>

namespace ui {

// True when an X11 connection to the display can be opened (empty: $DISPLAY).
bool CanOpenX11Display(const std::string& display);

}  // namespace ui
