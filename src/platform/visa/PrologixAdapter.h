#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/visa/FdIo.h"
#include "platform/visa/ReadBuffer.h"
#include "platform/visa/Transport.h"
#include "platform/visa/VisaTypes.h"

// One Prologix GPIB-ETHERNET (TCP port 1234) or GPIB-USB (a serial device) adapter, shared by
// every session to an instrument behind it: one connection per adapter in the process. The
// adapter is set up once (controller mode, no read-after-write, EOI on the last byte, no
// terminator appended, configuration not saved to its EEPROM on every change); each transfer
// first addresses its instrument with ++addr, only when the address changes.
//
// The adapter reports nothing about a read it gave up (no terminator, no EOI mark), so a read
// asks again with "++read eoi" whenever the adapter has been quiet for longer than its own
// read time-out. After a read that timed out, bytes still on their way from the adapter belong
// to nobody: the next transfer first sends "++ver" and drops everything up to its answer.
namespace visa::detail {

constexpr int PROLOGIX_PORT = 1234;
constexpr int PROLOGIX_READ_TMO_MS = 500;        // set on the adapter
constexpr int PROLOGIX_REISSUE_MS = 600;         // quiet for this long: the adapter gave up
constexpr ViUInt32 PROLOGIX_OPEN_TMO_MS = 3000;  // connect and "++ver" answer at open

// CR, LF, ESC and '+' in data are preceded by ESC, so the adapter passes them to the
// instrument instead of taking them as the end of the line or a command.
std::string EscapePrologixData(std::string_view data);

class PrologixAdapter {
 public:
  // "PRLGX-TCPIP" (host, port) or "PRLGX-ASRL" (device path in host, port unused).
  static ViStatus Open(const std::string& kind, const std::string& host, int port,
                       std::shared_ptr<PrologixAdapter>* out);
  ~PrologixAdapter();
  PrologixAdapter(const PrologixAdapter&) = delete;
  PrologixAdapter& operator=(const PrologixAdapter&) = delete;

  // One message to the instrument at (pad, sad); sad -1 for none, else 96..126.
  ViStatus Write(int pad, int sad, std::string_view data, const Deadline& deadline);
  // Reads for the instrument at (pad, sad) into *in until in->Take succeeds or the deadline.
  // *status is Take's status on success. Bytes that belong to an earlier reply of the same
  // instrument are served from *in first.
  ViStatus Read(int pad, int sad, ReadBuffer* in, unsigned char* buf, ViUInt32 count, ViUInt32* got,
                const IoSettings& io);
  // After a time-out: whatever is still on its way is dropped before the next transfer.
  void MarkStale() { stale_ = true; }
  bool Lost() const { return fd_ < 0; }
  const std::string& Version() const { return version_; }

 private:
  PrologixAdapter(int fd, bool serial) : fd_(fd), serial_(serial) {}
  ViStatus Setup(const Deadline& deadline);
  ViStatus Send(std::string_view text, const Deadline& deadline);
  ViStatus Address(int pad, int sad, const Deadline& deadline);
  ViStatus Resync(const Deadline& deadline);
  // Moves what has arrived into rx_, waiting up to capMs (or the deadline). *quiet: nothing
  // came in capMs. VI_ERROR_TMO at the deadline, else lost/IO.
  ViStatus Receive(const Deadline& deadline, int capMs, bool* quiet);
  // A line the adapter sent (its own answers), without CR LF.
  ViStatus ReadLine(const Deadline& deadline, std::string* line);
  void Lose();

  int fd_;
  bool serial_;
  std::string version_;
  std::string rx_;  // bytes from the adapter not yet handed to a session
  int pad_ = -1;    // the address the adapter has now (-1: not known)
  int sad_ = -1;
  bool stale_ = false;
  // The last read ended before its reply did (buffer full): more of it may follow.
  bool midReply_ = false;
  int talkerPad_ = -1;
  int talkerSad_ = -1;
};

}  // namespace visa::detail
