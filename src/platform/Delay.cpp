#include "platform/Delay.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

namespace {
// Where the driver's waits go: empty means real sleeping.
struct DelayState {
  std::function<void(double seconds)> handler;
};

DelayState& State() {
  static DelayState state;
  return state;
}
}  // namespace

void Delay(double seconds) {
  if (!(seconds > 0.0) || !std::isfinite(seconds)) return;  // negative, NaN, infinite: no wait
  if (State().handler) {
    State().handler(seconds);
    return;
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void SetDelayHandler(std::function<void(double seconds)> handler) {
  State().handler = std::move(handler);
}

int StringLength(std::string_view text) {
  const size_t end = text.find('\0');
  const size_t length = end == std::string_view::npos ? text.size() : end;
  return static_cast<int>(length);
}
