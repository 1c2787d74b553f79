#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/Bench.h"
#include "sim/RealTimeDriver.h"
#include "sim/SimLoop.h"
#include "sim/bench/BenchService.h"
#include "sim/bench/controls/BenchControls.h"
#include "sim/bench/servers/BenchAliases.h"
#include "sim/bench/ui/BenchPanelMain.h"

// tesmira-bench: every simulated device of the bench on one thread in real time, reachable
// through a pseudo-terminal and loopback ports. Prints the shell assignments that point the
// station at them, then serves until interrupted.
namespace {

RealTimeDriver* g_driver = nullptr;

struct BenchProcess {
  explicit BenchProcess(uint64_t seed)
      : driver(loop), bench(seed, [this] { return loop.Now(); }), context{loop,    bench,   seed,
                                                                          nullptr, nullptr, {},
                                                                          {}} {}
  SimLoop loop;
  RealTimeDriver driver;
  sim::Bench bench;
  BenchContext context;
};

void OnSignal(int) {
  if (g_driver) g_driver->Stop();
}

// SIGUSR1 switches on the faults named by --fault-on-signal; the handler only writes a byte,
// the bench thread does the rest.
int g_fault_pipe[2] = {-1, -1};

void OnFaultSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_fault_pipe[1], &byte, 1);
}

bool* FaultSwitch(sim::BenchFaults& faults, const std::string& name) {
  if (name == "testset-silent") return &faults.testSetSilent;
  if (name == "testset-closed") return &faults.testSetClosed;
  if (name == "supply-silent") return &faults.supplySilent;
  if (name == "supply-closed") return &faults.supplyClosed;
  return nullptr;
}

void Usage(FILE* out) {
  std::fprintf(
      out,
      "usage: tesmira-bench [--seed S] [--defect-rate R] [--transport T[,T...]] [--panel]\n"
      "  --seed S         seed of the drawn handsets and bench (default 1)\n"
      "  --defect-rate R  share of units after the first drawn with a defect (0..1)\n"
      "  --transport T    how the aliases reach the instruments, most wanted first:\n"
      "                   socket (default), vxi11, hislip, prologix, prologix-usb,\n"
      "                   serial (the supply's RS-232 port)\n"
      "  --scanner-code C the scanner's next code (repeat for more; then made-up ones)\n"
      "  --scanner-fault F silent, ng, g1, short, letter or no-cr (default none)\n"
      "  --printer PATH   the label printer's sink file (default in the temp dir)\n"
      "  --panel          a window with the operator's hands: the supply's output\n"
      "                   switch, the jig, the next unit's defect\n"
      "  --fault-on-signal F  on SIGUSR1 the instrument fault F begins (repeat for more):\n"
      "                   testset-silent, testset-closed, supply-silent, supply-closed\n"
      "Prints `export NAME=value` lines for the station (eval them), then serves\n"
      "until SIGINT or SIGTERM.\n");
}

