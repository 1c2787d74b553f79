#include "platform/visa/FdIo.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/BlockingWait.h"

namespace visa::detail {

using Clock = std::chrono::steady_clock;

Deadline::Deadline(ViUInt32 timeoutMs)
    : infinite_(timeoutMs == VI_TMO_INFINITE),
      end_(Clock::now() + std::chrono::milliseconds(infinite_ ? 0 : timeoutMs)) {}

int Deadline::RemainingMs() const {
  if (infinite_) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

int WaitFor(int fd, short events, const Deadline& deadline, int capMs) {
  const bool sliced = BlockingWaitHooked();
  const Deadline cap(capMs >= 0 ? static_cast<ViUInt32>(capMs) : VI_TMO_INFINITE);
  while (true) {
    pollfd p{fd, events, 0};
    int ms = deadline.RemainingMs();
    const int capLeft = cap.RemainingMs();
    if (capLeft >= 0 && (ms < 0 || ms > capLeft)) ms = capLeft;
    // A front end that keeps its windows painted gets a tick between short slices.
    const bool slice = sliced && (ms < 0 || ms > BLOCKING_WAIT_SLICE_MS);
    const int n = poll(&p, 1, slice ? BLOCKING_WAIT_SLICE_MS : ms);
    if (n > 0) return (p.revents & POLLNVAL) ? -1 : 1;
    if (n == 0 && !slice) return 0;
    if (n < 0 && errno != EINTR) return -1;
    if (slice) BlockingWaitTick();
  }
}

ViStatus LostOrIo(int error) {
  return (error == EPIPE || error == ECONNRESET || error == ENOTCONN || error == ETIMEDOUT ||
          error == EIO || error == ENXIO)
             ? VI_ERROR_CONN_LOST
             : VI_ERROR_IO;
}

ViStatus WriteAll(int fd, const char* data, size_t size, const Deadline& deadline, size_t* sent) {
  *sent = 0;
  while (*sent < size) {
    ssize_t n;
    do {
      // send() keeps a peer that went away from raising SIGPIPE; terminals take write().
      n = send(fd, data + *sent, size - *sent, MSG_NOSIGNAL);
      if (n < 0 && errno == ENOTSOCK) n = ::write(fd, data + *sent, size - *sent);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
      *sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int ready = WaitFor(fd, POLLOUT, deadline);
      if (ready == 0) return VI_ERROR_TMO;
      if (ready < 0) return VI_ERROR_IO;
      continue;
    }
    return n == 0 ? VI_ERROR_IO : LostOrIo(errno);
  }
  return VI_SUCCESS;
}

namespace {

int ConnectOne(const addrinfo* ai, ViUInt32 timeoutMs, int* error) {
  const int fd =
      socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      *error = errno;
      ::close(fd);
      return -1;
    }
    const int ready = WaitFor(fd, POLLOUT, Deadline(timeoutMs));
    int soError = 0;
    socklen_t len = sizeof soError;
    if (ready <= 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
      *error = ready == 0 ? ETIMEDOUT : (soError != 0 ? soError : errno);
      ::close(fd);
      return -1;
    }
  }
  const int one = 1;  // one short SCPI line per request: do not let Nagle hold it back
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

}  // namespace

int ConnectTcp(const std::string& host, int port, ViUInt32 timeoutMs, ViStatus* status) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || list == nullptr) {
    *status = VI_ERROR_RSRC_NFOUND;
    return -1;
  }
  int error = 0;
  int fd = -1;
  for (const addrinfo* ai = list; ai != nullptr && fd < 0; ai = ai->ai_next) {
    fd = ConnectOne(ai, timeoutMs, &error);
  }
  freeaddrinfo(list);
  if (fd < 0) *status = error == ETIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
  return fd;
}

}  // namespace visa::detail
