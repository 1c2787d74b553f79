#include "sim/bench/servers/OncRpc.h"

#include <rpc/rpc.h>

#include <vector>

namespace sim::rpc {
namespace {

// The header's result routine writes nothing; the Encoder's calls write the results after it.
bool_t NoResults(XDR*, ...) {
  return TRUE;
}

}  // namespace

RecordReader::Result RecordReader::Next(std::string* record) {
  while (buffer_.size() >= 4) {
    const auto byte = [&](size_t i) {
      return static_cast<uint32_t>(static_cast<uint8_t>(buffer_[i]));
    };
    const uint32_t mark = (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    const bool last = (mark & 0x80000000u) != 0;
    const size_t length = mark & 0x7FFFFFFFu;
    if (partial_.size() + length > MAX_RECORD) return Result::TOO_LONG;
    if (buffer_.size() < 4 + length) return Result::NEED_MORE;
    partial_.append(buffer_, 4, length);
    buffer_.erase(0, 4 + length);
    if (last) {
      *record = std::move(partial_);
      partial_.clear();
      return Result::RECORD;
    }
  }
  return Result::NEED_MORE;
}

std::string Frame(const std::string& record) {
  const uint32_t mark = 0x80000000u | static_cast<uint32_t>(record.size());
  std::string out;
  out.push_back(static_cast<char>(mark >> 24));
  out.push_back(static_cast<char>(mark >> 16));
  out.push_back(static_cast<char>(mark >> 8));
  out.push_back(static_cast<char>(mark));
  return out + record;
}

struct Decoder::State {
  std::vector<char> data;
  XDR xdr{};
};

Decoder::Decoder(const std::string& record) : state_(std::make_unique<State>()) {
  state_->data.assign(record.begin(), record.end());
  xdrmem_create(&state_->xdr, state_->data.data(), static_cast<u_int>(state_->data.size()),
                XDR_DECODE);
}

Decoder::~Decoder() {
  xdr_destroy(&state_->xdr);
}

bool Decoder::Header(CallHeader* header) {
  rpc_msg msg{};
  char credentials[2 * MAX_AUTH_BYTES];
  msg.rm_call.cb_cred.oa_base = credentials;
  msg.rm_call.cb_verf.oa_base = credentials + MAX_AUTH_BYTES;
  if (!xdr_callmsg(&state_->xdr, &msg) || msg.rm_direction != CALL || msg.rm_call.cb_rpcvers != 2) {
    return false;
  }
  header->xid = msg.rm_xid;
  header->program = static_cast<uint32_t>(msg.rm_call.cb_prog);
  header->version = static_cast<uint32_t>(msg.rm_call.cb_vers);
  header->procedure = static_cast<uint32_t>(msg.rm_call.cb_proc);
  return true;
}

bool Decoder::Int(int32_t* value) {
  int v = 0;
  if (!xdr_int(&state_->xdr, &v)) return false;
  *value = v;
  return true;
}

bool Decoder::UInt(uint32_t* value) {
  u_int v = 0;
  if (!xdr_u_int(&state_->xdr, &v)) return false;
  *value = v;
  return true;
}

bool Decoder::Bool(bool* value) {
  bool_t v = 0;
  if (!xdr_bool(&state_->xdr, &v)) return false;
  *value = v != 0;
  return true;
}

bool Decoder::Char(char* value) {
  char v = 0;
  if (!xdr_char(&state_->xdr, &v)) return false;
  *value = v;
  return true;
}

bool Decoder::String(std::string* value, uint32_t max) {
  std::vector<char> buffer(max + 1, '\0');
  char* p = buffer.data();
  if (!xdr_string(&state_->xdr, &p, max)) return false;
  *value = p;
  return true;
}

bool Decoder::Opaque(std::string* value, uint32_t max) {
  std::vector<char> buffer(max);
  char* p = buffer.data();
  u_int length = 0;
  if (!xdr_bytes(&state_->xdr, &p, &length, max)) return false;
  value->assign(buffer.data(), length);
  return true;
}

struct Encoder::State {
  std::vector<char> data;
  XDR xdr{};
  bool ok = true;
};

Encoder::Encoder(uint32_t xid, Accept status, size_t capacity, uint32_t low, uint32_t high)
    : state_(std::make_unique<State>()) {
  state_->data.resize(capacity + 64);
  xdrmem_create(&state_->xdr, state_->data.data(), static_cast<u_int>(state_->data.size()),
                XDR_ENCODE);
  rpc_msg msg{};
  msg.rm_xid = xid;
  msg.rm_direction = REPLY;
  msg.rm_reply.rp_stat = MSG_ACCEPTED;
  msg.acpted_rply.ar_verf = _null_auth;
  msg.acpted_rply.ar_stat = static_cast<accept_stat>(status);
  if (status == Accept::PROG_MISMATCH) {
    msg.acpted_rply.ar_vers.low = low;
    msg.acpted_rply.ar_vers.high = high;
  } else {
    // The results follow the header; the calls below write them.
    msg.acpted_rply.ar_results.where = nullptr;
    msg.acpted_rply.ar_results.proc = NoResults;
  }
  state_->ok = xdr_replymsg(&state_->xdr, &msg) != 0;
}

Encoder::~Encoder() {
  xdr_destroy(&state_->xdr);
}

bool Encoder::Int(int32_t value) {
  int v = value;
  return state_->ok = state_->ok && xdr_int(&state_->xdr, &v);
}

bool Encoder::UInt(uint32_t value) {
  u_int v = value;
  return state_->ok = state_->ok && xdr_u_int(&state_->xdr, &v);
}

bool Encoder::UShort(uint16_t value) {
  u_short v = value;
  return state_->ok = state_->ok && xdr_u_short(&state_->xdr, &v);
}

bool Encoder::UChar(uint8_t value) {
  u_char v = value;
  return state_->ok = state_->ok && xdr_u_char(&state_->xdr, &v);
}

bool Encoder::Opaque(const std::string& value) {
  char* p = const_cast<char*>(value.data());
  u_int length = static_cast<u_int>(value.size());
  return state_->ok = state_->ok && xdr_bytes(&state_->xdr, &p, &length, length);
}

std::string Encoder::Finish() {
  if (!state_->ok) return {};
  const u_int size = xdr_getpos(&state_->xdr);
  return Frame(std::string(state_->data.data(), size));
}

}  // namespace sim::rpc
