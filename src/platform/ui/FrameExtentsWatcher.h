#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QWidget>

namespace ui {

// Tells when the X11 window manager announces new frame extents (the title
// bar and borders it draws around a top-level window, _NET_FRAME_EXTENTS).
// They may arrive after the resize that changed them, or with no resize at
// all (the first mapping); Qt takes them in without an event of its own.
// Elsewhere than on X11 it never signals.
class FrameExtentsWatcher final : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT
 public:
  // Watches `window`, which owns the watcher.
  explicit FrameExtentsWatcher(QWidget* window);
  ~FrameExtentsWatcher() override;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 signals:
  // Queued, so that Qt has read the new extents by the time it arrives.
  void extentsChanged();

 private:
  QWidget* window_;
  quint32 atom_;
};

}  // namespace ui
