#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/Notifier.h"
#include "platform/SerialDevice.h"
#include "platform/visa/Backends.h"
#include "platform/visa/FdIo.h"
#include "platform/visa/ReadBuffer.h"
#include "platform/visa/SerialOptions.h"

namespace visa::detail {
namespace {

// How often a write held off by the instrument's DTR (our DSR) looks again.
constexpr int DSR_POLL_MS = 5;

// An instrument on a serial line (VISA ASRL INSTR), on the same exclusive termios device as
// the handset's port. Reads end at the termination character (VI_ATTR_ASRL_END_IN), when the
// buffer is full, or at the time-out. Writes end with the termination character
// (VI_ATTR_ASRL_END_OUT) unless they already do. With DTR/DSR flow control, which the E363x
// supplies use, the instrument holds a write off by dropping its DTR (our DSR); Linux has no
// such mode in the driver, so the transport waits for DSR itself before each piece.
class SerialTransport : public Transport {
 public:
  SerialTransport(int fd, const SerialOptions& options) : fd_(fd), options_(options) {
    // Ready to take data for as long as the session is open.
    (void)SetSerialModemLine(fd_, TIOCM_DTR, true);
  }
  ~SerialTransport() override { Close(); }

  ViStatus Write(const unsigned char* buf, ViUInt32 count, ViUInt32* written,
                 const IoSettings& io) override {
    *written = 0;
    if (fd_ < 0) return VI_ERROR_CONN_LOST;
    std::string data(reinterpret_cast<const char*>(buf), count);
    if (io.sendEnd && options_.endOut == VI_ASRL_END_TERMCHAR &&
        (data.empty() || static_cast<unsigned char>(data.back()) != io.termChar)) {
      data.push_back(static_cast<char>(io.termChar));
    }
    const Deadline deadline(io.timeoutMs);
    size_t done = 0;
    while (done < data.size()) {
      const ViStatus ready = WaitForDsr(deadline);
      if (ready != VI_SUCCESS) {
        *written = static_cast<ViUInt32>(std::min<size_t>(done, count));
        return ready;
      }
      // An instrument holds DSR off while it sends a late reply: drop that too.
      if (discardPending_) Drain();
      // Small pieces under DTR/DSR, so a hold-off is seen within a few characters.
      const size_t piece = FlowByDsr() ? std::min<size_t>(16, data.size() - done) : data.size();
      size_t sent = 0;
      const ViStatus status = WriteAll(fd_, data.data() + done, piece, deadline, &sent);
      done += sent;
      if (status != VI_SUCCESS) {
        *written = static_cast<ViUInt32>(std::min<size_t>(done, count));
        if (status == VI_ERROR_CONN_LOST) Close();
        return status;
      }
    }
    *written = count;
    return VI_SUCCESS;
  }

  ViStatus Read(unsigned char* buf, ViUInt32 count, ViUInt32* got, const IoSettings& io) override {
    *got = 0;
    const bool atTermChar = io.termCharEnabled || options_.endIn == VI_ASRL_END_TERMCHAR;
    ViStatus status = VI_SUCCESS;
    const Deadline deadline(io.timeoutMs);
    while (!in_.Take(buf, count, got, io.termChar, atTermChar, &status)) {
      if (fd_ < 0) {
        *got = in_.TakePartial(buf, count);
        return VI_ERROR_CONN_LOST;
      }
      const int ready = WaitFor(fd_, POLLIN, deadline);
      if (ready <= 0) {
        *got = in_.TakePartial(buf, count);
        return ready == 0 ? VI_ERROR_TMO : VI_ERROR_IO;
      }
      char chunk[4096];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n > 0) {
        in_.Append(chunk, static_cast<size_t>(n), false);
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      // 0 or EIO: the other end hung up (a USB adapter unplugged, a pty closed).
      const ViStatus lost = n == 0 ? VI_ERROR_CONN_LOST : LostOrIo(errno);
      Close();
      *got = in_.TakePartial(buf, count);
      return lost;
    }
    return status;
  }

  void DiscardInput() override {
    Drain();
    discardPending_ = true;  // once more right before the next write goes out
  }

  ViStatus Close() override {
    if (fd_ >= 0) {
      CloseSerialDevice(fd_);
      fd_ = -1;
    }
    return VI_SUCCESS;
  }

