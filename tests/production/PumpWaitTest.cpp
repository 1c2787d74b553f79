#include "production/PumpWait.h"

#include <gtest/gtest.h>

#include <chrono>

#include "sim/SimLoop.h"

namespace {

// A loop in real time whose pump returns at once when nothing waits, as the desktop's does.
class ImmediateLoop : public EventLoop {
 public:
  uint32_t TickCount() override {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  void BusyWait(uint32_t) override {}
  void SetTimer(TimerClient*, int, uint32_t) override {}
  void KillTimer(TimerClient*, int) override {}
  void Post(std::function<void()>) override {}
  void SendSync(std::function<void()> fn) override { fn(); }
  bool PumpMessages() override {
    ++pumps;
    return !quit;
  }
  long pumps = 0;
  bool quit = false;
};

TEST(PumpWaitTest, EndsByTimeFlagOrQuit) {
  SimLoop loop;
  EXPECT_EQ(PumpWait(loop, 1000), WaitEnd::ELAPSED);
  EXPECT_EQ(loop.Now(), 1000u);
  bool flag = false;
  loop.After(300, [&] { flag = true; });
  EXPECT_EQ(PumpWait(loop, 1000, [&] { return flag; }), WaitEnd::FLAG);
  EXPECT_EQ(loop.Now(), 1300u);
  EXPECT_EQ(PumpWait(loop, 0), WaitEnd::ELAPSED);  // no pumping at all
  EXPECT_EQ(loop.Now(), 1300u);
  loop.After(100, [&] { loop.Quit(); });
  EXPECT_EQ(PumpWait(loop, 1000), WaitEnd::QUIT);
}

TEST(PumpWaitTest, RestsInsteadOfSpinningWhenThePumpReturnsAtOnce) {
  ImmediateLoop loop;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(PumpWait(loop, 100), WaitEnd::ELAPSED);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(99));
  // Spinning would pump millions of times; resting 200 us after four idle pumps, a few thousand.
  EXPECT_LT(loop.pumps, 5000);
  EXPECT_GT(loop.pumps, 100);  // still dispatching all along
}

}  // namespace
