#include "platform/QtEventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

class QtEventLoopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_platform_qt";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc, argv);
  }
  // Dispatches until done() or the deadline; a fault fails instead of hanging.
  static bool PumpUntil(QtEventLoop& loop, const std::function<bool()>& done,
                        int deadlineMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > deadlineMs) return false;
      loop.PumpMessages();
      QThread::msleep(1);
    }
    return true;
  }
  static QCoreApplication* app_;
};
QCoreApplication* QtEventLoopTest::app_ = nullptr;

struct Recorder : TimerClient {
  std::vector<int> fired;
  std::function<void(int)> also;
  void OnTimer(int id) override {
    fired.push_back(id);
    if (also) also(id);
  }
};

TEST_F(QtEventLoopTest, TimersFireInTimeOrderAndReArm) {
  QtEventLoop loop;
  Recorder r;
  loop.SetTimer(&r, 2, 60);
  loop.SetTimer(&r, 1, 20);
  ASSERT_TRUE(PumpUntil(loop, [&] { return r.fired.size() >= 4; }));
  EXPECT_EQ(r.fired.front(), 1);
  // The 20 ms timer re-armed: it fired again before the 60 ms one came round twice.
  EXPECT_GE(std::count(r.fired.begin(), r.fired.end(), 1), 2);
  loop.KillTimer(&r, 1);
  loop.KillTimer(&r, 2);
}

TEST_F(QtEventLoopTest, KillTimerInsideOnTimerStopsIt) {
  QtEventLoop loop;
  Recorder r;
  r.also = [&](int id) { loop.KillTimer(&r, id); };
  loop.SetTimer(&r, 1, 5);
  ASSERT_TRUE(PumpUntil(loop, [&] { return !r.fired.empty(); }));
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 50) loop.PumpMessages();
  EXPECT_EQ(r.fired.size(), 1u);
}

TEST_F(QtEventLoopTest, BusyWaitDispatchesNothing) {
  QtEventLoop loop;
  Recorder r;
  bool posted = false;
  loop.SetTimer(&r, 1, 5);
  loop.Post([&] { posted = true; });
  const uint32_t start = loop.TickCount();
  loop.BusyWait(40);
  EXPECT_GT(loop.TickCount() - start, 40u);
  EXPECT_TRUE(r.fired.empty());
  EXPECT_FALSE(posted);
  ASSERT_TRUE(PumpUntil(loop, [&] { return posted && !r.fired.empty(); }));
  loop.KillTimer(&r, 1);
}

TEST_F(QtEventLoopTest, BusyWaitEndsEarlyWhenAskedToAndStillHoldsWhatArrived) {
  QtEventLoop loop;
  bool posted = false;
  loop.Post([&] { posted = true; });
  const uint32_t start = loop.TickCount();
  loop.busyWaitAbort = [&] { return loop.TickCount() - start >= 30; };
  loop.BusyWait(5000);
  const uint32_t took = loop.TickCount() - start;
  EXPECT_GE(took, 30u);
  EXPECT_LT(took, 1000u);
  EXPECT_FALSE(posted);  // the wait ended early, but it still dispatched nothing
  loop.busyWaitAbort = nullptr;
  ASSERT_TRUE(PumpUntil(loop, [&] { return posted; }));
}

TEST_F(QtEventLoopTest, SendSyncRunsOnLoopThreadAndBlocksCaller) {
  QtEventLoop loop;
  const auto loopThread = std::this_thread::get_id();
  std::atomic<bool> ran{false}, returned{false}, ranOnLoop{false};
  std::thread worker([&] {
    loop.SendSync([&] {
      ranOnLoop = std::this_thread::get_id() == loopThread;
      QThread::msleep(20);  // the caller must still be blocked when this ends
      ran = true;
    });
    returned = ran.load();
  });
  ASSERT_TRUE(PumpUntil(loop, [&] { return ran.load(); }));
  worker.join();
  EXPECT_TRUE(ranOnLoop);
  EXPECT_TRUE(returned);  // SendSync returned only after the function had finished
}

TEST_F(QtEventLoopTest, SendSyncOnLoopThreadRunsAtOnce) {
  QtEventLoop loop;
  bool ran = false;
  loop.SendSync([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST_F(QtEventLoopTest, WaitLoopLearnsOfAQuitAskedWhileItPumps) {
  QtEventLoop loop;
  bool sawQuit = false;
  bool gaveUp = false;
  // A handler's wait loop runs inside exec(); the program is asked to end meanwhile.
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(20, [] { QCoreApplication::quit(); });
    QElapsedTimer t;
    t.start();
    while (loop.PumpMessages()) {
      if (t.elapsed() > 3000) {
        gaveUp = true;
        return;
      }
      QThread::msleep(1);
    }
    sawQuit = true;
    EXPECT_FALSE(loop.PumpMessages());  // and stays so
  });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });  // never hang the test
  QCoreApplication::exec();
  EXPECT_TRUE(sawQuit);
  EXPECT_FALSE(gaveUp);
}

TEST_F(QtEventLoopTest, HeldTimerCountsOnceAndAKilledOneNotAtAll) {
  QtEventLoop loop;
  Recorder keep, killed;
  std::vector<int> order;
  keep.also = [&](int id) { order.push_back(id); };
  killed.also = [&](int id) { order.push_back(id); };
  loop.SetTimer(&keep, 1, 5);
  loop.SetTimer(&killed, 2, 5);
  // The first thing to run after the wait kills the other timer before its turn comes.
  loop.Post([&] { loop.KillTimer(&killed, 2); });
  QThread::msleep(1);
  loop.BusyWait(60);
  ASSERT_TRUE(PumpUntil(loop, [&] { return !order.empty(); }));
  loop.KillTimer(&keep, 1);
  loop.PumpMessages();
  EXPECT_EQ(std::count(order.begin(), order.end(), 2), 0);
  EXPECT_GE(std::count(order.begin(), order.end(), 1), 1);
}

// A posted call that runs a loop of its own (a message box) does not hold back the calls
// posted after it: they run inside that loop, in order.
TEST_F(QtEventLoopTest, CallsPostedBehindANestedLoopRunInsideIt) {
  QtEventLoop loop;
  std::vector<int> order;
  bool nestedDone = false;
  loop.Post([&] {
    order.push_back(1);
    QEventLoop nested;
    QTimer::singleShot(2000, &nested, &QEventLoop::quit);  // the deadline
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (order.size() >= 3) nested.quit();
    });
    poll.start(1);
    nested.exec();
    order.push_back(4);
    nestedDone = true;
  });
  loop.Post([&] { order.push_back(2); });
  loop.Post([&] { order.push_back(3); });
  ASSERT_TRUE(PumpUntil(loop, [&] { return nestedDone; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

}  // namespace
