#include "sim/instruments/ScpiTcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace sim {
namespace {
// How long a reply may wait for a client that does not read before the client is dropped.
constexpr int SEND_STALL_LIMIT_MS = 1000;
}  // namespace

ScpiTcpServer::ScpiTcpServer(BenchContext& context, std::shared_ptr<visa::SimDevice> device)
    : context_(context), device_(std::move(device)) {
  std::weak_ptr<bool> alive = alive_;
  context_.faultsChanged.push_back([this, alive] {
    if (auto token = alive.lock(); token && *token) CloseIfClosed();
  });
}

ScpiTcpServer::~ScpiTcpServer() {
  *alive_ = false;
  while (!connections_.empty()) Drop(connections_.begin()->first);
  if (listenFd_ >= 0) {
    context_.unwatch(listenFd_);
    ::close(listenFd_);
  }
}

bool ScpiTcpServer::Listen(uint16_t port) {
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

std::string ScpiTcpServer::Resource() const {
  return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET";
}

void ScpiTcpServer::Accept() {
  if (CloseIfClosed()) return;
  while (true) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN: all taken
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connections_[fd].fd = fd;
    context_.watch(fd, [this, fd] { Receive(fd); });
  }
}

void ScpiTcpServer::Receive(int fd) {
  if (CloseIfClosed()) return;
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  char chunk[4096];
  const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
  if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
    Drop(fd);
    return;
  }
  if (n < 0) return;
  it->second.input.append(chunk, static_cast<size_t>(n));
  if (it->second.input.size() > MAX_LINE && it->second.input.find('\n') == std::string::npos) {
    Drop(fd);
    return;
  }
  Process(fd);
}

// Hands the device the next complete lines, one at a time, each after the previous reply.
void ScpiTcpServer::Process(int fd) {
  while (true) {
    auto it = connections_.find(fd);
    if (it == connections_.end() || it->second.busy) return;
    Connection& c = it->second;
    const size_t end = c.input.find('\n');
    if (end == std::string::npos) return;
    std::string line = c.input.substr(0, end);
    c.input.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const uint32_t busyMs = device_->Write(line);
    if (busyMs == 0) {
      SendReplies(fd);
      continue;
    }
    c.busy = true;
    std::weak_ptr<bool> alive = alive_;
    context_.loop.After(busyMs, [this, alive, fd] {
      auto token = alive.lock();
      if (!token || !*token) return;
      auto again = connections_.find(fd);
      if (again == connections_.end()) return;
      again->second.busy = false;
      SendReplies(fd);
      Process(fd);
    });
    return;
  }
}

void ScpiTcpServer::SendReplies(int fd) {
  while (auto reply = device_->Read()) {
    reply->push_back('\n');
    if (!SendAll(fd, *reply)) {
      Drop(fd);
      return;
    }
  }
}

bool ScpiTcpServer::SendAll(int fd, const std::string& data) {
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
    return false;
  }
  return true;
}

bool ScpiTcpServer::CloseIfClosed() {
  if (!device_->Closed()) return false;
  while (!connections_.empty()) Drop(connections_.begin()->first);
  if (listenFd_ >= 0) {
    context_.unwatch(listenFd_);
    ::close(listenFd_);
    listenFd_ = -1;
  }
  return true;
}

void ScpiTcpServer::Drop(int fd) {
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  context_.unwatch(fd);
  ::close(fd);
  connections_.erase(it);
}

}  // namespace sim
