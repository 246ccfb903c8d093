#pragma once

#include <string>

namespace store {

// An exclusive advisory lock on a lock file, held for the owner's lifetime.
// Every writer of a settings file takes it around its read-modify-write, so
// two programs saving at once never lose or interleave each other's work.
class FileLock {
 public:
  // Creates the lock file when needed and waits for the lock. Raises
  // std::runtime_error when the lock file cannot be opened or locked.
  explicit FileLock(const std::string& lockPath);
  ~FileLock();

  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int descriptor_ = -1;
};

}  // namespace store
