#include "sim/SimLoop.h"

void SimLoop::BusyWait(uint32_t ms) {
  if (onBusyWait) onBusyWait(ms);
  now_ += static_cast<uint64_t>(ms) + 1;  // "more than ms" on a 1 ms tick
}

void SimLoop::At(uint64_t timeMs, std::function<void()> fn) {
  events_.emplace(std::make_pair(timeMs < now_ ? now_ : timeMs, seq_++), std::move(fn));
}

void SimLoop::SetTimer(TimerClient* client, int id, uint32_t ms) {
  if (ms == 0) ms = 1;  // a zero period would re-fire at the same instant for ever
  const uint64_t generation = ++generation_;
  timers_[{client, id}] = Timer{ms, generation};
  ScheduleTimer(client, id, now_ + ms, generation);
}

void SimLoop::KillTimer(TimerClient* client, int id) {
  timers_.erase({client, id});
}

void SimLoop::ScheduleTimer(TimerClient* client, int id, uint64_t due, uint64_t generation) {
  At(due, [this, client, id, generation, due] {
    auto it = timers_.find({client, id});
    if (it == timers_.end() || it->second.generation != generation) return;  // killed or re-armed
    // Like a window timer: one pending tick at most, so a late loop does not fire in bursts.
    uint64_t next = due + it->second.period;
    if (next <= now_) next = now_ + it->second.period;
    ScheduleTimer(client, id, next, generation);
    if (onTimer) onTimer(client, id);
    client->OnTimer(id);
  });
}

bool SimLoop::RunOne() {
  if (events_.empty()) return false;
  auto node = events_.extract(events_.begin());
  if (node.key().first > now_) now_ = node.key().first;
  node.mapped()();
  return true;
}

void SimLoop::RunDueNow() {
  while (!events_.empty() && events_.begin()->first.first <= now_) RunOne();
}

bool SimLoop::PumpMessages() {
  if (!events_.empty() && events_.begin()->first.first <= now_) {
    RunDueNow();
  } else {
    uint64_t next = now_ + 1;
    if (!events_.empty() && events_.begin()->first.first < next)
      next = events_.begin()->first.first;
    now_ = next;
    RunDueNow();
  }
  return !quit_;
}

void SimLoop::RunFor(uint64_t ms) {
  const uint64_t end = now_ + ms;
  while (!events_.empty() && events_.begin()->first.first <= end) RunOne();
  if (now_ < end) now_ = end;
}

bool SimLoop::RunUntil(const std::function<bool()>& done, uint64_t limitMs) {
  const uint64_t end = now_ + limitMs;
  if (done()) return true;
  while (!events_.empty() && events_.begin()->first.first <= end) {
    RunOne();
    if (done()) return true;
  }
  if (now_ < end) now_ = end;
  return done();
}
