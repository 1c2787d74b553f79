#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string SystemError(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

}  // namespace

std::string AppendRecord(const std::string& path, const std::string& record) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return SystemError("cannot open or create", path, errno);
  std::string error;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error = SystemError("cannot lock", path, errno);
    break;
  }
  size_t written = 0;
  while (error.empty() && written < record.size()) {
    const ssize_t n = ::write(fd, record.data() + written, record.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = SystemError("cannot write", path, n < 0 ? errno : ENOSPC);
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (error.empty() && ::fsync(fd) != 0) error = SystemError("cannot sync", path, errno);
  ::close(fd);  // also releases the lock
  return error;
}
