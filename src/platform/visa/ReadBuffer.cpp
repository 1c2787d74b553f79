#include "platform/visa/ReadBuffer.h"

#include <algorithm>
#include <cstring>

namespace visa::detail {

void ReadBuffer::Append(const char* data, size_t size, bool messageEnd) {
  data_.append(data, size);
  if (messageEnd && !data_.empty()) ends_.push_back(data_.size());
}

void ReadBuffer::Consume(unsigned char* buf, size_t n) {
  if (n > 0) std::memcpy(buf, data_.data(), n);
  data_.erase(0, n);
  while (!ends_.empty() && ends_.front() <= n) ends_.pop_front();
  for (auto& end : ends_) end -= n;
}

bool ReadBuffer::Take(unsigned char* buf, ViUInt32 count, ViUInt32* got, ViUInt8 termChar,
                      bool termCharEnabled, ViStatus* status) {
  size_t stop = std::string::npos;  // bytes up to and including the first message boundary
  ViStatus reason = VI_SUCCESS;
  if (termCharEnabled) {
    const size_t at = data_.find(static_cast<char>(termChar));
    if (at != std::string::npos) {
      stop = at + 1;
      reason = VI_SUCCESS_TERM_CHAR;
    }
  }
  if (!ends_.empty() && (stop == std::string::npos || ends_.front() < stop)) {
    stop = ends_.front();
    reason = VI_SUCCESS;  // END: the message is complete
  }
  if (stop != std::string::npos && stop <= count) {
    Consume(buf, stop);
    *got = static_cast<ViUInt32>(stop);
    *status = reason;
    return true;
  }
  if (data_.size() >= count) {
    Consume(buf, count);
    *got = count;
    *status = VI_SUCCESS_MAX_CNT;
    return true;
  }
  return false;
}

ViUInt32 ReadBuffer::TakePartial(unsigned char* buf, ViUInt32 count) {
  const size_t n = std::min<size_t>(count, data_.size());
  Consume(buf, n);
  Clear();
  return static_cast<ViUInt32>(n);
}

void ReadBuffer::Clear() {
  data_.clear();
  ends_.clear();
}

}  // namespace visa::detail
