#pragma once

#include <string>
#include <sys/types.h>

namespace ado {

// The file a database lives in, as it was when its table was opened. A
// connection keeps reading the file it opened, whatever another program
// does to its name meanwhile: deleted, moved away or replaced by another
// file, it would show the old rows and refuse every write as if the file
// were read-only. This tells what happened instead.
class DatabaseFileWatch {
 public:
  DatabaseFileWatch() = default;
  // Watches the file at `path` (empty: nothing is watched).
  explicit DatabaseFileWatch(std::string path);

  // Empty while the name still leads to the file opened; otherwise what
  // became of it, in a sentence for the user.
  std::string WhatHappened() const;

 private:
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool watched_ = false;
};

}  // namespace ado
