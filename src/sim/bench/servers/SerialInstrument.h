#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/SimDevice.h"
#include "sim/bench/BenchService.h"
#include "sim/bench/servers/BusInstrument.h"
#include "sim/bench/servers/PtyPort.h"

namespace sim {

// A simulated instrument on its RS-232 port, behind a pseudo-terminal, as the E3631A and
// E3632A/E3633A supplies offer one: line-feed terminated commands in, each reply sent as soon
// as it is ready. Like those supplies it takes commands only in remote: until SYST:REM (or
// SYST:RWL) it ignores them; SYST:LOC gives control back to the front panel. Ctrl-C clears
// the operation in progress and pending output (the RS-232 device clear). A command that
// arrives while a reply is still being prepared replaces that reply (it is never sent), so a
// controller that gave up on an answer does not get it in place of the next one. A pty has
// no modem lines, so the DTR/DSR handshake of the real port is not simulated.
class SerialInstrument {
 public:
  SerialInstrument(BenchContext& context, std::shared_ptr<visa::SimDevice> device);
  ~SerialInstrument();
  SerialInstrument(const SerialInstrument&) = delete;
  SerialInstrument& operator=(const SerialInstrument&) = delete;

  bool Open(std::string* error);
  const std::string& Path() const { return port_.Path(); }
  bool Remote() const { return remote_; }
  bool LineSettings(termios* out) const { return port_.LineSettings(out); }

  // Test switch: the next reply is cut in the middle and the line hung up.
  bool hangUpMidReply = false;

 private:
  void OnData(const char* data, size_t size);
  void Process();
  void SendOutput();

  BenchContext& context_;
  PtyPort port_;
  BusInstrument instrument_;
  std::string partial_;
  std::deque<std::string> lines_;
  bool remote_ = false;
  bool scheduled_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace sim
