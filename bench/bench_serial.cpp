// The serial port object on a pseudo-terminal: how long a handset answer takes from the far
// end's write to the owner's OnCommData, and what the reader thread costs while the line is idle.

#include <benchmark/benchmark.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/CComm.h"
#include "platform/PollLoop.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int PORT = 5;

struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;

  Pty() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    path = name;
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    setenv(("TESMIRA_COM" + std::to_string(PORT)).c_str(), path.c_str(), 1);
  }
  ~Pty() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
};

class StampingOwner : public PortOwner {
 public:
  void OnCommData() override {
    arrived = Clock::now();
    ++bursts;
  }
  Clock::time_point arrived;
  uint64_t bursts = 0;
};

// CPU time of one thread of this process in nanoseconds, -1 when it is gone.
long long ThreadCpuNs(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  long long ns = -1;
  if (!(in >> ns)) return -1;
  return ns;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
  return v[i];
}

// One answer frame (9 bytes, as "txpw 1 7" gets back) per iteration.
void BM_AnswerToOwnerLatency(benchmark::State& state) {
  Pty pty;
  PollLoop loop;
  CComm port(loop, nullptr);
  StampingOwner owner;
  port.SetOwner(&owner);
  if (pty.master < 0 || !port.Open(PORT, 115200)) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  const uint8_t answer[] = {0x02, 0x14, 0x36, 0x00, 0x01, 0x07, 0x00, 0x30, 0x02};
  std::vector<double> micros;
  for (auto _ : state) {
    const uint64_t before = owner.bursts;
    const auto start = Clock::now();
    if (write(pty.master, answer, sizeof answer) != static_cast<ssize_t>(sizeof answer)) {
      state.SkipWithError("write failed");
      break;
    }
    // The frame may come as more than one burst; the last byte's arrival is what counts.
    size_t got = 0;
    while (got < sizeof answer) {
      const uint64_t seen = owner.bursts;
      if (!loop.RunUntil([&] { return owner.bursts != seen; }, 1000)) break;
      got += port.ReceivedCount();
    }
    if (owner.bursts == before) {
      state.SkipWithError("no answer within 1 s");
      break;
    }
    const double us = std::chrono::duration<double, std::micro>(owner.arrived - start).count();
    micros.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  if (!micros.empty()) {
    state.counters["median_us"] = Percentile(micros, 0.5);
    state.counters["p99_us"] = Percentile(micros, 0.99);
    state.counters["max_us"] = Percentile(micros, 1.0);
  }
}
BENCHMARK(BM_AnswerToOwnerLatency)
    ->Iterations(5000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The reader thread while nothing arrives, scaled to 10 s of idle line.
void BM_IdleReaderCpu(benchmark::State& state) {
  const auto idle = std::chrono::milliseconds(state.range(0));
  Pty pty;
  PollLoop loop;
  CComm port(loop, nullptr);
  if (pty.master < 0 || !port.Open(PORT, 115200)) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  while (port.ReaderThreadId() == 0) std::this_thread::yield();
  const pid_t reader = port.ReaderThreadId();
  double perTenSecondsUs = 0;
  for (auto _ : state) {
    const long long before = ThreadCpuNs(reader);
    std::this_thread::sleep_for(idle);
    const long long after = ThreadCpuNs(reader);
    perTenSecondsUs = static_cast<double>(after - before) / 1e3 * (10000.0 / idle.count());
  }
  state.counters["reader_cpu_us_per_10s"] = perTenSecondsUs;
  state.counters["idle_ms"] = static_cast<double>(idle.count());
}
BENCHMARK(BM_IdleReaderCpu)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
