#include "production/PumpWait.h"

#include <chrono>
#include <thread>

namespace {
// Pumps in a row that found the tick counter where it was: the loop returns at once when no
// message waits (the desktop's does), so the wait rests a little instead of spinning a core.
// A loop in virtual time moves its clock on every idle pump and never rests here.
constexpr int IDLE_PUMPS_BEFORE_REST = 4;
constexpr auto REST = std::chrono::microseconds(200);
}  // namespace

WaitEnd PumpWait(EventLoop& loop, uint32_t ms, const std::function<bool()>& flag) {
  const uint32_t start = loop.TickCount();
  uint32_t last = start;
  int idle = 0;
  for (;;) {
    if (flag && flag()) return WaitEnd::FLAG;
    const uint32_t now = loop.TickCount();
    if (now - start >= ms) return WaitEnd::ELAPSED;
    idle = now == last ? idle + 1 : 0;
    last = now;
    if (idle >= IDLE_PUMPS_BEFORE_REST) std::this_thread::sleep_for(REST);
    if (!loop.PumpMessages()) return WaitEnd::QUIT;
  }
}
