#include <cstdio>
#include <memory>
#include <string>

#include "sim/PtyHandset.h"
#include "sim/bench/BenchService.h"

// The simulated handset on a pseudo-terminal: TESMIRA_COM1 names its slave for the station.
namespace {

std::unique_ptr<PtyHandset>& Handset() {
  static std::unique_ptr<PtyHandset> handset;
  return handset;
}

bool StartHandset(BenchContext& context) {
  auto handset = std::make_unique<PtyHandset>(context.loop, context.bench);
  std::string error;
  if (!handset->Open(&error)) {
    std::fprintf(stderr, "tesmira-bench: handset: %s\n", error.c_str());
    return false;
  }
  PtyHandset* h = handset.get();
  context.watch(h->MasterFd(), [h] { h->OnReadable(); });
  context.exports.emplace_back("TESMIRA_COM1", h->SlavePath());
  Handset() = std::move(handset);
  return true;
}

const bool registered = RegisterBenchService({"handset", 10, &StartHandset});

}  // namespace
