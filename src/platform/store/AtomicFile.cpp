#include "platform/store/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace store {

namespace {

// Owns a descriptor so that every early exit closes it.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result; close can be the call that reports a
  // failed delayed write.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Removes the temporary file unless the rename consumed it.
class TemporaryName {
 public:
  explicit TemporaryName(std::string path) : path_(std::move(path)) {}
  ~TemporaryName() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;
  const std::string& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  std::string path_;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error("Cannot save the settings: " + what + " " + path + ": " +
                           std::strerror(error));
}

void WriteAll(int fd, const std::string& content, const std::string& path) {
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t result = ::write(fd, content.data() + written, content.size() - written);
    if (result < 0) {
      if (errno == EINTR) continue;
      Fail("writing", path, errno);
    }
    if (result == 0) Fail("writing", path, ENOSPC);
    written += static_cast<std::size_t>(result);
  }
}

}  // namespace

void ReplaceFileAtomically(const std::string& path, const std::string& content) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    Fail("something other than a file is in the way at", path, EISDIR);
  }

  const std::string folder = FolderOf(path);
  std::string pattern = path + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  Descriptor file(::mkostemp(buffer.data(), O_CLOEXEC));
  if (file.get() < 0) Fail("creating a temporary file beside", path, errno);
  TemporaryName temporary(buffer.data());

  if (::fchmod(file.get(), S_IRUSR | S_IWUSR) != 0) Fail("protecting", temporary.path(), errno);
  WriteAll(file.get(), content, temporary.path());
  if (::fsync(file.get()) != 0) Fail("flushing", temporary.path(), errno);
  if (file.close() != 0) Fail("closing", temporary.path(), errno);

  if (::rename(temporary.path().c_str(), path.c_str()) != 0) Fail("replacing", path, errno);
  temporary.release();

  // The rename is durable only once the folder entry is on disk too.
  Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() < 0) Fail("opening the folder", folder, errno);
  if (::fsync(directory.get()) != 0 && errno != EINVAL) Fail("flushing the folder", folder, errno);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  if (status.st_size < 0 || static_cast<std::size_t>(status.st_size) > maxBytes) return std::nullopt;

  std::string content;
  char chunk[8192];
  for (;;) {
    const ssize_t result = ::read(file.get(), chunk, sizeof chunk);
    if (result < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (result == 0) break;
    content.append(chunk, static_cast<std::size_t>(result));
    if (content.size() > maxBytes) return std::nullopt;
  }
  return content;
}

}  // namespace store
