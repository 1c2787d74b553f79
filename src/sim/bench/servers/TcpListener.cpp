#include "sim/bench/servers/TcpListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace sim {
namespace {
// How long a reply may wait for a client that does not read before the client is dropped.
constexpr int SEND_STALL_LIMIT_MS = 1000;
}  // namespace

TcpListener::~TcpListener() {
  onClose = nullptr;
  while (!connections_.empty()) Drop(connections_.begin()->first);
  if (listenFd_ >= 0) {
    context_.unwatch(listenFd_);
    ::close(listenFd_);
  }
}

bool TcpListener::Listen(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return false;
  }
  listenFd_ = fd;
  port_ = ntohs(addr.sin_port);
  context_.watch(fd, [this] { Accept(); });
  return true;
}

void TcpListener::Accept() {
  while (true) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN: all taken
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connections_[fd] = true;
    context_.watch(fd, [this, fd] { Receive(fd); });
    if (onConnect) onConnect(fd);
  }
}

void TcpListener::Receive(int fd) {
  if (connections_.count(fd) == 0) return;
  char chunk[8192];
  const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
  if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
    Drop(fd);
    return;
  }
  if (n > 0 && onData) onData(fd, chunk, static_cast<size_t>(n));
}

bool TcpListener::Send(int fd, const std::string& data) {
  if (connections_.count(fd) == 0) return false;
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, SEND_STALL_LIMIT_MS) > 0) continue;
    }
    Drop(fd);
    return false;
  }
  return true;
}

void TcpListener::Drop(int fd) {
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  context_.unwatch(fd);
  ::close(fd);
  connections_.erase(it);
  if (onClose) onClose(fd);
}

}  // namespace sim