bool ParseUnsigned(const char* text, uint64_t* value) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-') return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 1;
  double defectRate = 0.0;
  std::vector<std::string> transports;
  std::vector<std::string> scannerCodes;
  std::string scannerFault;
  std::string printerPath;
  bool panel = false;
  std::vector<std::string> signalFaults;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if (arg == "--seed" && i + 1 < argc) {
      if (!ParseUnsigned(argv[++i], &seed)) {
        std::fprintf(stderr, "tesmira-bench: bad seed '%s'\n", argv[i]);
        return 2;
      }
    } else if (arg == "--defect-rate" && i + 1 < argc) {
      char* end = nullptr;
      defectRate = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(defectRate >= 0.0 && defectRate <= 1.0)) {
        std::fprintf(stderr, "tesmira-bench: bad defect rate '%s'\n", argv[i]);
        return 2;
      }
    } else if (arg == "--fault-on-signal" && i + 1 < argc) {
      sim::BenchFaults probe;
      if (!FaultSwitch(probe, argv[++i])) {
        std::fprintf(stderr, "tesmira-bench: unknown fault '%s'\n", argv[i]);
        return 2;
      }
      signalFaults.push_back(argv[i]);
    } else if (arg == "--panel") {
      panel = true;
    } else if (arg == "--transport" && i + 1 < argc) {
      std::string bad;
      if (!sim::ParseTransports(argv[++i], &transports, &bad)) {
        std::fprintf(stderr, "tesmira-bench: unknown transport '%s'\n", bad.c_str());
        return 2;
      }
    } else if (arg == "--scanner-code" && i + 1 < argc) {
      scannerCodes.push_back(argv[++i]);
    } else if (arg == "--scanner-fault" && i + 1 < argc) {
      scannerFault = argv[++i];
    } else if (arg == "--printer" && i + 1 < argc) {
      printerPath = argv[++i];
    } else {
      std::fprintf(stderr, "tesmira-bench: unknown argument '%s'\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }

  // The loop, the model and the context outlive every service: the services keep their
  // devices in statics of their own, created later and so destroyed first at exit.
  static BenchProcess process(seed);
  RealTimeDriver& driver = process.driver;
  sim::Bench& bench = process.bench;
  bench.SetDefectRate(defectRate);

  g_driver = &driver;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a client that went away is seen as a failed write

  BenchContext& context = process.context;
  context.scannerCodes = scannerCodes;
  context.scannerFault = scannerFault;
  context.printerPath = printerPath;
  context.transports = transports.empty() ? std::vector<std::string>{"socket"} : transports;
  context.watch = [&driver](int fd, std::function<void()> onReadable) {
    driver.Watch(fd, std::move(onReadable));
  };
  context.unwatch = [&driver](int fd) { driver.Unwatch(fd); };

  if (!signalFaults.empty()) {
    if (pipe2(g_fault_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      std::perror("tesmira-bench: pipe");
      return 1;
    }
    driver.Watch(g_fault_pipe[0], [&context, &bench, signalFaults] {
      char bytes[16];
      while (::read(g_fault_pipe[0], bytes, sizeof bytes) > 0) {
      }
      for (const std::string& name : signalFaults) {
        *FaultSwitch(bench.faults, name) = true;
        std::fprintf(stderr, "tesmira-bench: fault %s on\n", name.c_str());
      }
      for (const auto& changed : context.faultsChanged) changed();
    });
    struct sigaction fault {};
    fault.sa_handler = OnFaultSignal;
    sigemptyset(&fault.sa_mask);
    fault.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &fault, nullptr);
  }

  std::vector<BenchService> services = BenchServices();
  std::stable_sort(services.begin(), services.end(),
                   [](const BenchService& a, const BenchService& b) { return a.order < b.order; });
  for (const BenchService& service : services) {
    if (!service.start(context)) {
      std::fprintf(stderr, "tesmira-bench: %s could not start\n", service.name.c_str());
      return 1;
    }
  }

  for (const auto& [name, value] : context.exports) {
    std::printf("export %s=%s\n", name.c_str(), value.c_str());
  }
  const auto aliases = sim::ChooseAliases(context);
  if (!aliases.empty()) std::printf("%s\n", sim::AliasLine(aliases).c_str());
  for (const auto& alias : aliases) {
    std::fprintf(stderr, "tesmira-bench: %s over %s\n", alias.resource.c_str(),
                 alias.transport.c_str());
  }
  std::fflush(stdout);
  std::fprintf(stderr, "tesmira-bench: seed %llu, %zu service(s); serving until interrupted\n",
               static_cast<unsigned long long>(seed), services.size());

  if (panel) {
    // The panel on this thread, the bench on its own; the panel's actions reach the bench
    // thread through the controls' queue.
    BenchControls controls(context, FindBenchSupply(context));
    controls.StartRefreshing();
    std::thread benchThread([&driver] { driver.Run(); });
    const int status = RunBenchPanel(argc, argv, controls, static_cast<unsigned long long>(seed),
                                     [&driver] { return driver.Stopped(); });
    driver.Stop();
    benchThread.join();
    g_driver = nullptr;
    std::fprintf(stderr, "tesmira-bench: stopped\n");
    return status;
  }
  driver.Run();
  g_driver = nullptr;
  std::fprintf(stderr, "tesmira-bench: stopped\n");
  return 0;
}
