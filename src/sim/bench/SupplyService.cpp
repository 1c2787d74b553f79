#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sim/bench/BenchService.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/SimSupply.h"

// The simulated supply on a loopback TCP port, reached at the supplies' GPIB address through
// the alias tesmira-bench prints. TESMIRA_BENCH_SUPPLY picks the model: 3631A (default),
// 3632A, 3633A, 66311B, or none.
namespace {

std::unique_ptr<sim::ScpiTcpServer>& Server() {
  static std::unique_ptr<sim::ScpiTcpServer> server;
  return server;
}

bool StartSupply(BenchContext& context) {
  const char* env = std::getenv("TESMIRA_BENCH_SUPPLY");
  const std::string name = env && *env ? env : "3631A";
  if (name == "none" || name == "NONE") return true;
  sim::SupplyModel model;
  if (!sim::SupplyModelByName(name, &model)) {
    std::fprintf(stderr,
                 "tesmira-bench: supply: unknown model '%s' in TESMIRA_BENCH_SUPPLY "
                 "(3631A, 3632A, 3633A, 66311B or none)\n",
                 name.c_str());
    return false;
  }
  auto device = std::make_shared<sim::SimSupply>(context.bench, model);
  auto server = std::make_unique<sim::ScpiTcpServer>(context, device);
  if (!server->Listen()) {
    std::perror("tesmira-bench: supply: cannot listen on a loopback port");
    return false;
  }
  context.aliases.emplace_back("GPIB::5::INSTR", server->Resource());
  context.devices.emplace_back("GPIB::5::INSTR", device);
  std::fprintf(stderr, "tesmira-bench: supply %s\n", sim::SupplyModelName(model));
  Server() = std::move(server);
  return true;
}

const bool registered = RegisterBenchService({"supply", 30, &StartSupply});

}  // namespace
