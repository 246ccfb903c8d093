#include "platform/ui/FrameExtentsWatcher.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace ui {

namespace {

template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t* X11Connection() {
  const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.data());
  const ReplyPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The atom of _NET_FRAME_EXTENTS on the application's X11 connection;
// XCB_ATOM_NONE on any other platform.
xcb_atom_t FrameExtentsAtom() {
  xcb_connection_t* connection = X11Connection();
  return connection ? Atom(connection, "_NET_FRAME_EXTENTS") : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_window_t RootOf(xcb_connection_t* connection) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  return screen ? screen->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

// Whether the window manager names the atom among those it supports.
bool Supported(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
  const xcb_atom_t supported = Atom(connection, "_NET_SUPPORTED");
  const ReplyPointer<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096),
                             nullptr),
      &std::free);
  if (!reply || reply->format != 32) return false;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  for (int index = 0; index < count; ++index)
    if (atoms[index] == atom) return true;
  return false;
}

// The window's _NET_FRAME_EXTENTS (left, right, top, bottom), once set.
std::optional<QMargins> FrameExtents(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t atom) {
  const ReplyPointer<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, atom, XCB_ATOM_CARDINAL, 0, 4),
                             nullptr),
      &std::free);
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16) return std::nullopt;
  const auto* extents = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
  return QMargins(static_cast<int>(extents[0]), static_cast<int>(extents[2]), static_cast<int>(extents[1]),
                  static_cast<int>(extents[3]));
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

void FrameExtentsWatcher::learnBeforeShow(int waitMilliseconds) {
  xcb_connection_t* connection = X11Connection();
  if (atom_ == XCB_ATOM_NONE || !connection || window_->isVisible()) return;
  const xcb_window_t root = RootOf(connection);
  const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
  if (root == XCB_WINDOW_NONE || request == XCB_ATOM_NONE || !Supported(connection, root, request)) return;
  // The native window, unmapped, for the window manager to answer on.
  const auto window = static_cast<xcb_window_t>(window_->winId());
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = request;
  xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
  // The window manager sets the property in its own time, mostly at once.
  QElapsedTimer waited;
  waited.start();
  while (!(learnt_ = FrameExtents(connection, window, atom_)) && waited.elapsed() < waitMilliseconds)
    QThread::usleep(500);
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
  // Qt reads the property anew after this event, and goes by what it reads.
  learnt_.reset();
  // Qt reads the property only after every filter has seen the event.
  QMetaObject::invokeMethod(this, &FrameExtentsWatcher::extentsChanged, Qt::QueuedConnection);
  return false;
}

}  // namespace ui
