#include "sim/instruments/SimBenchRig.h"

#include <cmath>

#include "platform/Delay.h"
#include "platform/visa/SimDevice.h"
#include "sim/instruments/Sim4400.h"
#include "sim/instruments/Sim8960.h"
#include "sim/instruments/SimSupply.h"

namespace {
constexpr const char* RESOURCE_8960 = "GPIB0::14::INSTR";
constexpr const char* RESOURCE_4400 = "GPIB0::4::INSTR";
constexpr const char* RESOURCE_SUPPLY = "GPIB::5::INSTR";
}  // namespace

SimBenchRig::SimBenchRig(const SimBenchConfig& config)
    : config_(config),
      bench_(config.seed, [this] { return loop_.Now(); }),
      port_(loop_),
      handset_(loop_, port_, bench_) {
  visa::SetSimTimeSink([this](uint32_t ms) { loop_.Advance(ms); });
  SetDelayHandler([this](double seconds) {
    if (seconds > 0) loop_.Advance(static_cast<uint64_t>(std::llround(seconds * 1000.0)));
  });
  test_set_8960_ = std::make_shared<sim::Sim8960>(bench_);
  visa::RegisterSimDevice(RESOURCE_8960, test_set_8960_);
  test_set_4400_ = std::make_shared<sim::Sim4400>(bench_);
  visa::RegisterSimDevice(RESOURCE_4400, test_set_4400_);
  sim::SupplyModel model{};
  if (!config.supplyModel.empty() && sim::SupplyModelByName(config.supplyModel, &model)) {
    supply_ = std::make_shared<sim::SimSupply>(bench_, model);
    visa::RegisterSimDevice(RESOURCE_SUPPLY, supply_);
  }
}

SimBenchRig::~SimBenchRig() {
  visa::UnregisterSimDevice(RESOURCE_8960);
  visa::UnregisterSimDevice(RESOURCE_4400);
  if (supply_) visa::UnregisterSimDevice(RESOURCE_SUPPLY);
  visa::SetSimTimeSink(nullptr);
  SetDelayHandler(nullptr);
}
