#include "sim/bench/servers/BusInstrument.h"

#include <algorithm>

namespace sim {

BusInstrument::BusInstrument(SimLoop& loop, std::shared_ptr<visa::SimDevice> device)
    : loop_(loop), device_(std::move(device)) {}

void BusInstrument::Deliver(const std::string& message) {
  // A reply that was never read goes: the controller has moved on.
  Pull();
  output_.clear();
  while (device_->Read()) {
  }
  uint64_t busy = 0;
  size_t start = 0;
  while (start <= message.size()) {
    size_t end = message.find('\n', start);
    if (end == std::string::npos) end = message.size();
    std::string unit = message.substr(start, end - start);
    if (!unit.empty() && unit.back() == '\r') unit.pop_back();
    if (!unit.empty()) busy += device_->Write(unit);
    start = end + 1;
  }
  busyUntil_ = std::max(busyUntil_, loop_.Now()) + busy;
}

void BusInstrument::Pull() {
  if (Busy()) return;
  while (auto reply = device_->Read()) {
    output_ += *reply;
    output_ += '\n';
  }
}

bool BusInstrument::HasOutput() {
  Pull();
  return !output_.empty();
}

std::string BusInstrument::TakeOutput(size_t max, bool* end, int stopChar) {
  Pull();
  size_t n = std::min(max, output_.size());
  // Each reply ends with its line feed, sent with END: a read ends there.
  const size_t eol = output_.find('\n');
  if (eol != std::string::npos) n = std::min(n, eol + 1);
  if (stopChar >= 0) {
    const size_t stop = output_.find(static_cast<char>(stopChar));
    if (stop != std::string::npos) n = std::min(n, stop + 1);
  }
  std::string out = output_.substr(0, n);
  output_.erase(0, n);
  *end = n > 0 && out.back() == '\n';
  return out;
}

void BusInstrument::Clear() {
  output_.clear();
  while (device_->Read()) {
  }
}

}  // namespace sim
