#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/visa/SimDevice.h"
#include "sim/SimLoop.h"

namespace sim {

// A simulated instrument as a bus controller sees it behind a LAN/GPIB gateway, a Prologix
// adapter or HiSLIP: messages in with END, reply bytes out with END at the end of each reply.
// It keeps IEEE 488.2's rules the servers rely on: while busy with a message it takes no
// further bytes (the servers hold them), and a new message clears a reply nobody read, so a
// late answer is never read as the answer to the next query. Time is the bench loop's.
class BusInstrument {
 public:
  BusInstrument(SimLoop& loop, std::shared_ptr<visa::SimDevice> device);

  // True while the instrument works on its last message; BusyUntil says till when.
  bool Busy() const { return loop_.Now() < busyUntil_; }
  uint64_t BusyUntil() const { return busyUntil_; }
  // One message from the controller (terminated by END; line feeds inside end message units).
  // Call only when not busy.
  void Deliver(const std::string& message);
  // Reply bytes ready to be read (none while busy).
  bool HasOutput();
  // Takes the next reply up to its END, at most max bytes, and not past stopChar (>= 0);
  // *end when the last byte taken ends the reply.
  std::string TakeOutput(size_t max, bool* end, int stopChar = -1);
  // Device clear: drops unread output and any partial input.
  void Clear();

 private:
  void Pull();

  SimLoop& loop_;
  std::shared_ptr<visa::SimDevice> device_;
  uint64_t busyUntil_ = 0;
  std::string output_;  // replies, each ending with '\n' (with END)
};

}  // namespace sim
