#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/PtyLine.h"
#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"

// The simulated barcode scanner behind a pseudo-terminal, in real time: the station opens the
// slave as its COM2 through the real CComm; the scanner's lines go out at 9600 baud.
class PtyScanner : private ScannerLink {
 public:
  static constexpr uint32_t BAUD = 9600;

  PtyScanner(SimLoop& loop, sim::ScannerModel& model);

  bool Open(std::string* error) { return line_.Open(error); }
  const std::string& SlavePath() const { return line_.SlavePath(); }
  int MasterFd() const { return line_.MasterFd(); }
  void OnReadable() { line_.OnReadable(); }  // call when the master is readable
  ScannerSim& scanner() { return sim_; }

 private:
  void Transmit(std::vector<uint8_t> bytes) override { line_.Transmit(std::move(bytes)); }
  void After(uint64_t delayMs, std::function<void()> fn) override;

  SimLoop& loop_;
  ScannerSim sim_;
  PtyLine line_;  // last: gone first, so no byte reaches a scanner being destroyed
};
