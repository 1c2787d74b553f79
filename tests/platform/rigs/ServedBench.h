#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "sim/Bench.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"

// A bench loop on its own thread in real time, as tesmira-bench runs it, for servers under
// test. Servers are built before Start (or through OnBench afterwards); OnBench runs a function
// on the bench thread and waits for it, so a test can look at a device without a race.
class ServedBench {
 public:
  ServedBench()
      : driver_(loop_), bench_(1, [this] { return loop_.Now(); }), context_{loop_,   bench_,  1,
                                                                            nullptr, nullptr, {},
                                                                            {}} {
    context_.watch = [this](int fd, std::function<void()> fn) { driver_.Watch(fd, std::move(fn)); };
    context_.unwatch = [this](int fd) { driver_.Unwatch(fd); };
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) == 0) {
      driver_.Watch(wake_[0], [this] { RunPosted(); });
    }
  }
  ~ServedBench() { Stop(); }

  BenchContext& context() { return context_; }
  sim::Bench& bench() { return bench_; }

  void Start() {
    thread_ = std::thread([this] { driver_.Run(); });
  }
  // Stops the thread; then everything may be touched from the test again. Servers the test
  // owns must go after Stop and before this object.
  void Stop() {
    if (thread_.joinable()) {
      driver_.Stop();
      thread_.join();
    }
    if (wake_[0] >= 0) {
      driver_.Unwatch(wake_[0]);
      close(wake_[0]);
      close(wake_[1]);
      wake_[0] = wake_[1] = -1;
    }
  }

  // Runs fn on the bench thread (at once when it is not running) and returns its result.
  template <typename Fn>
  auto OnBench(Fn fn) -> decltype(fn()) {
    if (!thread_.joinable()) return fn();
    std::packaged_task<decltype(fn())()> task(std::move(fn));
    auto result = task.get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posted_.emplace_back([&task] { task(); });
    }
    const char byte = 1;
    (void)!write(wake_[1], &byte, 1);
    return result.get();
  }

 private:
  void RunPosted() {
    char drain[64];
    while (read(wake_[0], drain, sizeof drain) > 0) {
    }
    std::deque<std::function<void()>> now;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      now.swap(posted_);
    }
    for (auto& fn : now) fn();
  }

  SimLoop loop_;
  RealTimeDriver driver_;
  sim::Bench bench_;
  BenchContext context_;
  std::thread thread_;
  int wake_[2] = {-1, -1};
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
};
