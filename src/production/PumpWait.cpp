#include "production/PumpWait.h"

WaitEnd PumpWait(EventLoop& loop, uint32_t ms, const std::function<bool()>& flag) {
  const uint32_t start = loop.TickCount();
  for (;;) {
    if (flag && flag()) return WaitEnd::FLAG;
    if (loop.TickCount() - start >= ms) return WaitEnd::ELAPSED;
    if (!loop.PumpMessages()) return WaitEnd::QUIT;
  }
}
