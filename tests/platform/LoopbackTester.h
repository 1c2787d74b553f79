#pragma once

#include <memory>
#include <thread>

#include "sim/Bench.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim4400.h"

// The simulated 4400 served on a loopback TCP port by the bench loop on its own thread, as
// tesmira-bench serves it. Faults are set before Start: afterwards only the bench thread
// touches the bench.
class LoopbackTester {
 public:
  LoopbackTester()
      : driver_(loop_), bench_(1, [this] { return loop_.Now(); }), context_{loop_,   bench_,  1,
                                                                            nullptr, nullptr, {},
                                                                            {}} {
    context_.watch = [this](int fd, std::function<void()> onReadable) {
      driver_.Watch(fd, std::move(onReadable));
    };
    context_.unwatch = [this](int fd) { driver_.Unwatch(fd); };
    tester_ = std::make_shared<sim::Sim4400>(bench_);
    server_ = std::make_unique<sim::ScpiTcpServer>(context_, tester_);
  }
  ~LoopbackTester() {
    if (thread_.joinable()) {
      driver_.Stop();
      thread_.join();
    }
    server_.reset();
  }

  sim::Bench& bench() { return bench_; }
  bool Start() {
    if (!server_->Listen(0)) return false;
    thread_ = std::thread([this] { driver_.Run(); });
    return true;
  }
  std::string Resource() const { return server_->Resource(); }
  uint16_t Port() const { return server_->Port(); }

 private:
  SimLoop loop_;
  RealTimeDriver driver_;
  sim::Bench bench_;
  BenchContext context_;
  std::shared_ptr<sim::Sim4400> tester_;
  std::unique_ptr<sim::ScpiTcpServer> server_;
  std::thread thread_;
};
