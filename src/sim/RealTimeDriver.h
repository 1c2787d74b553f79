#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

#include "sim/SimLoop.h"

// Runs a SimLoop in real time for tesmira-bench: its clock follows the steady clock, and
// between events the thread sleeps in poll() on the watched descriptors (pty master, sockets).
// One thread owns the loop and the devices on it; Stop may come from any thread or a signal
// handler.
class RealTimeDriver {
 public:
  explicit RealTimeDriver(SimLoop& loop);
  ~RealTimeDriver();
  RealTimeDriver(const RealTimeDriver&) = delete;
  RealTimeDriver& operator=(const RealTimeDriver&) = delete;

  // onReadable runs on the loop thread when fd is readable or hung up (until Unwatch).
  void Watch(int fd, std::function<void()> onReadable);
  void Unwatch(int fd);

  // Brings the loop's clock to real time and runs what fell due; then waits up to maxWaitMs for
  // a descriptor (less while events are pending) and handles it.
  void RunOnce(int maxWaitMs);
  // Serves until Stop.
  void Run();
  void Stop();  // async-signal-safe
  bool Stopped() const { return stop_.load(); }

 private:
  void CatchUp();

  SimLoop& loop_;
  std::chrono::steady_clock::time_point start_;
  uint64_t start_ms_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::map<int, std::function<void()>> watches_;
};
