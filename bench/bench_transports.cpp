// Round trip of one "*OPC?" through the VISA facade over each built-in transport, to the
// simulated 4400 behind the bench's server for it (the bench loop on its own thread, as
// tesmira-bench runs it): raw socket, VXI-11 (liblxi, through the port mapper), HiSLIP, a
// Prologix GPIB-ETHERNET and a GPIB-USB adapter, and the instrument's own serial line on a
// pseudo-terminal. Medians over repetitions.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/visa/visa.h"
#include "sim/Bench.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "sim/bench/servers/HislipServer.h"
#include "sim/bench/servers/PortMapper.h"
#include "sim/bench/servers/PrologixAdapters.h"
#include "sim/bench/servers/SerialInstrument.h"
#include "sim/bench/servers/Vxi11Server.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim4400.h"

namespace {

// The bench loop with one server for the tester; `serve` builds it and says what to open.
class Served {
 public:
  using Serve = std::function<std::string(BenchContext&, std::shared_ptr<visa::SimDevice>,
                                          std::shared_ptr<void>*, std::string*)>;
  explicit Served(const Serve& serve)
      : driver_(loop_), bench_(1, [this] { return loop_.Now(); }), context_{loop_,   bench_,  1,
                                                                            nullptr, nullptr, {},
                                                                            {}} {
    context_.watch = [this](int fd, std::function<void()> fn) { driver_.Watch(fd, std::move(fn)); };
    context_.unwatch = [this](int fd) { driver_.Unwatch(fd); };
    resource_ = serve(context_, std::make_shared<sim::Sim4400>(bench_), &server_, &why_);
    if (!resource_.empty()) thread_ = std::thread([this] { driver_.Run(); });
  }
  ~Served() {
    visa::ResetVisaState();
    if (thread_.joinable()) {
      driver_.Stop();
      thread_.join();
    }
    server_.reset();
    unsetenv("TESMIRA_VISA_ALIASES");
  }
  const std::string& resource() const { return resource_; }
  const std::string& why() const { return why_; }

 private:
  SimLoop loop_;
  RealTimeDriver driver_;
  sim::Bench bench_;
  BenchContext context_;
  std::shared_ptr<void> server_;
  std::string resource_;
  std::string why_;
  std::thread thread_;
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

void RoundTrip(benchmark::State& state, const Served::Serve& serve) {
  Served served(serve);
  ViSession rm = 0;
  ViSession vi = 0;
  viOpenDefaultRM(&rm);
  if (served.resource().empty()) {
    state.SkipWithError(served.why().c_str());
    return;
  }
  if (viOpen(rm, served.resource().c_str(), VI_NULL, VI_NULL, &vi) < VI_SUCCESS) {
    state.SkipWithError("cannot open the served tester");
    return;
  }
  viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000);
  for (auto _ : state) {
    if (!Query(vi)) {
      state.SkipWithError("query failed");
      break;
    }
  }
}

std::string Socket(BenchContext& c, std::shared_ptr<visa::SimDevice> d, std::shared_ptr<void>* keep,
                   std::string* why) {
  auto server = std::make_shared<sim::ScpiTcpServer>(c, d);
  if (!server->Listen()) return *why = "cannot listen", "";
  *keep = server;
  return server->Resource();
}

std::string Vxi11(BenchContext& c, std::shared_ptr<visa::SimDevice> d, std::shared_ptr<void>* keep,
                  std::string* why) {
  if (!sim::EnsurePortMapper(why)) return "";
  auto server = std::make_shared<sim::Vxi11Server>(c);
  server->AddInstrument(4, d);
  if (!server->Start(10000, why)) return "";
  *keep = server;
  return sim::Vxi11Server::Resource(4);
}

std::string Hislip(BenchContext& c, std::shared_ptr<visa::SimDevice> d, std::shared_ptr<void>* keep,
                   std::string* why) {
  auto server = std::make_shared<sim::HislipServer>(c, d);
  if (!server->Listen()) return *why = "cannot listen", "";
  *keep = server;
  return server->Resource();
}

template <typename Adapter>
std::string Prologix(BenchContext& c, std::shared_ptr<visa::SimDevice> d,
                     std::shared_ptr<void>* keep, std::string* why) {
  auto adapter = std::make_shared<Adapter>(c);
  adapter->adapter().AddInstrument(4, d);
  bool ok = false;
  if constexpr (std::is_same_v<Adapter, sim::PrologixEthernet>) {
    ok = adapter->Listen();
  } else {
    ok = adapter->Open(why);
  }
  if (!ok) return *why = "cannot serve the adapter", "";
  *keep = adapter;
  setenv("TESMIRA_VISA_ALIASES", ("GPIB0::4::INSTR=" + adapter->Resource()).c_str(), 1);
  return "GPIB0::4::INSTR";
}

std::string Serial(BenchContext& c, std::shared_ptr<visa::SimDevice> d, std::shared_ptr<void>* keep,
                   std::string* why) {
  auto port = std::make_shared<sim::SerialInstrument>(c, d);
  if (!port->Open(why)) return "";
  *keep = port;
  setenv("TESMIRA_VISA_ALIASES",
         ("GPIB0::4::INSTR=ASRL::" + port->Path() + "::INSTR{baud=115200,init=SYST:REM}").c_str(),
         1);
  return "GPIB0::4::INSTR";
}

}  // namespace

BENCHMARK_CAPTURE(RoundTrip, Socket, Socket)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_CAPTURE(RoundTrip, Vxi11, Vxi11)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_CAPTURE(RoundTrip, Hislip, Hislip)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_CAPTURE(RoundTrip, PrologixEthernet, Prologix<sim::PrologixEthernet>)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_CAPTURE(RoundTrip, PrologixUsb, Prologix<sim::PrologixUsb>)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_CAPTURE(RoundTrip, Serial, Serial)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK_MAIN();