  ViStatus SetAttribute(ViAttr attr, ViAttrState value) override {
    if (fd_ < 0) return VI_ERROR_CONN_LOST;
    SerialOptions next = options_;
    switch (attr) {
      case VI_ATTR_ASRL_END_IN:
        if (value != VI_ASRL_END_NONE && value != VI_ASRL_END_TERMCHAR) {
          return VI_ERROR_NSUP_ATTR_STATE;
        }
        options_.endIn = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
      case VI_ATTR_ASRL_END_OUT:
        if (value != VI_ASRL_END_NONE && value != VI_ASRL_END_TERMCHAR) {
          return VI_ERROR_NSUP_ATTR_STATE;
        }
        options_.endOut = static_cast<ViUInt16>(value);
        return VI_SUCCESS;
      case VI_ATTR_ASRL_DTR_STATE:
      case VI_ATTR_ASRL_RTS_STATE: {
        if (value != static_cast<ViAttrState>(VI_STATE_ASSERTED) &&
            value != static_cast<ViAttrState>(VI_STATE_UNASSERTED)) {
          return VI_ERROR_NSUP_ATTR_STATE;
        }
        const int line = attr == VI_ATTR_ASRL_DTR_STATE ? TIOCM_DTR : TIOCM_RTS;
        // Under hardware flow control the line belongs to the handshake.
        if ((line == TIOCM_DTR && FlowByDsr()) || (line == TIOCM_RTS && options_.line.rtsCts)) {
          return VI_ERROR_NSUP_ATTR_STATE;
        }
        return SetSerialModemLine(fd_, line, value == VI_STATE_ASSERTED) ? VI_SUCCESS
                                                                         : VI_ERROR_NSUP_ATTR_STATE;
      }
      default:
        break;
    }
    const ViStatus status = ApplySerialAttribute(attr, value, &next);
    if (status != VI_SUCCESS) return status;
    std::string error;
    if (!ConfigureSerialLine(fd_, next.line, &error)) {
      DebugLog("visa: serial line: " + error + "\n");
      ConfigureSerialLine(fd_, options_.line, nullptr);
      return VI_ERROR_NSUP_ATTR_STATE;
    }
    options_ = next;
    return VI_SUCCESS;
  }

  ViStatus GetAttribute(ViAttr attr, void* value) override {
    if (GetSerialAttribute(options_, attr, value)) return VI_SUCCESS;
    int lines = 0;
    const bool known = fd_ >= 0 && SerialModemLines(fd_, &lines);
    const auto state = [&](int bit) {
      *static_cast<ViInt16*>(value) = !known          ? VI_STATE_UNKNOWN
                                      : (lines & bit) ? VI_STATE_ASSERTED
                                                      : VI_STATE_UNASSERTED;
      return VI_SUCCESS;
    };
    switch (attr) {
      case VI_ATTR_ASRL_AVAIL_NUM: {
        int waiting = 0;
        if (fd_ < 0 || ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
        *static_cast<ViUInt32*>(value) = static_cast<ViUInt32>(in_.Size() + waiting);
        return VI_SUCCESS;
      }
      case VI_ATTR_ASRL_CTS_STATE:
        return state(TIOCM_CTS);
      case VI_ATTR_ASRL_DSR_STATE:
        return state(TIOCM_DSR);
      case VI_ATTR_ASRL_DCD_STATE:
        return state(TIOCM_CAR);
      case VI_ATTR_ASRL_RI_STATE:
        return state(TIOCM_RNG);
      case VI_ATTR_ASRL_DTR_STATE:
        return state(TIOCM_DTR);
      case VI_ATTR_ASRL_RTS_STATE:
        return state(TIOCM_RTS);
      default:
        return VI_ERROR_NSUP_ATTR;
    }
  }

 private:
  bool FlowByDsr() const { return (options_.flow & VI_ASRL_FLOW_DTR_DSR) != 0; }

  void Drain() {
    in_.Clear();
    discardPending_ = false;
    if (fd_ < 0) return;
    char chunk[4096];
    for (int i = 0; i < 256; ++i) {  // bounded: never spin on a talkative instrument
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0) break;
    }
  }

  // Under DTR/DSR flow control: waits until the instrument is ready to take data. A device
  // without modem lines (a pseudo-terminal) has nothing to hold it off.
  ViStatus WaitForDsr(const Deadline& deadline) {
    if (!FlowByDsr()) return VI_SUCCESS;
    while (true) {
      int lines = 0;
      if (!SerialModemLines(fd_, &lines) || (lines & TIOCM_DSR)) return VI_SUCCESS;
      const int left = deadline.RemainingMs();
      if (left == 0) return VI_ERROR_TMO;
      std::this_thread::sleep_for(
          std::chrono::milliseconds(left < 0 ? DSR_POLL_MS : std::min(left, DSR_POLL_MS)));
    }
  }

  int fd_;
  SerialOptions options_;
  ReadBuffer in_;
  bool discardPending_ = false;
};

// Why the device could not be opened, as a VISA status.
ViStatus OpenFailure(const std::string& path) {
  if (access(path.c_str(), F_OK) != 0) return VI_ERROR_RSRC_NFOUND;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY ? VI_ERROR_RSRC_BUSY : VI_ERROR_RSRC_NFOUND;
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held ? VI_ERROR_RSRC_BUSY : VI_ERROR_IO;
}

}  // namespace

ViStatus OpenSerialTransport(const std::string& path, const std::vector<Setting>& settings,
                             std::unique_ptr<Transport>* out) {
  SerialOptions options;
  std::string error;
  if (!ParseSerialSettings(settings, &options, &error)) {
    DebugLog("visa: " + path + ": " + error + "\n");
    return VI_ERROR_INV_RSRC_NAME;
  }
  const int fd = OpenSerialDevice(path, options.line.baud, &error);
  if (fd < 0) {
    DebugLog("visa: " + error + "\n");
    return OpenFailure(path);
  }
  if (!ConfigureSerialLine(fd, options.line, &error)) {
    DebugLog("visa: " + path + ": " + error + "\n");
    CloseSerialDevice(fd);
    return VI_ERROR_NSUP_ATTR_STATE;
  }
  FlushSerialDevice(fd);  // nothing from before this session is an answer to it
  *out = std::make_unique<SerialTransport>(fd, options);
  return VI_SUCCESS;
}

}  // namespace visa::detail
