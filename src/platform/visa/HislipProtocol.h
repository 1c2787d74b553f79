#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// HiSLIP (IVI-6.1) messages: a 16-byte header ("HS", type, control code, 32-bit parameter,
// 64-bit payload length, big-endian) and the payload. Shared by the client backend and the
// simulated bench's server.
namespace hislip {

constexpr int DEFAULT_PORT = 4880;
constexpr size_t HEADER_SIZE = 16;
constexpr uint16_t PROTOCOL_VERSION = 0x0100;  // 1.0
// Larger payloads are refused as a protocol error, so a bad length cannot exhaust memory.
constexpr uint64_t MAX_PAYLOAD = 1u << 24;
constexpr uint32_t FIRST_MESSAGE_ID = 0xFFFFFF00u;

enum Type : uint8_t {
  INITIALIZE = 0,
  INITIALIZE_RESPONSE = 1,
  FATAL_ERROR = 2,
  NONFATAL_ERROR = 3,
  ASYNC_LOCK = 4,
  ASYNC_LOCK_RESPONSE = 5,
  DATA = 6,
  DATA_END = 7,
  DEVICE_CLEAR_COMPLETE = 8,
  DEVICE_CLEAR_ACKNOWLEDGE = 9,
  ASYNC_REMOTE_LOCAL_CONTROL = 10,
  ASYNC_REMOTE_LOCAL_RESPONSE = 11,
  TRIGGER = 12,
  INTERRUPTED = 13,
  ASYNC_INTERRUPTED = 14,
  ASYNC_MAXIMUM_MESSAGE_SIZE = 15,
  ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE = 16,
  ASYNC_INITIALIZE = 17,
  ASYNC_INITIALIZE_RESPONSE = 18,
  ASYNC_DEVICE_CLEAR = 19,
  ASYNC_SERVICE_REQUEST = 20,
  ASYNC_STATUS_QUERY = 21,
  ASYNC_STATUS_RESPONSE = 22,
  ASYNC_DEVICE_CLEAR_ACKNOWLEDGE = 23,
  ASYNC_LOCK_INFO = 24,
  ASYNC_LOCK_INFO_RESPONSE = 25,
};

// Control code of Data and DataEnd from the client: the previous reply was read to its end.
constexpr uint8_t RMT_DELIVERED = 1;

struct Message {
  uint8_t type = 0;
  uint8_t control = 0;
  uint32_t param = 0;
  std::string payload;
};

std::string Encode(uint8_t type, uint8_t control, uint32_t param, std::string_view payload = {});
std::string EncodeU64(uint64_t value);  // payload of the maximum-message-size messages
uint64_t DecodeU64(std::string_view payload);

// Cuts messages from a byte stream. Feed bytes, then take whole messages.
class Assembler {
 public:
  void Feed(const char* data, size_t size) { buffer_.append(data, size); }
  enum class Result { MESSAGE, NEED_MORE, BAD };
  // BAD: the stream does not start with "HS" or announces an oversized payload; it cannot be
  // trusted any further.
  Result Next(Message* message);
  void Clear() { buffer_.clear(); }

 private:
  std::string buffer_;
};

}  // namespace hislip
