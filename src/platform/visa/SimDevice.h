#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace visa {

// An instrument simulated in this process, reached through the facade's "sim" backend (and
// served on loopback TCP by tesmira-bench). It speaks SCPI text, one message per Write.
class SimDevice {
 public:
  virtual ~SimDevice() = default;
  // One message from the controller, terminator removed. Returns how long the instrument is
  // busy before its reply (if any) is ready, in ms (0 for most commands).
  virtual uint32_t Write(const std::string& message) = 0;
  // The next reply line without its terminator, or nullopt when nothing is waiting (the read
  // then times out).
  virtual std::optional<std::string> Read() = 0;
  // The far end has closed the connection (the instrument switched off, its LAN service gone):
  // transfers fail with VI_ERROR_CONN_LOST and an open finds nothing.
  virtual bool Closed() const { return false; }
};

// Resources are stored in canonical form (board 0 when omitted, "::INSTR" implied), so
// "GPIB0::4", "GPIB0::4::INSTR" and "GPIB::4::INSTR" name the same device.
void RegisterSimDevice(const std::string& resource, std::shared_ptr<SimDevice> device);
void UnregisterSimDevice(const std::string& resource);
void ClearSimDevices();
std::shared_ptr<SimDevice> FindSimDevice(const std::string& resource);
// Canonical names of the registered devices (for viFindRsrc).
std::vector<std::string> SimDeviceResources();

// Time spent in simulated I/O (instrument busy time, read time-outs) passes through this;
// virtual-time runs install SimLoop::Advance, real-time runs sleep (the default).
void SetSimTimeSink(std::function<void(uint32_t ms)> sink);
void SpendSimTime(uint32_t ms);

}  // namespace visa
