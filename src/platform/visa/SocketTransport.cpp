#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>

#include "platform/visa/Backends.h"
#include "platform/visa/ReadBuffer.h"

namespace visa::detail {
namespace {

using Clock = std::chrono::steady_clock;

// Remaining time of one operation; an infinite VISA time-out never runs out.
class Deadline {
 public:
  explicit Deadline(ViUInt32 timeoutMs)
      : infinite_(timeoutMs == VI_TMO_INFINITE),
        end_(Clock::now() + std::chrono::milliseconds(infinite_ ? 0 : timeoutMs)) {}
  // For poll(): -1 forever, 0 expired.
  int RemainingMs() const {
    if (infinite_) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
  }

 private:
  bool infinite_;
  Clock::time_point end_;
};

// Waits for events on fd; 1 ready, 0 time-out, -1 error.
int WaitFor(int fd, short events, const Deadline& deadline) {
  while (true) {
    pollfd p{fd, events, 0};
    const int ms = deadline.RemainingMs();
    const int n = poll(&p, 1, ms);
    if (n > 0) return 1;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

ViStatus LostOrIo(int error) {
  return (error == EPIPE || error == ECONNRESET || error == ENOTCONN || error == ETIMEDOUT)
             ? VI_ERROR_CONN_LOST
             : VI_ERROR_IO;
}

// SCPI over TCP as LAN instruments serve it on port 5025: messages end with a line feed, which
// stands in for GPIB's END in both directions.
class SocketTransport : public Transport {
 public:
  explicit SocketTransport(int fd) : fd_(fd) {}
  ~SocketTransport() override { Close(); }

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings& io) override {
    *written = 0;
    if (fd_ < 0) return VI_ERROR_CONN_LOST;
    std::string data(reinterpret_cast<const char*>(buf), count);
    if (io.sendEnd && (data.empty() || data.back() != '\n')) data.push_back('\n');
    const Deadline deadline(io.timeoutMs);
    size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const int ready = WaitFor(fd_, POLLOUT, deadline);
        if (ready == 0) {
          *written = static_cast<ViUInt32>(std::min<size_t>(sent, count));
          return VI_ERROR_TMO;
        }
        if (ready < 0) return VI_ERROR_IO;
        continue;
      }
      *written = static_cast<ViUInt32>(std::min<size_t>(sent, count));
      return LostOrIo(errno);
    }
    *written = count;
    return VI_SUCCESS;
  }

  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings& io) override {
    *got = 0;
    ViStatus status = VI_SUCCESS;
    const Deadline deadline(io.timeoutMs);
    while (!in_.Take(buf, count, got, io.termChar, io.termCharEnabled, &status)) {
      if (fd_ < 0) {
        *got = in_.TakePartial(buf, count);
        return VI_ERROR_CONN_LOST;
      }
      const int ready = WaitFor(fd_, POLLIN, deadline);
      if (ready <= 0) {
        *got = in_.TakePartial(buf, count);
        return ready == 0 ? VI_ERROR_TMO : VI_ERROR_IO;
      }
      char chunk[4096];
      const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n > 0) {
        in_.Append(chunk, static_cast<size_t>(n), false);
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      // The instrument closed the connection (or it broke) before the reply was complete.
      const ViStatus lost = n == 0 ? VI_ERROR_CONN_LOST : LostOrIo(errno);
      Close();
      *got = in_.TakePartial(buf, count);
      return lost;
    }
    return status;
  }

  void DiscardInput() override {
    in_.Clear();
    if (fd_ < 0) return;
    char chunk[4096];
    for (int i = 0; i < 256; ++i) {  // bounded: never spin on a talkative peer
      const ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
      if (n <= 0) break;
    }
  }

  ViStatus Close() override {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
    return VI_SUCCESS;
  }

 private:
  int fd_;
  ReadBuffer in_;
};

// Non-blocking connect bounded by the connect time-out; the socket stays non-blocking.
int Connect(const addrinfo* ai, int* error) {
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
    const int ready = WaitFor(fd, POLLOUT, Deadline(SOCKET_CONNECT_TIMEOUT_MS));
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

ViStatus OpenSocketTransport(const std::string& host, int port, std::unique_ptr<Transport>* out) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || list == nullptr) {
    return VI_ERROR_RSRC_NFOUND;
  }
  int error = 0;
  int fd = -1;
  for (const addrinfo* ai = list; ai != nullptr && fd < 0; ai = ai->ai_next) {
    fd = Connect(ai, &error);
  }
  freeaddrinfo(list);
  if (fd < 0) return error == ETIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
  *out = std::make_unique<SocketTransport>(fd);
  return VI_SUCCESS;
}

}  // namespace visa::detail
