#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// A torn tail longer than this is not a record of ours; it is left in place, ended by a line break.
constexpr off_t TORN_TAIL_LIMIT = 64 * 1024;

std::string SystemError(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

// Where the file's last line ends (just past its '\n'); 0 when no line ends within the limit.
// Returns -1 on a read error.
off_t EndOfLastLine(int fd, off_t size) {
  char block[4096];
  off_t end = size;
  while (end > 0 && size - end < TORN_TAIL_LIMIT) {
    const off_t begin = std::max<off_t>(0, end - static_cast<off_t>(sizeof block));
    const ssize_t n = ::pread(fd, block, static_cast<size_t>(end - begin), begin);
    if (n != end - begin) return -1;
    for (ssize_t i = n; i > 0; --i) {
      if (block[i - 1] == '\n') return begin + i;
    }
    end = begin;
  }
  return end == 0 ? 0 : -1;
}

// A writer killed inside write() can leave part of its record: a write crossing a page of the file
// stops there when the process is killed. Every record ends its last line, so a file that does not
// end with '\n' ends in such a fragment, which was never reported written: cut it off before the
// next record goes out, under the same lock. Returns the bytes to put before the record.
std::string RepairTornTail(int fd, const std::string& path, std::string& error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = SystemError("cannot read", path, errno);
    return {};
  }
  if (st.st_size == 0 || !S_ISREG(st.st_mode)) return {};
  char last = '\n';
  if (::pread(fd, &last, 1, st.st_size - 1) != 1) {
    error = SystemError("cannot read", path, errno);
    return {};
  }
  if (last == '\n') return {};
  const off_t keep = EndOfLastLine(fd, st.st_size);
  if (keep < 0) return "\r\n";  // someone else's text, or unreadable: keep it, start a new line
  if (::ftruncate(fd, keep) != 0) error = SystemError("cannot repair", path, errno);
  return {};
}

}  // namespace

std::string AppendRecord(const std::string& path, const std::string& record) {
  // Read access is for the torn-tail check; a file that only grants writing is appended unchecked.
  bool readable = true;
  int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 && errno == EACCES) {
    readable = false;
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) return SystemError("cannot open or create", path, errno);
  std::string error;
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    error = SystemError("cannot lock", path, errno);
    break;
  }
  std::string out;
  if (error.empty()) out = (readable ? RepairTornTail(fd, path, error) : std::string()) + record;
  size_t written = 0;
  while (error.empty() && written < out.size()) {
    const ssize_t n = ::write(fd, out.data() + written, out.size() - written);
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
