#pragma once

#include <functional>

namespace ado {

// Where the thread that asked for a write waits while a statement of the
// write runs, which may take long while another session holds a lock the
// statement needs. Writes asked for on a thread without one run their
// statements in place.
class WriteWait {
 public:
  virtual ~WriteWait() = default;

  // Runs `statement` and returns once it has ended. `cancel` ends the
  // statement's wait early; it may be called from another thread while the
  // statement runs, and only then.
  virtual void Run(const std::function<void()>& statement, const std::function<void()>& cancel) = 0;
  // The user asked to cancel the write in progress.
  virtual bool cancelRequested() const = 0;

  // The wait of the writes this thread asks for; nullptr for none.
  static WriteWait* Current();

  // Makes a wait the current one of this thread while it lives.
  class Scope {
   public:
    explicit Scope(WriteWait& wait);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    WriteWait* previous_;
  };
};

}  // namespace ado
