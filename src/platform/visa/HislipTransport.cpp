#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/Notifier.h"
#include "platform/visa/Backends.h"
#include "platform/visa/FdIo.h"
#include "platform/visa/HislipProtocol.h"
#include "platform/visa/ReadBuffer.h"

namespace visa::detail {
namespace {

constexpr ViUInt32 HISLIP_OPEN_TMO_MS = 5000;
constexpr uint16_t VENDOR_ID = ('T' << 8) | 'S';
constexpr uint64_t CLIENT_MAX_MESSAGE = 1u << 20;  // what this client takes in one reply

// A channel's socket and its message assembler.
struct Channel {
  int fd = -1;
  hislip::Assembler in;

  ~Channel() {
    if (fd >= 0) ::close(fd);
  }
  ViStatus Send(const std::string& bytes, const Deadline& deadline) {
    if (fd < 0) return VI_ERROR_CONN_LOST;
    size_t sent = 0;
    return WriteAll(fd, bytes.data(), bytes.size(), deadline, &sent);
  }
  // The next whole message, waiting until the deadline.
  ViStatus Receive(hislip::Message* message, const Deadline& deadline) {
    while (true) {
      const auto result = in.Next(message);
      if (result == hislip::Assembler::Result::MESSAGE) return VI_SUCCESS;
      if (result == hislip::Assembler::Result::BAD) return VI_ERROR_IO;
      if (fd < 0) return VI_ERROR_CONN_LOST;
      const int ready = WaitFor(fd, POLLIN, deadline);
      if (ready == 0) return VI_ERROR_TMO;
      if (ready < 0) return VI_ERROR_IO;
      char chunk[8192];
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n > 0) {
        in.Feed(chunk, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      return n == 0 ? VI_ERROR_CONN_LOST : LostOrIo(errno);
    }
  }
};

// HiSLIP (LAN instruments, port 4880): a synchronous channel for the data and an asynchronous
// one the protocol requires. Each write is one message ending in DataEnd (END); replies are
// taken only when they carry the MessageID of the last message sent, so an answer to an
// earlier request that timed out is never taken for the current one.
class HislipTransport : public Transport {
 public:
  ViStatus Open(const std::string& host, int port, const std::string& subAddress) {
    const Deadline deadline(HISLIP_OPEN_TMO_MS);
    ViStatus status = VI_SUCCESS;
    sync_.fd = ConnectTcp(host, port, HISLIP_OPEN_TMO_MS, &status);
    if (sync_.fd < 0) return status;
    status = sync_.Send(
        hislip::Encode(hislip::INITIALIZE, 0,
                       (uint32_t{hislip::PROTOCOL_VERSION} << 16) | VENDOR_ID, subAddress),
        deadline);
    hislip::Message reply;
    if (status >= VI_SUCCESS) status = sync_.Receive(&reply, deadline);
    if (status < VI_SUCCESS) return status;
    if (reply.type != hislip::INITIALIZE_RESPONSE) {
      DebugLog("visa: HiSLIP " + host + ": refused '" + subAddress + "': " + reply.payload + "\n");
      return VI_ERROR_RSRC_NFOUND;
    }
    const uint16_t session = static_cast<uint16_t>(reply.param & 0xFFFF);
    async_.fd = ConnectTcp(host, port, HISLIP_OPEN_TMO_MS, &status);
    if (async_.fd < 0) return status;
    status = async_.Send(hislip::Encode(hislip::ASYNC_INITIALIZE, 0, session), deadline);
    if (status >= VI_SUCCESS) status = async_.Receive(&reply, deadline);
    if (status < VI_SUCCESS) return status;
    if (reply.type != hislip::ASYNC_INITIALIZE_RESPONSE) return VI_ERROR_IO;
    status = async_.Send(hislip::Encode(hislip::ASYNC_MAXIMUM_MESSAGE_SIZE, 0, 0,
                                        hislip::EncodeU64(CLIENT_MAX_MESSAGE)),
                         deadline);
    if (status >= VI_SUCCESS) status = async_.Receive(&reply, deadline);
    if (status < VI_SUCCESS) return status;
    if (reply.type == hislip::ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE) {
      serverMax_ = std::max<uint64_t>(1, hislip::DecodeU64(reply.payload));
    }
    return VI_SUCCESS;
  }

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings& io) override {
    *written = 0;
    if (lost_) return VI_ERROR_CONN_LOST;
    const Deadline deadline(io.timeoutMs);
    const std::string_view data(reinterpret_cast<const char*>(buf), count);
    // A message larger than the server takes goes as Data pieces and a closing DataEnd.
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(serverMax_, 1u << 20));
    size_t done = 0;
    do {
      const size_t n = std::min(piece, data.size() - done);
      const bool last = done + n == data.size();
      const uint8_t type = last && io.sendEnd ? hislip::DATA_END : hislip::DATA;
      messageId_ += 2;
      const ViStatus status =
          sync_.Send(hislip::Encode(type, rmtDelivered_ ? hislip::RMT_DELIVERED : 0, messageId_,
                                    data.substr(done, n)),
                     deadline);
      rmtDelivered_ = false;
      if (status < VI_SUCCESS) return Failed(status);
      done += n;
    } while (done < data.size());
    *written = count;
    return VI_SUCCESS;
  }

  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings& io) override {
    *got = 0;
    ViStatus status = VI_SUCCESS;
    const Deadline deadline(io.timeoutMs);
    while (!in_.Take(buf, count, got, io.termChar, io.termCharEnabled, &status)) {
      if (lost_) {
        *got = in_.TakePartial(buf, count);
        return VI_ERROR_CONN_LOST;
      }
      hislip::Message message;
      const ViStatus received = sync_.Receive(&message, deadline);
      if (received < VI_SUCCESS) {
        *got = in_.TakePartial(buf, count);
        return received == VI_ERROR_TMO ? received : Failed(received);
      }
      switch (message.type) {
        case hislip::DATA:
        case hislip::DATA_END:
          if (message.param != messageId_) break;  // a late reply to an earlier request
          in_.Append(message.payload.data(), message.payload.size(),
                     message.type == hislip::DATA_END);
          if (message.type == hislip::DATA_END) replyEnded_ = true;
          break;
        case hislip::INTERRUPTED:
          in_.Clear();  // the server dropped an unread reply when the next message came
          break;
        case hislip::FATAL_ERROR:
          DebugLog("visa: HiSLIP fatal error: " + message.payload + "\n");
          *got = in_.TakePartial(buf, count);
          return Failed(VI_ERROR_IO);
        case hislip::NONFATAL_ERROR:
          DebugLog("visa: HiSLIP error: " + message.payload + "\n");
          *got = in_.TakePartial(buf, count);
          return VI_ERROR_IO;
        default:
          break;  // nothing else belongs on this channel; it is ignored
      }
    }
    // The reply has been read to its END: the next message says so to the server.
    if (replyEnded_ && in_.Empty()) {
      rmtDelivered_ = true;
      replyEnded_ = false;
    }
    return status;
  }

