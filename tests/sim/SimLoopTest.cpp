#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/SimLoop.h"

namespace {

using Events = std::vector<std::string>;

// Writes down "time:id" for every tick; an optional action runs inside OnTimer.
class Ticker : public TimerClient {
 public:
  Ticker(SimLoop& loop, Events& log, std::string name) : loop_(loop), log_(log), name_(name) {}
  void OnTimer(int id) override {
    log_.push_back(std::to_string(loop_.Now()) + ":" + name_ + std::to_string(id));
    if (onTick) onTick(id);
  }
  std::function<void(int)> onTick;

 private:
  SimLoop& loop_;
  Events& log_;
  std::string name_;
};

TEST(SimLoop, TimersFireInTimeOrderAndReArm) {
  SimLoop loop;
  Events log;
  Ticker a(loop, log, "a"), b(loop, log, "b");
  loop.SetTimer(&a, 1, 50);
  loop.SetTimer(&b, 2, 30);
  loop.SetTimer(&a, 3, 100);
  loop.RunFor(150);
  // Due at the same time: the one scheduled first runs first.
  EXPECT_EQ(log, (Events{"30:b2", "50:a1", "60:b2", "90:b2", "100:a3", "100:a1", "120:b2", "150:a1",
                         "150:b2"}));
  EXPECT_EQ(loop.Now(), 150u);

  // Setting an armed timer again replaces it: new period, counted from now.
  log.clear();
  loop.SetTimer(&a, 1, 20);
  loop.KillTimer(&a, 3);
  loop.KillTimer(&b, 2);
  loop.RunFor(45);
  EXPECT_EQ(log, (Events{"170:a1", "190:a1"}));
}

TEST(SimLoop, KillAndReArmInsideOnTimer) {
  SimLoop loop;
  Events log;
  Ticker a(loop, log, "a");
  int ticks = 0;
  a.onTick = [&](int id) {
    if (id == 1 && ++ticks == 2) loop.KillTimer(&a, 1);
    if (id == 2) loop.SetTimer(&a, 2, 70);  // re-armed from its own tick
  };
  loop.SetTimer(&a, 1, 10);
  loop.SetTimer(&a, 2, 25);
  loop.RunFor(200);
  EXPECT_EQ(log, (Events{"10:a1", "20:a1", "25:a2", "95:a2", "165:a2"}));
  EXPECT_FALSE(loop.TimerArmed(&a, 1));
  EXPECT_TRUE(loop.TimerArmed(&a, 2));
}

TEST(SimLoop, ZeroPeriodTimerStillLetsTimeMove) {
  SimLoop loop;
  Events log;
  Ticker a(loop, log, "a");
  loop.SetTimer(&a, 1, 0);
  loop.RunFor(3);
  EXPECT_EQ(log, (Events{"1:a1", "2:a1", "3:a1"}));
}

TEST(SimLoop, BusyWaitOnlyMovesTheClock) {
  SimLoop loop;
  Events log;
  Ticker a(loop, log, "a");
  int posted = 0;
  std::vector<uint32_t> waits;
  loop.onBusyWait = [&](uint32_t ms) { waits.push_back(ms); };
  loop.SetTimer(&a, 1, 10);
  loop.Post([&] { ++posted; });
  loop.BusyWait(100);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(posted, 0);
  EXPECT_EQ(loop.Now(), 101u);  // more than the 100 ms asked
  EXPECT_EQ(waits, std::vector<uint32_t>{100});
  // Afterwards what fell due runs once, in order; the timer does not burst.
  loop.RunFor(0);
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(log, Events{"101:a1"});
  loop.RunFor(10);
  EXPECT_EQ(log, (Events{"101:a1", "111:a1"}));
}

TEST(SimLoop, PumpMessagesMakesProgressAndReportsQuit) {
  SimLoop loop;
  bool flag = false;
  loop.After(30, [&] { flag = true; });
  int pumps = 0;
  while (!flag && loop.PumpMessages()) ++pumps;
  EXPECT_TRUE(flag);
  EXPECT_EQ(loop.Now(), 30u);
  EXPECT_EQ(pumps, 30);  // one millisecond per empty pump

  // Something due now is run without moving the clock.
  int ran = 0;
  loop.Post([&] { ++ran; });
  EXPECT_TRUE(loop.PumpMessages());
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(loop.Now(), 30u);

  loop.Quit();
  EXPECT_FALSE(loop.PumpMessages());
}

TEST(SimLoop, RunUntilStopsAtTheConditionOrTheLimit) {
  SimLoop loop;
  int count = 0;
  for (int t = 10; t <= 100; t += 10) loop.At(t, [&] { ++count; });
  EXPECT_TRUE(loop.RunUntil([&] { return count == 3; }, 1000));
  EXPECT_EQ(loop.Now(), 30u);
  EXPECT_FALSE(loop.RunUntil([&] { return count == 100; }, 50));
  EXPECT_EQ(loop.Now(), 80u);
  EXPECT_EQ(count, 8);
}

}  // namespace
