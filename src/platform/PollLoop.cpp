#include "platform/PollLoop.h"

#include <algorithm>
#include <vector>

// A SendSync call in flight: owned jointly by the waiting thread and the posted wrapper, so
// either may outlive the other (and the loop).
struct PollLoop::SyncCall {
  std::function<void()> fn;
  std::mutex mutex;
  std::condition_variable cv;
  bool finished = false;

  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      finished = true;
    }
    cv.notify_all();
  }
};

PollLoop::PollLoop() : loop_thread_(std::this_thread::get_id()) {}

PollLoop::~PollLoop() {
  std::deque<std::shared_ptr<SyncCall>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.swap(sync_calls_);
    posted_.clear();
  }
  for (auto& call : calls) call->Finish();
}

uint32_t PollLoop::TickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(Clock::now().time_since_epoch()).count());
}

void PollLoop::BusyWait(uint32_t ms) {
  const uint32_t start = TickCount();
  for (;;) {
    const uint32_t passed = TickCount() - start;
    if (passed > ms) return;
    if (busyWaitAbort && busyWaitAbort()) return;
    const uint32_t left = ms + 1 - passed;
    std::this_thread::sleep_for(
        std::chrono::milliseconds(busyWaitAbort ? std::min(left, 50u) : left));
  }
}

void PollLoop::SetTimer(TimerClient* client, int id, uint32_t ms) {
  const uint32_t period = std::max<uint32_t>(ms, 1);
  std::lock_guard<std::mutex> lock(mutex_);
  timers_[{client, id}] = Timer{period, Clock::now() + std::chrono::milliseconds(period)};
}

void PollLoop::KillTimer(TimerClient* client, int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_.erase({client, id});
}

bool PollLoop::TimerArmed(TimerClient* client, int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timers_.count({client, id}) != 0;
}

size_t PollLoop::PostedWaiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return posted_.size();
}

void PollLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  wake_.notify_all();
}

void PollLoop::SendSync(std::function<void()> fn) {
  if (std::this_thread::get_id() == loop_thread_) {
    fn();  // waiting for ourselves would never end
    return;
  }
  auto call = std::make_shared<SyncCall>();
  call->fn = std::move(fn);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sync_calls_.push_back(call);
    posted_.push_back([this, call] {
      call->fn();
      {
        std::lock_guard<std::mutex> inner(mutex_);
        sync_calls_.erase(std::find(sync_calls_.begin(), sync_calls_.end(), call));
      }
      call->Finish();
    });
  }
  wake_.notify_all();
  std::unique_lock<std::mutex> lock(call->mutex);
  call->cv.wait(lock, [&] { return call->finished; });
}

bool PollLoop::RunDue() {
  std::deque<std::function<void()>> posted;
  std::vector<std::pair<Clock::time_point, std::pair<TimerClient*, int>>> due;
  const auto now = Clock::now();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posted.swap(posted_);
    for (const auto& [key, timer] : timers_) {
      if (timer.due <= now) due.push_back({timer.due, key});
    }
  }
  std::sort(due.begin(), due.end());
  bool ran = false;
  for (auto& fn : posted) {
    fn();
    ran = true;
  }
  for (const auto& [when, key] : due) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = timers_.find(key);
      // Killed, or re-armed by an earlier callback of this round: not due any more.
      if (it == timers_.end() || it->second.due > now) continue;
      Timer& t = it->second;
      t.due += std::chrono::milliseconds(t.period);
      // Missed periods are coalesced into one tick, as window timers are.
      if (t.due <= now) t.due = now + std::chrono::milliseconds(t.period);
    }
    key.first->OnTimer(key.second);
    ran = true;
  }
  return ran;
}

void PollLoop::WaitForWork(Clock::time_point until) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (const auto& [key, timer] : timers_) until = std::min(until, timer.due);
  wake_.wait_until(lock, until, [&] { return !posted_.empty() || quit_; });
}

bool PollLoop::PumpMessages() {
  if (!RunDue()) {
    WaitForWork(Clock::now() + std::chrono::milliseconds(1));
    RunDue();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return !quit_;
}

bool PollLoop::RunUntil(const std::function<bool()>& done, uint32_t limitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    RunDue();
    if (done()) return true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (quit_) return false;
    }
    if (Clock::now() >= deadline) return false;
    WaitForWork(deadline);
  }
}

void PollLoop::Quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}
