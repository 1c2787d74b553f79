#include <cstdio>
#include <memory>

#include "sim/bench/BenchService.h"
#include "sim/instruments/ScpiTcpServer.h"
#include "sim/instruments/Sim4400.h"

// The simulated 4400 tester on a loopback TCP port, reached by the station at its GPIB address
// through the alias tesmira-bench prints.
namespace {

bool Start4400(BenchContext& context) {
  // Kept for the life of the process and never destroyed: its destructor would reach back
  // into the context and loop, which main has already torn down when static objects go.
  static sim::ScpiTcpServer* server = nullptr;
  auto device = std::make_shared<sim::Sim4400>(context.bench);
  auto* next = new sim::ScpiTcpServer(context, device);
  if (!next->Listen()) {
    std::perror("tesmira-bench: 4400: cannot listen on a loopback port");
    delete next;
    return false;
  }
  server = next;
  context.aliases.emplace_back(sim::Sim4400::RESOURCE, server->Resource());
  context.devices.emplace_back(sim::Sim4400::RESOURCE, device);
  return true;
}

const bool registered = RegisterBenchService({"4400", 30, &Start4400});

}  // namespace
