#include "sim/bench/servers/Vxi11Server.h"

#include <cctype>
#include <cstdio>

namespace sim {
namespace {

// Procedures of the device-core program.
enum Procedure : uint32_t {
  PROC_NULL = 0,
  CREATE_LINK = 10,
  DEVICE_WRITE = 11,
  DEVICE_READ = 12,
  DEVICE_READSTB = 13,
  DEVICE_TRIGGER = 14,
  DEVICE_CLEAR = 15,
  DEVICE_REMOTE = 16,
  DEVICE_LOCAL = 17,
  DEVICE_LOCK = 18,
  DEVICE_UNLOCK = 19,
  DEVICE_ENABLE_SRQ = 20,
  DEVICE_DOCMD = 22,
  DESTROY_LINK = 23,
  CREATE_INTR_CHAN = 25,
  DESTROY_INTR_CHAN = 26,
};

// Device_ErrorCode values.
constexpr int32_t NO_ERROR = 0;
constexpr int32_t DEVICE_NOT_ACCESSIBLE = 3;
constexpr int32_t INVALID_LINK = 4;
constexpr int32_t NOT_SUPPORTED = 8;
constexpr int32_t LOCKED_BY_ANOTHER = 11;
constexpr int32_t NO_LOCK_HELD = 12;
constexpr int32_t IO_TIMEOUT = 15;

// Device_Flags and read reasons.
constexpr int32_t FLAG_END = 0x08;
constexpr int32_t FLAG_TERMCHRSET = 0x80;
constexpr int32_t REASON_REQCNT = 1;
constexpr int32_t REASON_CHR = 2;
constexpr int32_t REASON_END = 4;

constexpr uint32_t MAX_DEVICE_NAME = 255;
constexpr uint32_t MAX_DATA = 1u << 20;

// "gpib0,N" or "gpib0,N,S": the primary address, or -1.
int GpibAddress(const std::string& name) {
  std::string lower;
  for (char c : name)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  int pad = -1;
  int sad = -1;
  char extra = 0;
  const int n = std::sscanf(lower.c_str(), "gpib0,%d,%d%c", &pad, &sad, &extra);
  if (n < 1 || n > 2 || pad < 0 || pad > 30) return -1;
  return pad;
}

std::string ErrorOnly(uint32_t xid, int32_t error) {
  rpc::Encoder reply(xid, rpc::Accept::SUCCESS);
  reply.Int(error);
  return reply.Finish();
}

}  // namespace

// A call that waits for the instrument: a write while it is busy, a read until it has a reply.
struct Vxi11Server::Deferred {
  uint32_t xid = 0;
  uint32_t procedure = 0;
  int32_t lid = 0;
  uint64_t deadline = 0;
  std::string data;  // write
  bool end = false;
  uint32_t requestSize = 0;  // read
  bool termCharSet = false;
  char termChar = 0;
};

Vxi11Server::Vxi11Server(BenchContext& context) : context_(context), listener_(context) {
  listener_.onConnect = [this](int fd) { connections_[fd].id = nextConnection_++; };
  listener_.onData = [this](int fd, const char* data, size_t size) { OnData(fd, data, size); };
  listener_.onClose = [this](int fd) { OnClose(fd); };
}

Vxi11Server::~Vxi11Server() {
  *alive_ = false;
  registration_.Unregister();
}

void Vxi11Server::AddInstrument(int gpibAddress, std::shared_ptr<visa::SimDevice> device) {
  instruments_[gpibAddress] = std::make_unique<BusInstrument>(context_.loop, std::move(device));
}

bool Vxi11Server::Listen() {
  return listener_.Listen(0);
}

bool Vxi11Server::Start(int lockWaitMs, std::string* why) {
  if (!Listen()) {
    *why = "cannot listen on a loopback port";
    return false;
  }
  return registration_.Register(DEVICE_CORE, DEVICE_CORE_VERSION, listener_.Port(), lockWaitMs,
                                why);
}

std::string Vxi11Server::Resource(int gpibAddress) {
  return "TCPIP0::127.0.0.1::gpib0," + std::to_string(gpibAddress) + "::INSTR";
}

void Vxi11Server::OnData(int fd, const char* data, size_t size) {
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  it->second.reader.Feed(data, size);
  Serve(fd);
}

void Vxi11Server::OnClose(int fd) {
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  const uint64_t id = it->second.id;
  connections_.erase(it);
  // Links die with their connection, and so do their locks.
  for (auto link = links_.begin(); link != links_.end();) {
    if (link->second.connection != id) {
      ++link;
      continue;
    }
    for (auto lock = lockedBy_.begin(); lock != lockedBy_.end();) {
      lock = lock->second == link->first ? lockedBy_.erase(lock) : std::next(lock);
    }
    link = links_.erase(link);
  }
}

void Vxi11Server::Serve(int fd) {
  while (true) {
    auto it = connections_.find(fd);
    if (it == connections_.end() || it->second.waiting) return;
    Connection& conn = it->second;
    std::string record;
    const auto result = conn.reader.Next(&record);
    if (result == rpc::RecordReader::Result::NEED_MORE) return;
    if (result == rpc::RecordReader::Result::TOO_LONG) {
      listener_.Drop(fd);
      return;
    }
    const auto reply = Handle(fd, conn, record);
    if (connections_.count(fd) == 0) return;  // dropped while handling
    if (!reply) {
      Retry(fd, conn.id);  // done at once when the instrument is ready, else scheduled
      return;
    }
    if (reply->empty()) {
      listener_.Drop(fd);  // not a call this server can answer at all
      return;
    }
    if (!listener_.Send(fd, *reply)) return;
  }
}

BusInstrument* Vxi11Server::InstrumentOf(int32_t lid, int* error) {
  auto link = links_.find(lid);
  if (link == links_.end()) {
    *error = INVALID_LINK;
    return nullptr;
  }
  auto locked = lockedBy_.find(link->second.address);
  if (locked != lockedBy_.end() && locked->second != lid) {
    *error = LOCKED_BY_ANOTHER;
    return nullptr;
  }
  *error = NO_ERROR;
  return instruments_.at(link->second.address).get();
}

std::optional<std::string> Vxi11Server::Handle(int fd, Connection& conn,
                                               const std::string& record) {
  rpc::Decoder in(record);
  rpc::CallHeader call;
  if (!in.Header(&call)) return std::string();
  if (call.program != DEVICE_CORE) {
    return rpc::Encoder(call.xid, rpc::Accept::PROG_UNAVAIL).Finish();
  }
  if (call.version != DEVICE_CORE_VERSION) {
    return rpc::Encoder(call.xid, rpc::Accept::PROG_MISMATCH, 64, DEVICE_CORE_VERSION,
                        DEVICE_CORE_VERSION)
        .Finish();
  }
  const auto garbage = [&] { return rpc::Encoder(call.xid, rpc::Accept::GARBAGE_ARGS).Finish(); };
  int32_t lid = 0;
  int32_t flags = 0;
  uint32_t lockTimeout = 0;
  uint32_t ioTimeout = 0;
  int error = NO_ERROR;
  switch (call.procedure) {
    case PROC_NULL:
      return rpc::Encoder(call.xid, rpc::Accept::SUCCESS).Finish();
    case CREATE_LINK: {
      int32_t clientId = 0;
      bool lockDevice = false;
      std::string device;
      if (!in.Int(&clientId) || !in.Bool(&lockDevice) || !in.UInt(&lockTimeout) ||
          !in.String(&device, MAX_DEVICE_NAME)) {
        return garbage();
      }
      const int address = GpibAddress(device);
      rpc::Encoder reply(call.xid, rpc::Accept::SUCCESS);
      if (address < 0 || instruments_.count(address) == 0) {
        error = DEVICE_NOT_ACCESSIBLE;
      } else if (lockDevice && lockedBy_.count(address) != 0) {
        error = LOCKED_BY_ANOTHER;
      }
      int32_t newLid = 0;
      if (error == NO_ERROR) {
        newLid = nextLink_++;
        links_[newLid] = Link{fd, conn.id, address, {}};
        if (lockDevice) lockedBy_[address] = newLid;
      }
      reply.Int(error);
      reply.Int(newLid);
      reply.UShort(0);  // no abort channel
      reply.UInt(MAX_RECV_SIZE);
      return reply.Finish();
    }
    case DEVICE_WRITE: {
      auto deferred = std::make_unique<Deferred>();
      if (!in.Int(&lid) || !in.UInt(&ioTimeout) || !in.UInt(&lockTimeout) || !in.Int(&flags) ||
          !in.Opaque(&deferred->data, MAX_DATA)) {
        return garbage();
      }
      if (!InstrumentOf(lid, &error)) {
        rpc::Encoder reply(call.xid, rpc::Accept::SUCCESS);
        reply.Int(error);
        reply.UInt(0);
        return reply.Finish();
      }
      deferred->xid = call.xid;
      deferred->procedure = DEVICE_WRITE;
      deferred->lid = lid;
      deferred->deadline = context_.loop.Now() + ioTimeout;
      deferred->end = (flags & FLAG_END) != 0;
      conn.waiting = std::move(deferred);
      return std::nullopt;
    }
    case DEVICE_READ: {
      auto deferred = std::make_unique<Deferred>();
      if (!in.Int(&lid) || !in.UInt(&deferred->requestSize) || !in.UInt(&ioTimeout) ||
          !in.UInt(&lockTimeout) || !in.Int(&flags) || !in.Char(&deferred->termChar)) {
        return garbage();
      }
      if (!InstrumentOf(lid, &error)) {
        rpc::Encoder reply(call.xid, rpc::Accept::SUCCESS);
        reply.Int(error);
        reply.Int(0);
        reply.Opaque("");
        return reply.Finish();
      }
      deferred->xid = call.xid;
      deferred->procedure = DEVICE_READ;
      deferred->lid = lid;
      deferred->deadline = context_.loop.Now() + ioTimeout;
      deferred->termCharSet = (flags & FLAG_TERMCHRSET) != 0;
      conn.waiting = std::move(deferred);
      return std::nullopt;
    }
    case DEVICE_READSTB:
    case DEVICE_TRIGGER:
    case DEVICE_CLEAR:
    case DEVICE_REMOTE:
    case DEVICE_LOCAL: {
      if (!in.Int(&lid) || !in.Int(&flags) || !in.UInt(&lockTimeout) || !in.UInt(&ioTimeout)) {
        return garbage();
      }
      BusInstrument* instrument = InstrumentOf(lid, &error);
      if (instrument && call.procedure == DEVICE_CLEAR) {
        instrument->Clear();
        links_[lid].pending.clear();
      }
      rpc::Encoder reply(call.xid, rpc::Accept::SUCCESS);
      reply.Int(error);
      if (call.procedure == DEVICE_READSTB) {
        reply.UChar(instrument && instrument->HasOutput() ? 0x10 : 0);  // MAV
      }
      return reply.Finish();
    }
    case DEVICE_LOCK: {
      if (!in.Int(&lid) || !in.Int(&flags) || !in.UInt(&lockTimeout)) return garbage();
      if (InstrumentOf(lid, &error)) lockedBy_[links_[lid].address] = lid;
      return ErrorOnly(call.xid, error);
    }
    case DEVICE_UNLOCK: {
      if (!in.Int(&lid)) return garbage();
      auto link = links_.find(lid);
      if (link == links_.end()) return ErrorOnly(call.xid, INVALID_LINK);
      auto locked = lockedBy_.find(link->second.address);
      if (locked == lockedBy_.end() || locked->second != lid) {
        return ErrorOnly(call.xid, NO_LOCK_HELD);
      }
      lockedBy_.erase(locked);
      return ErrorOnly(call.xid, NO_ERROR);
    }
    case DEVICE_ENABLE_SRQ: {
      bool enable = false;
      std::string handle;
      if (!in.Int(&lid) || !in.Bool(&enable) || !in.Opaque(&handle, 40)) return garbage();
      return ErrorOnly(call.xid, links_.count(lid) ? NO_ERROR : INVALID_LINK);
    }
    case DEVICE_DOCMD: {
      rpc::Encoder reply(call.xid, rpc::Accept::SUCCESS);
      reply.Int(NOT_SUPPORTED);
      reply.Opaque("");
      return reply.Finish();
    }
    case DESTROY_LINK: {
      if (!in.Int(&lid)) return garbage();
      auto link = links_.find(lid);
      if (link == links_.end()) return ErrorOnly(call.xid, INVALID_LINK);
      auto locked = lockedBy_.find(link->second.address);
      if (locked != lockedBy_.end() && locked->second == lid) lockedBy_.erase(locked);
      links_.erase(link);
      return ErrorOnly(call.xid, NO_ERROR);
    }
    case CREATE_INTR_CHAN:
    case DESTROY_INTR_CHAN:
      return ErrorOnly(call.xid, NOT_SUPPORTED);
    default:
      return rpc::Encoder(call.xid, rpc::Accept::PROC_UNAVAIL).Finish();
  }
}

// Finishes a waiting call when its condition holds or its time is up; otherwise looks again
// when the instrument is done or the time-out comes.
void Vxi11Server::Retry(int fd, uint64_t id) {
  auto it = connections_.find(fd);
  if (it == connections_.end() || it->second.id != id || !it->second.waiting) return;
  Connection& conn = it->second;
  Deferred& call = *conn.waiting;
  const bool late = context_.loop.Now() >= call.deadline;
  int error = NO_ERROR;
  BusInstrument* instrument = InstrumentOf(call.lid, &error);
  std::string reply;
  if (call.procedure == DEVICE_WRITE) {
    if (instrument && instrument->Busy() && !late) return Schedule(fd, conn);
    rpc::Encoder out(call.xid, rpc::Accept::SUCCESS);
    if (instrument && instrument->Busy()) error = IO_TIMEOUT;
    size_t taken = 0;
    if (error == NO_ERROR) {
      Link& link = links_[call.lid];
      link.pending += call.data;
      taken = call.data.size();
      if (call.end) {
        instrument->Deliver(link.pending);
        link.pending.clear();
      }
    }
    out.Int(error);
    out.UInt(static_cast<uint32_t>(taken));
    reply = out.Finish();
  } else {
    if (instrument && !instrument->HasOutput() && !late) return Schedule(fd, conn);
    if (instrument && !instrument->HasOutput()) error = IO_TIMEOUT;
    std::string data;
    int32_t reason = 0;
    if (error == NO_ERROR) {
      bool end = false;
      data =
          instrument->TakeOutput(call.requestSize, &end,
                                 call.termCharSet ? static_cast<unsigned char>(call.termChar) : -1);
      if (call.termCharSet && !data.empty() && data.back() == call.termChar) reason |= REASON_CHR;
      if (end) reason |= REASON_END;
      if (data.size() == call.requestSize && !(reason & REASON_END)) reason |= REASON_REQCNT;
    }
    rpc::Encoder out(call.xid, rpc::Accept::SUCCESS, data.size() + 64);
    out.Int(error);
    out.Int(reason);
    out.Opaque(data);
    reply = out.Finish();
    if (hangUpMidReply && !data.empty()) {
      hangUpMidReply = false;
      conn.waiting.reset();
      listener_.Send(fd, reply.substr(0, reply.size() / 2));
      listener_.Drop(fd);
      return;
    }
  }
  conn.waiting.reset();
  if (listener_.Send(fd, reply)) Serve(fd);
}

void Vxi11Server::Schedule(int fd, Connection& conn) {
  const Deferred& call = *conn.waiting;
  int error = NO_ERROR;
  BusInstrument* instrument = InstrumentOf(call.lid, &error);
  uint64_t when = call.deadline;
  // A busy instrument is looked at again when it is done (a write goes on, a reply is ready).
  if (instrument && instrument->Busy() && instrument->BusyUntil() < when) {
    when = instrument->BusyUntil();
  }
  const uint64_t now = context_.loop.Now();
  std::weak_ptr<bool> alive = alive_;
  const uint64_t id = conn.id;
  context_.loop.After(when > now ? when - now : 0, [this, alive, fd, id] {
    if (auto token = alive.lock(); token && *token) Retry(fd, id);
  });
}

}  // namespace sim
