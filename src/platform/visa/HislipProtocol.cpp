#include "platform/visa/HislipProtocol.h"

namespace hislip {
namespace {

void PutBig(std::string* out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetBig(std::string_view in, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

}  // namespace

std::string Encode(uint8_t type, uint8_t control, uint32_t param, std::string_view payload) {
  std::string out = "HS";
  out.push_back(static_cast<char>(type));
  out.push_back(static_cast<char>(control));
  PutBig(&out, param, 4);
  PutBig(&out, payload.size(), 8);
  out.append(payload);
  return out;
}

std::string EncodeU64(uint64_t value) {
  std::string out;
  PutBig(&out, value, 8);
  return out;
}

uint64_t DecodeU64(std::string_view payload) {
  return payload.size() < 8 ? 0 : GetBig(payload, 0, 8);
}

Assembler::Result Assembler::Next(Message* message) {
  if (buffer_.size() >= 2 && (buffer_[0] != 'H' || buffer_[1] != 'S')) return Result::BAD;
  if (buffer_.size() < HEADER_SIZE) return Result::NEED_MORE;
  const uint64_t length = GetBig(buffer_, 8, 8);
  if (length > MAX_PAYLOAD) return Result::BAD;
  if (buffer_.size() < HEADER_SIZE + length) return Result::NEED_MORE;
  message->type = static_cast<uint8_t>(buffer_[2]);
  message->control = static_cast<uint8_t>(buffer_[3]);
  message->param = static_cast<uint32_t>(GetBig(buffer_, 4, 4));
  message->payload = buffer_.substr(HEADER_SIZE, length);
  buffer_.erase(0, HEADER_SIZE + length);
  return Result::MESSAGE;
}

}  // namespace hislip
