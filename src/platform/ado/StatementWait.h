#pragma once

#include <functional>

namespace ado {

// Where the thread that asked for a write or a read waits while one of its
// statements runs, which may take long: another session holds a lock the
// statement needs, or the database sorts a large table. Statements asked
// for on a thread without one run in place.
class StatementWait {
 public:
  virtual ~StatementWait() = default;

  // Runs `statement` and returns once it has ended. `cancel` ends the
  // statement's wait early; it may be called from another thread while the
  // statement runs, and only then.
  virtual void Run(const std::function<void()>& statement, const std::function<void()>& cancel) = 0;
  // The user asked to cancel the write or read in progress.
  virtual bool cancelRequested() const = 0;

  // The wait of the statements this thread asks for; nullptr for none.
  static StatementWait* Current();

  // Makes a wait the current one of this thread while it lives.
  class Scope {
   public:
    explicit Scope(StatementWait& wait);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    StatementWait* previous_;
  };
};

}  // namespace ado
