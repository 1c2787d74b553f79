#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"
#include "sim/SimPort.h"

namespace visa {
class SimDevice;
}

// The whole simulated bench in one process, in virtual time: the loop, the world model (its
// clock is the loop), the handset on a simulated COM1, and the simulated instruments registered
// at the station's fixed addresses: the 8960 at "GPIB0::14::INSTR", the 4400 at
// "GPIB0::4::INSTR" and the chosen supply model at "GPIB::5::INSTR". Instrument I/O time and the
// 4400 driver's delays pass as virtual time. One rig at a time: the destructor unregisters the
// instruments and gives the VISA time sink and the delay handler back to real time.
struct SimBenchConfig {
  uint64_t seed = 1;
  // "3631A", "3632A", "3633A", "66311B", or "" (or an unknown name) for no supply.
  std::string supplyModel = "3631A";
};

class SimBenchRig {
 public:
  static constexpr int HANDSET_PORT = 1;  // COM1
  static constexpr uint32_t HANDSET_BAUD = 115200;

  explicit SimBenchRig(const SimBenchConfig& config = {});
  ~SimBenchRig();
  SimBenchRig(const SimBenchRig&) = delete;
  SimBenchRig& operator=(const SimBenchRig&) = delete;

  SimLoop& loop() { return loop_; }
  sim::Bench& bench() { return bench_; }
  // The handset port, closed until the station opens it (Target / Open).
  SimPort& port() { return port_; }
  HandsetSim& handset() { return handset_.handset(); }
  const SimBenchConfig& config() const { return config_; }

 private:
  SimBenchConfig config_;
  SimLoop loop_;
  sim::Bench bench_;
  SimPort port_;
  SimPortHandset handset_;
  std::shared_ptr<visa::SimDevice> test_set_8960_;
  std::shared_ptr<visa::SimDevice> test_set_4400_;
  std::shared_ptr<visa::SimDevice> supply_;
};
