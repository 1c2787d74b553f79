#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/EventLoop.h"

// A real-time message loop without a toolkit, for tesmira-cli and tests on real devices.
// The thread that constructs it is the loop thread: timers and posted functions run there, inside
// PumpMessages or RunUntil. Post and SendSync may be called from any thread.
class PollLoop : public EventLoop {
 public:
  PollLoop();
  ~PollLoop() override;  // SendSync callers still waiting are released without their function run

  uint32_t TickCount() override;
  void BusyWait(uint32_t ms) override;  // sleeps; dispatches nothing
  // Ends a busy wait early once it holds (looked at every 50 ms, from the waiting thread):
  // waiting out seconds for a device that has gone helps no one.
  std::function<bool()> busyWaitAbort;
  void SetTimer(TimerClient* client, int id, uint32_t ms) override;
  void KillTimer(TimerClient* client, int id) override;
  void Post(std::function<void()> fn) override;
  void SendSync(std::function<void()> fn) override;  // on the loop thread: runs fn at once
  // Runs what is due; when nothing was, waits up to 1 ms for something to arrive and runs that,
  // so a wait loop around it neither spins nor stalls. False once Quit was asked.
  bool PumpMessages() override;

  // Dispatches, sleeping between events, until done() holds (checked after each dispatch
  // round) or limitMs passed or Quit was asked. True when done() held.
  bool RunUntil(const std::function<bool()>& done, uint32_t limitMs);
  void Quit();  // any thread
  bool TimerArmed(TimerClient* client, int id) const;
  size_t PostedWaiting() const;  // posted functions not yet run (SendSync calls included)

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    uint32_t period;
    Clock::time_point due;
  };
  struct SyncCall;

  // Runs the posted functions and the timers due now; true when anything ran.
  bool RunDue();
  // Sleeps until something is posted, a timer falls due, Quit is asked, or until.
  void WaitForWork(Clock::time_point until);

  const std::thread::id loop_thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> posted_;
  std::deque<std::shared_ptr<SyncCall>> sync_calls_;
  std::map<std::pair<TimerClient*, int>, Timer> timers_;
  bool quit_ = false;
};
