#include "LockWait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <thread>

#include "platform/ado/AdoError.h"

namespace ui {
namespace {

// What the user does with keys, mouse, touch or drops, which must not
// start anything while a write waits.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::ToolTip:
    case QEvent::WhatsThis:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

LockWait::LockWait(QObject* parent) : QObject(parent) {}

LockWait::~LockWait() = default;

LockWait::Write::Write(LockWait& wait) : wait_(wait), exceptions_(std::uncaught_exceptions()) {
  if (wait_.writing_)
    throw ado::Error("Another change of this table is still being saved; nothing was changed. Try again when it is "
                     "done.");
  wait_.writing_ = true;
  wait_.cancelRequested_ = false;
  scope_.emplace(wait_);
}

LockWait::Write::~Write() {
  scope_.reset();
  wait_.writing_ = false;
  // A write that returned was saved, whatever the user asked for on the way.
  if (wait_.cancelRequested_ && std::uncaught_exceptions() == exceptions_)
    emit wait_.savedDespiteCancel(QStringLiteral("The change was saved: it had reached the database before you "
                                                 "cancelled it."));
  wait_.cancelRequested_ = false;
}

LockWait::Read::Read(LockWait& wait) : wait_(wait), outer_(!wait.busy()) {
  if (!outer_) return;
  wait_.reading_ = true;
  wait_.cancelRequested_ = false;
  wait_.rowsRead_ = 0;
  wait_.readingFor_.start();
  scope_.emplace(wait_);
}

LockWait::Read::~Read() {
  if (!outer_) return;
  scope_.reset();
  wait_.reading_ = false;
  wait_.cancelRequested_ = false;
  if (wait_.shown_) {
    wait_.shown_ = false;
    emit wait_.waitShown(false);
  }
}

bool LockWait::Step(std::size_t rowsRead, int waitMilliseconds) {
  if (!reading_) throw ado::Error("A step of a read is taken only inside the read.");
  rowsRead_ = rowsRead;
  if (readingFor_.elapsed() >= ShowAfterMilliseconds) {
    shown_ = true;
    emit waitShown(true);
  }
  stepping_ = waiting_ = true;
  QCoreApplication::instance()->installEventFilter(this);
  if (waitMilliseconds > 0)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, waitMilliseconds);
  else
    QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(this);
  stepping_ = waiting_ = false;
  return !cancelRequested_;
}

void LockWait::Run(const std::function<void()>& statement, const std::function<void()>& cancel) {
  QEventLoop loop;
  std::mutex ending;
  std::condition_variable ended;
  bool done = false;
  {
    const std::lock_guard lock(running_);
    cancel_ = &cancel;
  }
  waiting_ = true;
  QCoreApplication::instance()->installEventFilter(this);
  {
    std::jthread worker([&] {
      statement();
      {
        const std::lock_guard lock(running_);
        cancel_ = nullptr;
      }
      {
        const std::lock_guard lock(ending);
        done = true;
      }
      ended.notify_one();
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Most statements are done before the window would next be drawn: for
    // those the event loop need not turn (its turns cost a quick read more
    // than the read itself).
    bool quick = false;
    {
      std::unique_lock lock(ending);
      quick = ended.wait_for(lock, std::chrono::milliseconds(QuickMilliseconds), [&] { return done; });
    }
    if (!quick) WaitTurning(loop);
  }
  QCoreApplication::instance()->removeEventFilter(this);
  waiting_ = false;
  if (shown_) {
    shown_ = false;
    emit waitShown(false);
  }
}

void LockWait::WaitTurning(QEventLoop& loop) {
  QTimer showing;
  showing.setSingleShot(true);
  connect(&showing, &QTimer::timeout, this, [this] {
    shown_ = true;
    emit waitShown(true);
  });
  // A driver may end only one of the waits a statement goes through for a
  // lock (SQLite's driver retries a busy step): a cancel asked for is sent
  // again until the statement has ended.
  QTimer cancelling;
  connect(&cancelling, &QTimer::timeout, this, [this] {
    if (cancelRequested_) Cancel();
  });
  showing.start(ShowAfterMilliseconds - QuickMilliseconds);
  cancelling.start(RepeatCancelMilliseconds);
  loop.exec();
  // Still running only when the loop was ended by the program quitting:
  // the statement is ended then, not waited out.
  Cancel();
}

void LockWait::Cancel() {
  const std::lock_guard lock(running_);
  if (!cancel_) return;
  cancelRequested_ = true;
  (*cancel_)();
}

bool LockWait::eventFilter(QObject* watched, QEvent* event) {
  if (!waiting_) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::ShortcutOverride) {
    // Taken as a plain key press, which is held off below, so that no
    // shortcut of the window runs.
    event->accept();
    return true;
  }
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    if (stepping_) cancelRequested_ = true;
    Cancel();
    return true;
  }
  if (event->type() == QEvent::Close) {
    // The window stays until the write has its outcome.
    event->ignore();
    return true;
  }
  return IsUserInput(event->type()) || QObject::eventFilter(watched, event);
}

}  // namespace ui
