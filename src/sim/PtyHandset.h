#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Bench.h"
#include "sim/HandsetSim.h"
#include "sim/SimLoop.h"

// The simulated handset behind a pseudo-terminal, in real time: the station opens the slave
// (/dev/pts/N) as its COM port through the real CComm. Station bytes read from the master go to
// the handset; its answers are written to the master after their wire time at the line rate,
// one after the other as on a real line. The slave stays open here too, so the terminal lives
// while stations come and go, and it is put in raw mode at once (no echo, no line editing).
class PtyHandset : private HandsetLink {
 public:
  PtyHandset(SimLoop& loop, sim::Bench& bench, uint32_t baud = 115200);
  ~PtyHandset() override;
  PtyHandset(const PtyHandset&) = delete;
  PtyHandset& operator=(const PtyHandset&) = delete;

  bool Open(std::string* error);
  const std::string& SlavePath() const { return slave_path_; }
  int MasterFd() const { return master_; }
  // Reads what the station wrote (call when the master is readable).
  void OnReadable();
  HandsetSim& handset() { return sim_; }
  uint64_t droppedBytes() const { return dropped_; }  // the station did not read them

 private:
  void Transmit(std::vector<uint8_t> bytes) override;
  void After(uint64_t delayMs, std::function<void()> fn) override;
  void Write(const std::vector<uint8_t>& bytes);

  SimLoop& loop_;
  uint32_t baud_;
  HandsetSim sim_;
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
  uint64_t line_free_us_ = 0;
  uint64_t dropped_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for writes still scheduled
};
