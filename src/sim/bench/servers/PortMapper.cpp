#include "sim/bench/servers/PortMapper.h"

#include <fcntl.h>
#include <rpc/pmap_clnt.h>
#include <rpc/rpc.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/visa/FdIo.h"

extern char** environ;

namespace sim {
namespace {

constexpr const char* LOCK_PATH = "/tmp/tesmira-vxi11.lock";
constexpr int PORTMAP_START_WAIT_MS = 3000;
constexpr const char* RPCBIND_PATHS[] = {"/usr/sbin/rpcbind", "/sbin/rpcbind"};

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

bool PortMapperRunning() {
  ViStatus status = VI_SUCCESS;
  const int fd = visa::detail::ConnectTcp("127.0.0.1", 111, 500, &status);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool EnsurePortMapper(std::string* why) {
  if (PortMapperRunning()) return true;
  const char* rpcbind = nullptr;
  for (const char* path : RPCBIND_PATHS) {
    if (access(path, X_OK) == 0) {
      rpcbind = path;
      break;
    }
  }
  if (rpcbind == nullptr) {
    *why = "no port mapper: rpcbind is not installed (apt install rpcbind)";
    return false;
  }
  if (geteuid() != 0) {
    *why = "no port mapper: rpcbind is not running and only root may start it (sudo rpcbind)";
    return false;
  }
  // rpcbind puts itself in the background; what it leaves running is the machine's service.
  pid_t pid = 0;
  char* const argv[] = {const_cast<char*>(rpcbind), const_cast<char*>("-w"), nullptr};
  if (posix_spawn(&pid, rpcbind, nullptr, nullptr, argv, environ) != 0) {
    *why = std::string("no port mapper: cannot start rpcbind (") + std::strerror(errno) + ")";
    return false;
  }
  for (int waited = 0; waited < PORTMAP_START_WAIT_MS; waited += 20) {
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) pid = 0;
    if (PortMapperRunning()) return true;
    Sleep(20);
  }
  *why = "no port mapper: rpcbind was started but does not answer";
  return false;
}

PortMapperRegistration::~PortMapperRegistration() {
  Unregister();
}

bool PortMapperRegistration::Register(uint32_t program, uint32_t version, uint16_t port, int waitMs,
                                      std::string* why) {
  Unregister();
  if (!PortMapperRunning()) {
    *why = "no port mapper is running (start rpcbind)";
    return false;
  }
  lockFd_ = ::open(LOCK_PATH, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd_ < 0) {
    *why = std::string("cannot open ") + LOCK_PATH + " (" + std::strerror(errno) + ")";
    return false;
  }
  (void)fchmod(lockFd_, 0666);  // other users' servers take the same lock
  for (int waited = 0;; waited += 20) {
    if (flock(lockFd_, LOCK_EX | LOCK_NB) == 0) break;
    if (waited >= waitMs) {
      *why = "another simulated VXI-11 server holds the port mapper's registration (" +
             std::string(LOCK_PATH) + ")";
      ::close(lockFd_);
      lockFd_ = -1;
      return false;
    }
    Sleep(20);
  }
  program_ = program;
  version_ = version;
  // A server that died left its entry behind; it is replaced.
  (void)pmap_unset(program, version);
  if (!pmap_set(program, version, IPPROTO_TCP, port)) {
    *why = "the port mapper refused the registration";
    ::close(lockFd_);
    lockFd_ = -1;
    return false;
  }
  registered_ = true;
  return true;
}

void PortMapperRegistration::Unregister() {
  if (registered_) (void)pmap_unset(program_, version_);
  registered_ = false;
  if (lockFd_ >= 0) ::close(lockFd_);  // also gives the lock back
  lockFd_ = -1;
}

}  // namespace sim
