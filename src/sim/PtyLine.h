#pragma once

#include <termios.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimLoop.h"

// The far end of a simulated serial device, in real time: a pseudo-terminal pair in raw mode,
// the station opening the slave through the real CComm. Bytes the station wrote go to the
// device; the device's bytes are written to the master after their wire time at the line rate
// (10 bits a byte), one after the other as on a real line. The slave stays open here too, so
// the terminal lives while stations come and go.
class PtyLine {
 public:
  using Receiver = std::function<void(const uint8_t* data, size_t size)>;

  PtyLine(SimLoop& loop, uint32_t baud, speed_t speed, Receiver receiver);
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  bool Open(std::string* error);
  const std::string& SlavePath() const { return slave_path_; }
  int MasterFd() const { return master_; }
  void OnReadable();  // call when the master is readable
  void Transmit(std::vector<uint8_t> bytes);
  uint64_t droppedBytes() const { return dropped_; }  // the station did not read them

 private:
  void Write(const std::vector<uint8_t>& bytes);

  SimLoop& loop_;
  uint32_t baud_;
  speed_t speed_;
  Receiver receiver_;
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
  uint64_t line_free_us_ = 0;
  uint64_t dropped_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for writes still scheduled
};
