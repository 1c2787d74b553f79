#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "platform/visa/VisaTypes.h"

namespace visa::detail {

// Bytes received from an instrument and not yet read, with the places where a message ended
// (END/EOI, or a whole VXI-11 reply). Serves viRead: a read stops at the terminator (when
// enabled), at the end of a message, or when the caller's buffer is full.
class ReadBuffer {
 public:
  void Append(const char* data, size_t size, bool messageEnd);
  // Hands out the next piece when one is complete; false when more bytes are needed.
  bool Take(unsigned char* buf, ViUInt32 count, ViUInt32* got, ViUInt8 termChar,
            bool termCharEnabled, ViStatus* status);
  // A read that failed hands out what had arrived, so it cannot be mistaken for later data.
  ViUInt32 TakePartial(unsigned char* buf, ViUInt32 count);
  void Clear();
  bool Empty() const { return data_.empty(); }
  size_t Size() const { return data_.size(); }

 private:
  void Consume(unsigned char* buf, size_t n);

  std::string data_;
  std::deque<size_t> ends_;  // offsets just past each message end, ascending
};

}  // namespace visa::detail
