#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/visa/Backends.h"
#include "platform/visa/FdIo.h"
#include "platform/visa/ReadBuffer.h"

namespace visa::detail {
namespace {

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
    size_t sent = 0;
    const ViStatus status = WriteAll(fd_, data.data(), data.size(), Deadline(io.timeoutMs), &sent);
    *written = static_cast<ViUInt32>(std::min<size_t>(sent, count));
    return status;
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

}  // namespace

ViStatus OpenSocketTransport(const std::string& host, int port, std::unique_ptr<Transport>* out) {
  ViStatus status = VI_SUCCESS;
  const int fd = ConnectTcp(host, port, SOCKET_CONNECT_TIMEOUT_MS, &status);
  if (fd < 0) return status;
  *out = std::make_unique<SocketTransport>(fd);
  return VI_SUCCESS;
}

}  // namespace visa::detail
