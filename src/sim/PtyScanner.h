#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/ScannerSim.h"
#include "sim/SimLoop.h"

// The simulated barcode scanner behind a pseudo-terminal, in real time: the station opens the
// slave as its COM2 through the real CComm. Station bytes read from the master go to the
// scanner; its lines are written to the master after their wire time at 9600 baud.
class PtyScanner : private ScannerLink {
 public:
  static constexpr uint32_t BAUD = 9600;

  PtyScanner(SimLoop& loop, sim::ScannerModel& model);
  ~PtyScanner() override;
  PtyScanner(const PtyScanner&) = delete;
  PtyScanner& operator=(const PtyScanner&) = delete;

  bool Open(std::string* error);
  const std::string& SlavePath() const { return slave_path_; }
  int MasterFd() const { return master_; }
  void OnReadable();  // call when the master is readable
  ScannerSim& scanner() { return sim_; }

 private:
  void Transmit(std::vector<uint8_t> bytes) override;
  void After(uint64_t delayMs, std::function<void()> fn) override;
  void Write(const std::vector<uint8_t>& bytes);

  SimLoop& loop_;
  ScannerSim sim_;
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
  uint64_t line_free_us_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
