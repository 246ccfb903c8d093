#include "platform/ui/X11Display.h"

#include <xcb/xcb.h>

#include <memory>

namespace ui {

bool CanOpenX11Display(const std::string& display) {
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
      xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr), &xcb_disconnect);
  // xcb_connect never returns null; a failure is an error connection.
  return xcb_connection_has_error(connection.get()) == 0;
}

}  // namespace ui
