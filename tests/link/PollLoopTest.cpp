#include "platform/PollLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "link/PtyHelpers.h"

using namespace testing_serial;

namespace {

class Ticks : public TimerClient {
 public:
  explicit Ticks(PollLoop& loop) : loop_(loop) {}
  void OnTimer(int id) override {
    fired.push_back(id);
    if (id == killOnFirst) loop_.KillTimer(this, id);
  }
  std::vector<int> fired;
  int killOnFirst = -1;

 private:
  PollLoop& loop_;
};

size_t CountOf(const std::vector<int>& v, int id) {
  return std::count(v.begin(), v.end(), id);
}

TEST(PollLoopTest, TimersRepeatInDueOrderAndKillInsideTheCallbackStopsThem) {
  Deadline deadline(5s);
  PollLoop loop;
  Ticks t(loop);
  t.killOnFirst = 3;
  loop.SetTimer(&t, 1, 5);
  loop.SetTimer(&t, 2, 40);
  loop.SetTimer(&t, 3, 2);
  EXPECT_TRUE(loop.RunUntil([&] { return CountOf(t.fired, 2) == 1; }, 2000));
  EXPECT_EQ(t.fired.front(), 3);  // the shortest period comes first
  EXPECT_EQ(CountOf(t.fired, 3), 1u);
  EXPECT_FALSE(loop.TimerArmed(&t, 3));
  EXPECT_GE(CountOf(t.fired, 1), 3u);  // periodic
  EXPECT_TRUE(loop.TimerArmed(&t, 1));
}

TEST(PollLoopTest, SettingAnArmedTimerAgainReplacesItsPeriod) {
  Deadline deadline(5s);
  PollLoop loop;
  Ticks t(loop);
  loop.SetTimer(&t, 1, 60000);
  loop.SetTimer(&t, 1, 5);
  const uint32_t start = loop.TickCount();
  EXPECT_TRUE(loop.RunUntil([&] { return !t.fired.empty(); }, 2000));
  EXPECT_LT(loop.TickCount() - start, 2000u);
  loop.KillTimer(&t, 1);
  EXPECT_FALSE(loop.TimerArmed(&t, 1));
}

TEST(PollLoopTest, BusyWaitLetsTimeGoByButDispatchesNothing) {
  Deadline deadline(5s);
  PollLoop loop;
  Ticks t(loop);
  bool posted = false;
  loop.Post([&] { posted = true; });
  loop.SetTimer(&t, 1, 1);
  const uint32_t start = loop.TickCount();
  loop.BusyWait(20);
  EXPECT_GT(loop.TickCount() - start, 20u);
  EXPECT_FALSE(posted);
  EXPECT_TRUE(t.fired.empty());
  EXPECT_TRUE(loop.PumpMessages());
  EXPECT_TRUE(posted);
  EXPECT_EQ(t.fired, std::vector<int>{1});  // missed periods come as one tick
}

// A busy wait ends soon after its abort condition holds (another thread raises it), and runs
// its full length while the condition stays false.
TEST(PollLoopTest, BusyWaitEndsEarlyOnceItsAbortConditionHolds) {
  Deadline deadline(10s);
  PollLoop loop;
  std::atomic<bool> gone{false};
  loop.busyWaitAbort = [&gone] { return gone.load(); };
  uint32_t start = loop.TickCount();
  loop.BusyWait(120);
  EXPECT_GT(loop.TickCount() - start, 120u);

  std::thread device([&gone] {
    std::this_thread::sleep_for(100ms);
    gone = true;
  });
  start = loop.TickCount();
  loop.BusyWait(3000);
  const uint32_t waited = loop.TickCount() - start;
  device.join();
  EXPECT_GE(waited, 100u);
  EXPECT_LT(waited, 1000u);
}

TEST(PollLoopTest, PostFromAnotherThreadWakesTheLoop) {
  Deadline deadline(5s);
  PollLoop loop;
  const auto loopThread = std::this_thread::get_id();
  std::atomic<bool> ranOnLoop{false};
  std::thread other(
      [&] { loop.Post([&] { ranOnLoop = std::this_thread::get_id() == loopThread; }); });
  EXPECT_TRUE(loop.RunUntil([&] { return ranOnLoop.load(); }, 2000));
  other.join();
}

TEST(PollLoopTest, SendSyncRunsOnTheLoopThreadAndBlocksTheCallerUntilDone) {
  Deadline deadline(5s);
  PollLoop loop;
  const auto loopThread = std::this_thread::get_id();
  int value = 0;
  bool onLoop = false;
  std::atomic<bool> returned{false};
  std::atomic<int> seenAfterReturn{-1};
  std::thread other([&] {
    loop.SendSync([&] {
      onLoop = std::this_thread::get_id() == loopThread;
      value = 42;
    });
    seenAfterReturn = value;
    returned = true;
    loop.Post([] {});  // RunUntil looks at its condition after each dispatch
  });
  ASSERT_TRUE(WaitFor([&] { return loop.PostedWaiting() == 1; }, 2s));
  EXPECT_FALSE(returned.load());  // the caller waits while the loop has not run it
  EXPECT_TRUE(loop.RunUntil([&] { return returned.load(); }, 2000));
  other.join();
  EXPECT_TRUE(onLoop);
  EXPECT_EQ(seenAfterReturn.load(), 42);

  bool inline_ran = false;
  loop.SendSync([&] { inline_ran = true; });  // on the loop thread itself: at once
  EXPECT_TRUE(inline_ran);
}

TEST(PollLoopTest, DestroyingTheLoopReleasesAWaitingSendSyncCaller) {
  Deadline deadline(5s);
  auto loop = std::make_unique<PollLoop>();
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  std::thread other([&] {
    loop->SendSync([&] { ran = true; });
    returned = true;
  });
  ASSERT_TRUE(WaitFor([&] { return loop->PostedWaiting() == 1; }, 2s));
  loop.reset();
  other.join();
  EXPECT_TRUE(returned.load());
  EXPECT_FALSE(ran.load());
}

TEST(PollLoopTest, QuitEndsPumpingAndRunning) {
  Deadline deadline(5s);
  PollLoop loop;
  EXPECT_TRUE(loop.PumpMessages());
  std::thread other([&] { loop.Quit(); });
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 3000));
  other.join();
  EXPECT_FALSE(loop.PumpMessages());
}

}  // namespace
