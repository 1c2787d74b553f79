#include "sim/bench/servers/HislipServer.h"

namespace sim {
namespace {
constexpr const char* SUB_ADDRESS = "hislip0";
// Error codes of Error and FatalError messages.
constexpr uint8_t FATAL_BAD_HEADER = 1;
constexpr uint8_t FATAL_NOT_INITIALIZED = 3;
constexpr uint8_t FATAL_INVALID_INIT = 4;
constexpr uint8_t ERROR_UNRECOGNIZED_TYPE = 1;
}  // namespace

HislipServer::HislipServer(BenchContext& context, std::shared_ptr<visa::SimDevice> device)
    : context_(context), listener_(context), instrument_(context.loop, std::move(device)) {
  listener_.onConnect = [this](int fd) { channels_[fd] = Channel{}; };
  listener_.onData = [this](int fd, const char* data, size_t size) { OnData(fd, data, size); };
  listener_.onClose = [this](int fd) { OnClose(fd); };
}

HislipServer::~HislipServer() {
  *alive_ = false;
  listener_.onClose = nullptr;
}

bool HislipServer::Listen(uint16_t port) {
  return listener_.Listen(port);
}

std::string HislipServer::Resource() const {
  return "TCPIP0::127.0.0.1::hislip0," + std::to_string(Port()) + "::INSTR";
}

void HislipServer::Send(int fd, uint8_t type, uint8_t control, uint32_t param,
                        const std::string& payload) {
  listener_.Send(fd, hislip::Encode(type, control, param, payload));
}

void HislipServer::OnData(int fd, const char* data, size_t size) {
  auto it = channels_.find(fd);
  if (it == channels_.end()) return;
  it->second.in.Feed(data, size);
  while (true) {
    auto channel = channels_.find(fd);
    if (channel == channels_.end()) return;
    hislip::Message message;
    const auto result = channel->second.in.Next(&message);
    if (result == hislip::Assembler::Result::NEED_MORE) return;
    if (result == hislip::Assembler::Result::BAD) {
      Send(fd, hislip::FATAL_ERROR, FATAL_BAD_HEADER, 0, "bad message header");
      listener_.Drop(fd);
      return;
    }
    Handle(fd, channel->second, message);
  }
}

void HislipServer::OnClose(int fd) {
  auto it = channels_.find(fd);
  if (it == channels_.end()) return;
  const uint16_t session = it->second.session;
  channels_.erase(it);
  auto s = sessions_.find(session);
  if (s == sessions_.end()) return;
  // Closing either channel ends the session.
  const int other = s->second.syncFd == fd ? s->second.asyncFd : s->second.syncFd;
  sessions_.erase(s);
  if (other >= 0) listener_.Drop(other);
}

void HislipServer::Handle(int fd, Channel& channel, const hislip::Message& message) {
  switch (message.type) {
    case hislip::INITIALIZE: {
      if (message.payload != SUB_ADDRESS) {
        Send(fd, hislip::FATAL_ERROR, FATAL_INVALID_INIT, 0,
             "unknown sub-address '" + message.payload + "'");
        listener_.Drop(fd);
        return;
      }
      const uint16_t id = nextSession_++;
      channel.sync = true;
      channel.session = id;
      sessions_[id].syncFd = fd;
      Send(fd, hislip::INITIALIZE_RESPONSE, 0,  // synchronized mode
           (uint32_t{hislip::PROTOCOL_VERSION} << 16) | id);
      return;
    }
    case hislip::ASYNC_INITIALIZE: {
      const uint16_t id = static_cast<uint16_t>(message.param & 0xFFFF);
      auto s = sessions_.find(id);
      if (s == sessions_.end() || s->second.asyncFd >= 0) {
        Send(fd, hislip::FATAL_ERROR, FATAL_INVALID_INIT, 0, "no such session");
        listener_.Drop(fd);
        return;
      }
      channel.session = id;
      s->second.asyncFd = fd;
      Send(fd, hislip::ASYNC_INITIALIZE_RESPONSE, 0, SERVER_VENDOR);
      return;
    }
    default:
      break;
  }
  auto s = sessions_.find(channel.session);
  if (s == sessions_.end()) {
    Send(fd, hislip::FATAL_ERROR, FATAL_NOT_INITIALIZED, 0, "not initialized");
    listener_.Drop(fd);
    return;
  }
  Session& session = s->second;
  switch (message.type) {
    case hislip::DATA:
      session.message += message.payload;
      return;
    case hislip::DATA_END:
      session.waiting.emplace_back(message.param, session.message + message.payload);
      session.message.clear();
      Process(channel.session);
      return;
    case hislip::ASYNC_MAXIMUM_MESSAGE_SIZE:
      Send(fd, hislip::ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE, 0, 0,
           hislip::EncodeU64(SERVER_MAX_MESSAGE));
      return;
    case hislip::ASYNC_DEVICE_CLEAR:
      Send(fd, hislip::ASYNC_DEVICE_CLEAR_ACKNOWLEDGE, 0, 0);
      return;
    case hislip::DEVICE_CLEAR_COMPLETE:
      session.message.clear();
      session.waiting.clear();
      session.replyPending = false;
      instrument_.Clear();
      Send(fd, hislip::DEVICE_CLEAR_ACKNOWLEDGE, 0, 0);
      return;
    case hislip::ASYNC_STATUS_QUERY:
      Send(fd, hislip::ASYNC_STATUS_RESPONSE, instrument_.HasOutput() ? 0x10 : 0, 0);
      return;
    case hislip::ASYNC_LOCK:
      Send(fd, hislip::ASYNC_LOCK_RESPONSE, 1, 0);  // granted / released
      return;
    case hislip::ASYNC_LOCK_INFO:
      Send(fd, hislip::ASYNC_LOCK_INFO_RESPONSE, 0, 0);
      return;
    case hislip::ASYNC_REMOTE_LOCAL_CONTROL:
      Send(fd, hislip::ASYNC_REMOTE_LOCAL_RESPONSE, 0, 0);
      return;
    case hislip::TRIGGER:
      return;
    default:
      Send(fd, hislip::NONFATAL_ERROR, ERROR_UNRECOGNIZED_TYPE, 0, "unrecognized message type");
      return;
  }
}

// Hands waiting messages to the instrument once it is free, and sends the reply when it is ready.
void HislipServer::Process(uint16_t id) {
  auto s = sessions_.find(id);
  if (s == sessions_.end()) return;
  Session& session = s->second;
  while (!instrument_.Busy() && !session.waiting.empty()) {
    auto [messageId, text] = std::move(session.waiting.front());
    session.waiting.pop_front();
    instrument_.Deliver(text);
    session.replyTo = messageId;
    session.replyPending = true;
  }
  if (instrument_.Busy()) {
    std::weak_ptr<bool> alive = alive_;
    context_.loop.After(instrument_.BusyUntil() - context_.loop.Now(), [this, alive, id] {
      if (auto token = alive.lock(); token && *token) Process(id);
    });
    return;
  }
  while (session.replyPending && instrument_.HasOutput()) {
    bool end = false;
    const std::string reply = instrument_.TakeOutput(SERVER_MAX_MESSAGE, &end);
    const int fd = session.syncFd;
    if (hangUpMidReply) {
      hangUpMidReply = false;
      Send(fd, hislip::DATA, 0, session.replyTo, reply.substr(0, reply.size() / 2));
      listener_.Drop(fd);
      return;
    }
    Send(fd, end ? hislip::DATA_END : hislip::DATA, 0, session.replyTo, reply);
    if (sessions_.count(id) == 0) return;
  }
}

}  // namespace sim
