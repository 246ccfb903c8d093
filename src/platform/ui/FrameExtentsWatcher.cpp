#include "platform/ui/FrameExtentsWatcher.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace ui {

namespace {

// The atom of _NET_FRAME_EXTENTS on the application's X11 connection;
// XCB_ATOM_NONE on any other platform.
xcb_atom_t FrameExtentsAtom() {
  const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr) return XCB_ATOM_NONE;
  constexpr std::string_view name = "_NET_FRAME_EXTENTS";
  xcb_connection_t* connection = x11->connection();
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.data());
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

FrameExtentsWatcher::FrameExtentsWatcher(QWidget* window)
    : QObject(window), window_(window), atom_(FrameExtentsAtom()) {
  if (atom_ != XCB_ATOM_NONE) QCoreApplication::instance()->installNativeEventFilter(this);
}

FrameExtentsWatcher::~FrameExtentsWatcher() {
  if (atom_ != XCB_ATOM_NONE && QCoreApplication::instance() != nullptr)
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool FrameExtentsWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  // The top bit marks events that another client sent.
  if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
  const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
  if (change->atom != atom_ || window_->internalWinId() == 0 ||
      change->window != static_cast<xcb_window_t>(window_->internalWinId()))
    return false;
  // Qt reads the property only after every filter has seen the event.
  QMetaObject::invokeMethod(this, &FrameExtentsWatcher::extentsChanged, Qt::QueuedConnection);
  return false;
}

}  // namespace ui
