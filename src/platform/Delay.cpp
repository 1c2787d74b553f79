#include "platform/Delay.h"

#include "platform/BlockingWait.h"

#include <algorithm>
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
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  if (!BlockingWaitHooked()) {
    std::this_thread::sleep_until(end);
    return;
  }
  // Sliced, so that the user-interface thread's windows keep painting through the delay.
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    const Clock::time_point slice = now + std::chrono::milliseconds(BLOCKING_WAIT_SLICE_MS);
    std::this_thread::sleep_until(std::min(end, slice));
    BlockingWaitTick();
  }
}

void SetDelayHandler(std::function<void(double seconds)> handler) {
  State().handler = std::move(handler);
}

int StringLength(std::string_view text) {
  const size_t end = text.find('\0');
  const size_t length = end == std::string_view::npos ? text.size() : end;
  return static_cast<int>(length);
}
