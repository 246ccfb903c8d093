#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/ado/StatementWait.h"

namespace ui {

// The wait of the writes of one table: a write runs on a thread of its own
// (all its statements, one after another) while the window's event loop
// keeps turning (repaints, moves, resizes), the user's input held off but
// for Esc, which cancels the statement running. Nothing else of the table
// starts meanwhile.
class LockWait final : public QObject, public ado::StatementWait {
  Q_OBJECT
 public:
  // How long a statement runs before the wait is shown.
  static constexpr int ShowAfterMilliseconds = 400;
  // How long a statement runs before the window turns meanwhile.
  static constexpr int QuickMilliseconds = 20;
  static constexpr int RepeatCancelMilliseconds = 50;
  static QString WaitingText() { return QStringLiteral("Waiting for another session's lock..."); }

  explicit LockWait(QObject* parent = nullptr);
  ~LockWait() override;

  // One write, from its first statement to its outcome; the writes asked
  // for on this thread meanwhile wait here. Raises ado::Error when a write
  // waits already: nothing of the table may start then.
  class Write {
   public:
    explicit Write(LockWait& wait);
    ~Write();
    Write(const Write&) = delete;
    Write& operator=(const Write&) = delete;

   private:
    LockWait& wait_;
    std::optional<ado::StatementWait::Scope> scope_;
    int exceptions_;
  };

  // A read whose statements may take long (a view of a large table, a
  // block of rows far into it): Esc stops it.
  class Read {
   public:
    explicit Read(LockWait& wait);
    ~Read();
    Read(const Read&) = delete;
    Read& operator=(const Read&) = delete;

   private:
    LockWait& wait_;
    bool outer_;
    std::optional<ado::StatementWait::Scope> scope_;
  };

  // One step of a long read done on the window's own thread, inside a
  // Read: the event loop turns (waiting up to `waitMilliseconds` for
  // something to happen), the user's input held off but for Esc, and the
  // notice says how many rows were read. False once Esc was pressed.
  bool Step(std::size_t rowsRead, int waitMilliseconds = 0);

  // A write is in progress (its statements may be running or not).
  bool writing() const { return writing_; }
  // A write or a read is in progress: nothing else of the table starts.
  bool busy() const { return writing_ || reading_; }
  // What the notice says while a statement waits.
  QString waitText() const { return reading_ && !writing_ ? ReadingText(rowsRead_) : WaitingText(); }
  static QString ReadingText(std::size_t rowsRead = 0) {
    return rowsRead == 0 ? QStringLiteral("Reading rows... Esc stops the read.")
                         : QStringLiteral("Reading rows... %L1 read. Esc stops the read.").arg(rowsRead);
  }
  bool waiting() const { return waiting_; }

  void Run(const std::function<void()>& statement, const std::function<void()>& cancel) override;
  bool cancelRequested() const override { return cancelRequested_; }

 public slots:
  // Cancels the statement running, if one is; Esc does the same.
  void Cancel();

 signals:
  // The wait has lasted long enough to be shown (true), or is over (false).
  void waitShown(bool shown);
  // The user cancelled too late: the write had been saved already.
  void savedDespiteCancel(const QString& message);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Turns the window until the statement's thread ends `loop`.
  void WaitTurning(QEventLoop& loop);
  bool writing_ = false;
  bool reading_ = false;
  bool stepping_ = false;
  std::size_t rowsRead_ = 0;
  QElapsedTimer readingFor_;
  bool waiting_ = false;
  bool shown_ = false;
  std::atomic<bool> cancelRequested_ = false;
  // Guards the cancel of the statement running against its end.
  std::mutex running_;
  const std::function<void()>* cancel_ = nullptr;
};

}  // namespace ui