  void DiscardInput() override {
    in_.Clear();
    replyEnded_ = false;
  }

  ViStatus Close() override {
    if (sync_.fd >= 0) ::close(sync_.fd);
    if (async_.fd >= 0) ::close(async_.fd);
    sync_.fd = async_.fd = -1;
    lost_ = true;
    return VI_SUCCESS;
  }

 private:
  // A channel that failed or was closed by the server cannot carry another message.
  ViStatus Failed(ViStatus status) {
    if (status == VI_ERROR_CONN_LOST || status == VI_ERROR_IO) {
      Close();
      return status;
    }
    return status;
  }

  Channel sync_;
  Channel async_;
  uint64_t serverMax_ = 1u << 20;
  uint32_t messageId_ =
      hislip::FIRST_MESSAGE_ID - 2;  // the first message sent carries the first ID
  bool rmtDelivered_ = false;
  bool replyEnded_ = false;
  bool lost_ = false;
  ReadBuffer in_;
};

}  // namespace

ViStatus OpenHislipTransport(const std::string& host, int port, const std::string& subAddress,
                             std::unique_ptr<Transport>* out) {
  auto transport = std::make_unique<HislipTransport>();
  const ViStatus status = transport->Open(host, port, subAddress);
  if (status < VI_SUCCESS) return status;
  *out = std::move(transport);
  return VI_SUCCESS;
}

}  // namespace visa::detail
