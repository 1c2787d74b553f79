#pragma once

#include <termios.h>

#include <functional>
#include <string>

#include "sim/bench/BenchService.h"

namespace sim {

// The bench's end of a pseudo-terminal that a station opens as a serial device. The slave
// stays open here, so the terminal lives while stations come and go; both ends are raw.
class PtyPort {
 public:
  explicit PtyPort(BenchContext& context) : context_(context) {}
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  bool Open(std::string* error);
  const std::string& Path() const { return path_; }
  std::function<void(const char* data, size_t size)> onData;
  // What the station reads; bytes it does not take when the terminal is full are lost.
  void Send(const std::string& bytes);
  // Closes the terminal: the station's next read sees the line hung up.
  void HangUp();
  // The line settings the station gave the terminal (rate, character size, parity, stop bits).
  bool LineSettings(termios* out) const;

 private:
  void OnReadable();

  BenchContext& context_;
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

}  // namespace sim
