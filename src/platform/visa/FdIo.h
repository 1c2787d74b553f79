#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/visa/VisaTypes.h"

// Descriptor helpers shared by the built-in backends: a VISA time-out as a deadline, waits with
// poll(), bounded writes, and a TCP connect that cannot hang.
namespace visa::detail {

// Remaining time of one operation; an infinite VISA time-out never runs out.
class Deadline {
 public:
  explicit Deadline(ViUInt32 timeoutMs);
  // For poll(): -1 forever, 0 expired.
  int RemainingMs() const;
  bool Expired() const { return RemainingMs() == 0; }

 private:
  bool infinite_;
  std::chrono::steady_clock::time_point end_;
};

// Waits for events on fd until the deadline, or for at most capMs when capMs >= 0.
// 1 ready (or hung up: the next read says so), 0 time-out, -1 error.
int WaitFor(int fd, short events, const Deadline& deadline, int capMs = -1);

// Writes all of data to a non-blocking descriptor (socket or terminal) within the deadline.
// VI_SUCCESS, VI_ERROR_TMO, VI_ERROR_CONN_LOST (peer gone) or VI_ERROR_IO; *sent says how far
// it got.
ViStatus WriteAll(int fd, const char* data, size_t size, const Deadline& deadline, size_t* sent);

// Connects to host:port within timeoutMs; the socket is non-blocking, close-on-exec and sends
// small messages at once (no Nagle delay). -1 on failure with VI_ERROR_RSRC_NFOUND (refused,
// unknown host) or VI_ERROR_TMO (no answer) in *status.
int ConnectTcp(const std::string& host, int port, ViUInt32 timeoutMs, ViStatus* status);

// The status for a failed send or receive: a peer that went away is a lost connection.
ViStatus LostOrIo(int error);

}  // namespace visa::detail
