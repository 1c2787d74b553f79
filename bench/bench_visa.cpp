// Round trip of one SCPI query through the VISA facade: over the raw-socket backend to the
// simulated 4400 served on a loopback port (the bench loop on its own thread, as tesmira-bench
// runs it), and through the in-process simulated backend. Also the driver's checked query
// (query, then the error-queue read: two round trips) over the socket.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <thread>

#include "platform/visa/SimDevice.h"
#include "platform/visa/visa.h"
#include "sim/Bench.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim4400.h"
#include "tester4400/wt4400.h"

namespace {

class ServedTester {
 public:
  ServedTester()
      : driver_(loop_), bench_(1, [this] { return loop_.Now(); }), context_{loop_,   bench_,  1,
                                                                            nullptr, nullptr, {},
                                                                            {}} {
    context_.watch = [this](int fd, std::function<void()> fn) { driver_.Watch(fd, std::move(fn)); };
    context_.unwatch = [this](int fd) { driver_.Unwatch(fd); };
    server_ =
        std::make_unique<sim::ScpiTcpServer>(context_, std::make_shared<sim::Sim4400>(bench_));
    ok_ = server_->Listen();
    if (ok_) thread_ = std::thread([this] { driver_.Run(); });
  }
  ~ServedTester() {
    if (thread_.joinable()) {
      driver_.Stop();
      thread_.join();
    }
    server_.reset();
  }
  bool ok() const { return ok_; }
  std::string Resource() const { return server_->Resource(); }

 private:
  SimLoop loop_;
  RealTimeDriver driver_;
  sim::Bench bench_;
  BenchContext context_;
  std::unique_ptr<sim::ScpiTcpServer> server_;
  std::thread thread_;
  bool ok_ = false;
};

bool Query(ViSession vi) {
  static const char command[] = "*OPC?\n";
  ViUInt32 n = 0;
  if (viWrite(vi, reinterpret_cast<ViConstBuf>(command), sizeof command - 1, &n) < VI_SUCCESS) {
    return false;
  }
  unsigned char reply[64];
  return viRead(vi, reply, sizeof reply, &n) == VI_SUCCESS_TERM_CHAR && n == 2;
}

void BM_SocketQuery(benchmark::State& state) {
  ServedTester tester;
  ViSession rm = 0;
  ViSession vi = 0;
  viOpenDefaultRM(&rm);
  if (!tester.ok() || viOpen(rm, tester.Resource().c_str(), VI_NULL, VI_NULL, &vi) < VI_SUCCESS) {
    state.SkipWithError("no loopback tester");
    return;
  }
  for (auto _ : state) {
    if (!Query(vi)) {
      state.SkipWithError("query failed");
      break;
    }
  }
  viClose(rm);
}

void BM_SimBackendQuery(benchmark::State& state) {
  SimLoop loop;
  sim::Bench bench(1, [&loop] { return loop.Now(); });
  visa::SetSimTimeSink([&loop](uint32_t ms) { loop.Advance(ms); });
  visa::RegisterSimDevice("GPIB0::4", std::make_shared<sim::Sim4400>(bench));
  ViSession rm = 0;
  ViSession vi = 0;
  viOpenDefaultRM(&rm);
  if (viOpen(rm, "GPIB0::4", VI_NULL, VI_NULL, &vi) < VI_SUCCESS) {
    state.SkipWithError("no simulated tester");
    return;
  }
  for (auto _ : state) {
    if (!Query(vi)) {
      state.SkipWithError("query failed");
      break;
    }
  }
  viClose(rm);
  visa::ClearSimDevices();
  visa::SetSimTimeSink(nullptr);
}

void BM_DriverCheckedQueryOverSocket(benchmark::State& state) {
  ServedTester tester;
  unsetenv("TESMIRA_VISA_ALIASES");
  setenv("TESMIRA_VISA_ALIASES", ("GPIB0::4::INSTR=" + tester.Resource()).c_str(), 1);
  ViSession handle = 0;
  if (!tester.ok() || wt4400_init("GPIB0::4", 1, 0, &handle) < VI_SUCCESS) {
    state.SkipWithError("no loopback tester");
    return;
  }
  char reply[64];
  for (auto _ : state) {
    if (wt4400_query(handle, "*OPC?", reply, sizeof reply) != VI_SUCCESS) {
      state.SkipWithError("query failed");
      break;
    }
  }
  wt4400_close(handle);
  unsetenv("TESMIRA_VISA_ALIASES");
}

}  // namespace

BENCHMARK(BM_SocketQuery)->Repetitions(9)->ReportAggregatesOnly(true)->UseRealTime();
BENCHMARK(BM_SimBackendQuery)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_DriverCheckedQueryOverSocket)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_MAIN();
