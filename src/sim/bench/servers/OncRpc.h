#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// ONC RPC messages over TCP (RFC 5531 record marking) with libtirpc's XDR routines, for the
// simulated VXI-11 server. The rpc headers stay in the .cpp: they define macros.
namespace sim::rpc {

// A record longer than this is not a VXI-11 call; the connection is dropped.
constexpr size_t MAX_RECORD = (1u << 20) + 4096;

// Cuts records from a TCP byte stream (fragments joined).
class RecordReader {
 public:
  void Feed(const char* data, size_t size) { buffer_.append(data, size); }
  enum class Result { RECORD, NEED_MORE, TOO_LONG };
  Result Next(std::string* record);

 private:
  std::string buffer_;
  std::string partial_;
};

// One record as a single last fragment.
std::string Frame(const std::string& record);

enum class Accept {
  SUCCESS = 0,
  PROG_UNAVAIL = 1,
  PROG_MISMATCH = 2,
  PROC_UNAVAIL = 3,
  GARBAGE_ARGS = 4,
  SYSTEM_ERR = 5
};

struct CallHeader {
  uint32_t xid = 0;
  uint32_t program = 0;
  uint32_t version = 0;
  uint32_t procedure = 0;
};

// Decodes a call: the header, then the procedure's arguments in order.
class Decoder {
 public:
  explicit Decoder(const std::string& record);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  bool Header(CallHeader* header);  // false: not an RPC version 2 call
  bool Int(int32_t* value);
  bool UInt(uint32_t* value);
  bool Bool(bool* value);
  bool Char(char* value);
  bool String(std::string* value, uint32_t max);
  bool Opaque(std::string* value, uint32_t max);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Encodes an accepted reply: the header with its status, then (for SUCCESS) the results.
class Encoder {
 public:
  // low and high: the versions served, for PROG_MISMATCH.
  Encoder(uint32_t xid, Accept status, size_t capacity = 4096, uint32_t low = 0, uint32_t high = 0);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  bool Int(int32_t value);
  bool UInt(uint32_t value);
  bool UShort(uint16_t value);
  bool UChar(uint8_t value);
  bool Opaque(const std::string& value);
  // The framed record, ready to send; empty when encoding failed.
  std::string Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace sim::rpc
