#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/visa/SimDevice.h"
#include "sim/Bench.h"
#include "sim/SimLoop.h"

namespace sim {
struct ScannerModel;
}

// tesmira-bench runs every simulated device on one thread: a SimLoop driven by the real clock,
// plus file-descriptor watches (pty master, listening and client sockets). Each device family
// registers a service that starts itself on this context and announces how to reach it.
struct BenchContext {
  SimLoop& loop;  // its clock follows real time in tesmira-bench
  sim::Bench& bench;
  uint64_t seed = 0;
  // Calls onReadable on the bench thread whenever fd is readable (or hung up).
  std::function<void(int fd, std::function<void()> onReadable)> watch;
  std::function<void(int fd)> unwatch;

  // Printed as shell assignments at start: `export NAME=value`, and all aliases joined into
  // one `export TESMIRA_VISA_ALIASES="RESOURCE=TARGET;..."`.
  std::vector<std::pair<std::string, std::string>> exports;
  std::vector<std::pair<std::string, std::string>> aliases;

  // --transport: how the instruments are announced, most wanted first ("socket" when none is
  // given; the socket servers run in any case). The instrument services put their devices in
  // `devices` (by the station's resource) for the services of the other transports, which
  // add their targets to `transportAliases` under the transport's name.
  std::vector<std::string> transports{};
  std::vector<std::pair<std::string, std::shared_ptr<visa::SimDevice>>> devices{};
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> transportAliases{};
  // The production line: codes the scanner hands out first, its fault, the printer sink file.
  std::vector<std::string> scannerCodes{};
  std::string scannerFault{};
  std::string printerPath{};
  sim::ScannerModel* scanner = nullptr;  // set by the scanner service once it runs
  // Called on the bench thread after a fault switch of bench.faults was changed, so that the
  // servers can act on it at once (close the connections of an instrument that went away).
  std::vector<std::function<void()>> faultsChanged{};
  bool Wants(const std::string& transport) const {
    for (const auto& t : transports)
      if (t == transport) return true;
    return false;
  }
};

struct BenchService {
  std::string name;
  int order;                             // services start in increasing order (handset first)
  bool (*start)(BenchContext& context);  // false: tesmira-bench reports it and exits 1
};

bool RegisterBenchService(const BenchService& service);
const std::vector<BenchService>& BenchServices();
