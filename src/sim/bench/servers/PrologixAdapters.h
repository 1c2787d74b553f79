#pragma once

#include <cstdint>
#include <string>

#include "sim/bench/BenchService.h"
#include "sim/bench/servers/PrologixSim.h"
#include "sim/bench/servers/PtyPort.h"
#include "sim/bench/servers/TcpListener.h"

namespace sim {

// A simulated Prologix GPIB-ETHERNET controller on a loopback TCP port (1234 on the real one).
// It serves one host at a time: a new connection takes over from the one before.
class PrologixEthernet {
 public:
  explicit PrologixEthernet(BenchContext& context);
  PrologixSim& adapter() { return adapter_; }
  bool Listen(uint16_t port = 0);
  uint16_t Port() const { return listener_.Port(); }
  // "PRLGX-TCPIP0::127.0.0.1::<port>::INTFC"
  std::string Resource() const;
  size_t Connections() const { return listener_.Connections(); }

 private:
  TcpListener listener_;
  PrologixSim adapter_;
  int client_ = -1;
};

// A simulated Prologix GPIB-USB controller: its USB serial port is a pseudo-terminal.
class PrologixUsb {
 public:
  explicit PrologixUsb(BenchContext& context);
  PrologixSim& adapter() { return adapter_; }
  bool Open(std::string* error);
  // "PRLGX-ASRL0::/dev/pts/N::INTFC"
  std::string Resource() const;

 private:
  PtyPort port_;
  PrologixSim adapter_;
};

}  // namespace sim
