#include "app/TesmiraDoc.h"

#include <fcntl.h>
#include <unistd.h>

bool CTesmiraDoc::OnSaveDocument(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  if (ok) path_ = path;
  return ok;
}

bool CTesmiraDoc::OnOpenDocument(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  path_ = path;
  return true;
}
