#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "platform/EventLoop.h"

// The station's message loop in virtual time: deterministic, single-threaded, no sleeping.
// Timers, simulated wire delays and device responses are events on one clock; BusyWait only
// moves the clock, so whatever fell due meanwhile runs afterwards, in time order.
class SimLoop : public EventLoop {
 public:
  explicit SimLoop(uint64_t startMs = 0) : now_(startMs) {}

  uint32_t TickCount() override { return static_cast<uint32_t>(now_); }
  void BusyWait(uint32_t ms) override;
  void SetTimer(TimerClient* client, int id, uint32_t ms) override;
  void KillTimer(TimerClient* client, int id) override;
  void Post(std::function<void()> fn) override { At(now_, std::move(fn)); }
  void SendSync(std::function<void()> fn) override { fn(); }
  // Runs what is due now; when nothing was due, lets 1 ms of virtual time pass (or jumps to the
  // next event if that is sooner), so a wait loop around PumpMessages always makes progress.
  bool PumpMessages() override;

  uint64_t Now() const { return now_; }
  // Lets time pass without a station busy wait (instrument I/O time, driver delays).
  void Advance(uint64_t ms) { now_ += ms; }
  void At(uint64_t timeMs, std::function<void()> fn);
  void After(uint64_t delayMs, std::function<void()> fn) { At(now_ + delayMs, std::move(fn)); }

  // Runs the earliest event, moving the clock to it; false when nothing is scheduled.
  bool RunOne();
  // Runs every event up to now + ms and leaves the clock there.
  void RunFor(uint64_t ms);
  // Runs events until done() holds (checked after each) or the clock passes now + limitMs.
  bool RunUntil(const std::function<bool()>& done, uint64_t limitMs);

  void Quit() { quit_ = true; }
  bool QuitRequested() const { return quit_; }
  bool TimerArmed(TimerClient* client, int id) const { return timers_.count({client, id}) != 0; }
  // When the earliest pending event is due; UINT64_MAX when none is.
  uint64_t NextEventMs() const {
    return events_.empty() ? UINT64_MAX : events_.begin()->first.first;
  }

  // Observers for tracing: a busy wait (its length) and a timer about to be dispatched.
  std::function<void(uint32_t ms)> onBusyWait;
  std::function<void(TimerClient* client, int id)> onTimer;

 private:
  struct Timer {
    uint32_t period;
    uint64_t generation;
  };
  void ScheduleTimer(TimerClient* client, int id, uint64_t due, uint64_t generation);
  void RunDueNow();

  uint64_t now_;
  uint64_t seq_ = 0;
  uint64_t generation_ = 0;
  bool quit_ = false;
  std::map<std::pair<uint64_t, uint64_t>, std::function<void()>> events_;  // (time, seq)
  std::map<std::pair<TimerClient*, int>, Timer> timers_;
};
