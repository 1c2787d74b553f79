#include <cstdio>
#include <memory>

#include "sim/bench/BenchService.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim8960.h"

// The simulated 8960 on a loopback TCP port, reached by the station at its GPIB address
// through the alias tesmira-bench prints.
namespace {

std::unique_ptr<sim::ScpiTcpServer>& Server() {
  static std::unique_ptr<sim::ScpiTcpServer> server;
  return server;
}

bool Start8960(BenchContext& context) {
  auto device = std::make_shared<sim::Sim8960>(context.bench);
  auto server = std::make_unique<sim::ScpiTcpServer>(context, device);
  if (!server->Listen()) {
    std::perror("tesmira-bench: 8960: cannot listen on a loopback port");
    return false;
  }
  context.aliases.emplace_back("GPIB0::14::INSTR", server->Resource());
  context.devices.emplace_back("GPIB0::14::INSTR", device);
  Server() = std::move(server);
  return true;
}

const bool registered = RegisterBenchService({"8960", 20, &Start8960});

}  // namespace
