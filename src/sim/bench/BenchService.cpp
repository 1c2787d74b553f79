#include "sim/bench/BenchService.h"

namespace {
std::vector<BenchService>& Registry() {
  static std::vector<BenchService> services;
  return services;
}
}  // namespace

bool RegisterBenchService(const BenchService& service) {
  Registry().push_back(service);
  return true;
}

const std::vector<BenchService>& BenchServices() {
  return Registry();
}
