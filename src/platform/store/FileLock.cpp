#include "platform/store/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace store {

FileLock::FileLock(const std::string& lockPath) {
  descriptor_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (descriptor_ < 0) {
    throw std::runtime_error("Cannot open the settings lock file " + lockPath + ": " +
                             std::strerror(errno));
  }
  int result;
  do {
    result = ::flock(descriptor_, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    ::close(descriptor_);
    throw std::runtime_error("Cannot lock the settings lock file " + lockPath + ": " +
                             std::strerror(error));
  }
}

FileLock::~FileLock() {
  // Closing the descriptor releases the lock.
  ::close(descriptor_);
}

}  // namespace store
