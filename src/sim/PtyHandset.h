#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/PtyLine.h"
#include "sim/SimLoop.h"

// The simulated handset behind a pseudo-terminal, in real time: the station opens the slave
// (/dev/pts/N) as its COM port through the real CComm; the handset's answers go out at the line
// rate.
class PtyHandset : private HandsetLink {
 public:
  PtyHandset(SimLoop& loop, sim::Bench& bench, uint32_t baud = 115200);

  bool Open(std::string* error) { return line_.Open(error); }
  const std::string& SlavePath() const { return line_.SlavePath(); }
  int MasterFd() const { return line_.MasterFd(); }
  // Reads what the station wrote (call when the master is readable).
  void OnReadable() { line_.OnReadable(); }
  HandsetSim& handset() { return sim_; }
  uint64_t droppedBytes() const { return line_.droppedBytes(); }

 private:
  void Transmit(std::vector<uint8_t> bytes) override { line_.Transmit(std::move(bytes)); }
  void After(uint64_t delayMs, std::function<void()> fn) override;

  SimLoop& loop_;
  HandsetSim sim_;
  PtyLine line_;  // last: gone first, so no byte reaches a handset being destroyed
};
