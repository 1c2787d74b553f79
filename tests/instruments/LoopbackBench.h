#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/Bench.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "support/Deadline.h"

// tesmira-bench in miniature for tests over real sockets: its own thread runs a SimLoop that
// follows the real clock and serves the watched descriptors with poll(). Everything on the
// bench (devices, servers) is built before Start and touched only by that thread afterwards.
namespace testing_instruments {

class LoopbackBench {
 public:
  LoopbackBench()
      : bench_(3, [this] { return loop_.Now(); }), context_{loop_, bench_, 3, {}, {}, {}, {}} {
    context_.watch = [this](int fd, std::function<void()> onReadable) {
      watches_[fd] = std::move(onReadable);
    };
    context_.unwatch = [this](int fd) { watches_.erase(fd); };
  }
  ~LoopbackBench() { Stop(); }

  BenchContext& context() { return context_; }
  sim::Bench& bench() { return bench_; }

  void Start() {
    running_ = true;
    thread_ = std::thread([this] { Run(); });
  }
  void Stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run() {
    const auto start = std::chrono::steady_clock::now();
    while (running_) {
      const uint64_t now =
          static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
      if (now > loop_.Now()) loop_.RunFor(now - loop_.Now());
      std::vector<pollfd> fds;
      for (const auto& [fd, fn] : watches_) fds.push_back({fd, POLLIN, 0});
      if (poll(fds.data(), fds.size(), 2) <= 0) continue;
      for (const pollfd& p : fds) {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        auto it = watches_.find(p.fd);  // an earlier callback may have dropped it
        if (it != watches_.end()) {
          auto fn = it->second;
          fn();
        }
      }
    }
  }

  SimLoop loop_;
  sim::Bench bench_;
  BenchContext context_;
  std::map<int, std::function<void()>> watches_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

using testsupport::Deadline;

}  // namespace testing_instruments
