// Instrument query round trip over loopback TCP, as tesmira-bench serves the simulated 8960:
// through the 8960 stand-in driver (query, then the error-queue check the driver makes after
// every operation: two round trips), and a bare VISA query for comparison. The served device
// runs on its own thread with a SimLoop that follows the real clock, like tesmira-bench.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "instruments/drivers/InstrumentDrivers.h"
#include "platform/visa/visa.h"
#include "sim/Bench.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim8960.h"

namespace {

class ServedTestSet {
 public:
  ServedTestSet()
      : bench_(1, [this] { return loop_.Now(); }), context_{loop_, bench_, 1, {}, {}, {}, {}} {
    context_.watch = [this](int fd, std::function<void()> fn) { watches_[fd] = std::move(fn); };
    context_.unwatch = [this](int fd) { watches_.erase(fd); };
    server_ =
        std::make_unique<sim::ScpiTcpServer>(context_, std::make_shared<sim::Sim8960>(bench_));
    server_->Listen();
    thread_ = std::thread([this] { Run(); });
  }
  ~ServedTestSet() {
    running_ = false;
    thread_.join();
  }
  std::string Resource() const { return server_->Resource(); }

 private:
  void Run() {
    const auto start = std::chrono::steady_clock::now();
    while (running_) {
      const auto now = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - start)
                                                 .count());
      if (now > loop_.Now()) loop_.RunFor(now - loop_.Now());
      std::vector<pollfd> fds;
      for (const auto& entry : watches_) fds.push_back({entry.first, POLLIN, 0});
      if (poll(fds.data(), fds.size(), 2) <= 0) continue;
      for (const pollfd& p : fds) {
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        auto it = watches_.find(p.fd);
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
  std::unique_ptr<sim::ScpiTcpServer> server_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

void BM_DriverQueryReal(benchmark::State& state) {
  ServedTestSet served;
  auto driver = MakeScpi8960Driver();
  ViSession vi = 0;
  if (driver->Init(served.Resource().c_str(), VI_TRUE, VI_FALSE, &vi) != VI_SUCCESS) {
    state.SkipWithError("cannot open the served 8960");
    return;
  }
  for (auto _ : state) {
    double value = 0;
    if (driver->QueryReal(vi, "CALL:POWer?", &value) != VI_SUCCESS) {
      state.SkipWithError("query failed");
      break;
    }
    benchmark::DoNotOptimize(value);
  }
  driver->Close(vi);
}
BENCHMARK(BM_DriverQueryReal)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true);

void BM_BareVisaQuery(benchmark::State& state) {
  ServedTestSet served;
  ViSession rm = 0, vi = 0;
  viOpenDefaultRM(&rm);
  if (viOpen(rm, served.Resource().c_str(), VI_NO_LOCK, 0, &vi) < VI_SUCCESS) {
    state.SkipWithError("cannot open the served 8960");
    return;
  }
  viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  const char query[] = "CALL:POWer?\n";
  unsigned char reply[256];
  for (auto _ : state) {
    ViUInt32 n = 0;
    viWrite(vi, reinterpret_cast<ViConstBuf>(query), sizeof query - 1, &n);
    if (viRead(vi, reply, sizeof reply, &n) < VI_SUCCESS) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(reply);
  }
  viClose(vi);
  viClose(rm);
}
BENCHMARK(BM_BareVisaQuery)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->DisplayAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
