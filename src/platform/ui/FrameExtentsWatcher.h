#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>
#include <QWidget>
#include <optional>

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

  // Before the window is first shown: asks the window manager what frame it
  // will draw (_NET_REQUEST_FRAME_EXTENTS), waiting for the answer up to
  // `waitMilliseconds`, so that the window's first layout goes by its outer
  // size rather than growing once it is framed. Nothing where the window
  // manager offers no such question.
  void learnBeforeShow(int waitMilliseconds);
  // The frame learnt so, until the window manager announces one to Qt;
  // none once it has (or before anything was learnt).
  std::optional<QMargins> learnt() const { return learnt_; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 signals:
  // Queued, so that Qt has read the new extents by the time it arrives.
  void extentsChanged();

 private:
  QWidget* window_;
  quint32 atom_;
  std::optional<QMargins> learnt_;
};

}  // namespace ui
