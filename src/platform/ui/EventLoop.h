#pragma once

namespace ui {

// Lets the window event loop run once: pending repaints and input events.
void DoEvents();

}  // namespace ui
